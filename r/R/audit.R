# Audits of observed selections: checks of R's argument types, then the
# library through audit_counts() and audit_event_table() (src/audit.cpp),
# whose refusals become R errors with the command line's wording.

audit_count_names <- c("minority_applicants", "minority_hires", "majority_applicants",
                       "majority_hires")

ai_audit <- function(n1, x, n0, y, alpha = 0.05) {
  counts <- mapply(whole_number, list(n1, x, n0, y), audit_count_names)
  r <- audit_counts(counts[[1]], counts[[2]], counts[[3]], counts[[4]],
                    single_number(alpha, "alpha"))
  if (!is.null(r$error)) refuse(r$error)
  structure(r$document, page = r$page, class = "torvan_audit")
}

ai_audit_events <- function(events, alpha = 0.05) {
  if (!is.data.frame(events)) refuse("events must be a data frame")
  missing <- setdiff(audit_count_names, names(events))
  if (length(missing) > 0L) {
    refuse(paste("events lacks the columns", paste(missing, collapse = ", ")))
  }
  names <- as.character(if ("event" %in% names(events)) events$event else rownames(events))
  counts <- lapply(audit_count_names, function(column) {
    v <- events[[column]]
    if (!is.numeric(v)) refuse(sprintf("the column %s must be numeric", column))
    bad <- which(is.na(v) | abs(v) > .Machine$integer.max | v != round(v))
    if (length(bad) > 0L) {
      refuse(sprintf("event %d (%s): %s must be a whole number", bad[1], names[bad[1]], column))
    }
    as.integer(v)
  })
  r <- audit_event_table(names, counts[[1]], counts[[2]], counts[[3]], counts[[4]],
                         single_number(alpha, "alpha"))
  if (!is.null(r$error)) refuse(r$error)
  doc <- r$document
  doc$events <- lapply(seq_along(doc$events), function(i) {
    structure(doc$events[[i]], page = r$pages[i], class = "torvan_audit")
  })
  structure(doc, page = r$page, class = "torvan_audit_events")
}

print.torvan_audit <- function(x, ...) {
  cat(attr(x, "page"))
  invisible(x)
}

print.torvan_audit_events <- function(x, ...) {
  cat(attr(x, "page"))
  invisible(x)
}
