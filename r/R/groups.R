# Audits of several groups: checks of R's argument types, then the library
# through audit_group_table() (src/groups.cpp), whose refusals become R errors
# with the command line's wording.

ai_audit_groups <- function(groups, reference = NULL, alpha = 0.05) {
  if (!is.data.frame(groups)) refuse("groups must be a data frame")
  has_event <- "event" %in% names(groups)
  missing <- setdiff(c("group", "applicants", "hires"), names(groups))
  if (length(missing) > 0L) {
    refuse(paste("groups lacks the columns", paste(missing, collapse = ", ")))
  }
  names <- as.character(groups$group)
  counts <- lapply(c("applicants", "hires"), function(column) {
    v <- groups[[column]]
    if (!is.numeric(v)) refuse(sprintf("the column %s must be numeric", column))
    bad <- which(is.na(v) | abs(v) > .Machine$integer.max | v != round(v))
    if (length(bad) > 0L) {
      refuse(sprintf("group %d (%s): %s must be a whole number", bad[1], names[bad[1]], column))
    }
    as.integer(v)
  })
  if (!is.null(reference) && !(is.character(reference) && length(reference) == 1L)) {
    refuse("reference must be one group's name")
  }
  events <- if (has_event) as.character(groups$event) else character(0)
  r <- audit_group_table(events, names, counts[[1]], counts[[2]],
                         if (is.null(reference)) "" else reference,
                         single_number(alpha, "alpha"))
  if (!is.null(r$error)) refuse(r$error)
  structure(r$document, page = r$page, class = "torvan_audit_groups")
}

print.torvan_audit_groups <- function(x, ...) {
  cat(attr(x, "page"))
  invisible(x)
}
