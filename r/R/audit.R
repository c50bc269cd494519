# Audits of observed selections: checks of R's argument types, then the
# library through audit_counts() and audit_event_table() (src/audit.cpp),
# whose refusals become R errors with the command line's wording.

audit_count_names <- c("minority_applicants", "minority_hires", "majority_applicants",
                       "majority_hires")

ai_audit <- function(n1, x, n0, y, alpha = 0.05) {
  counts <- mapply(whole_number, list(n1, x, n0, y), audit_count_names)
  alpha <- single_number(alpha, "alpha")
  r <- audit_counts(counts[[1]], counts[[2]], counts[[3]], counts[[4]], alpha)
  if (!is.null(r$error)) refuse(in_r_words(r$error, list(alpha = alpha)))
  structure(c(r$document, json = r$json), page = r$page, class = "torvan_audit")
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
  alpha <- single_number(alpha, "alpha")
  r <- audit_event_table(names, counts[[1]], counts[[2]], counts[[3]], counts[[4]], alpha)
  if (!is.null(r$error)) refuse(in_r_words(r$error, list(alpha = alpha)))
  doc <- r$document
  table <- event_rows(doc$events)
  doc$events <- lapply(seq_along(doc$events), function(i) {
    structure(doc$events[[i]], page = r$pages[i], class = "torvan_audit")
  })
  structure(c(doc, list(table = table, json = r$json)), page = r$page,
            class = "torvan_audit_events")
}

# One row per event, one column per figure of its document, the nested
# names joined by underscores (z_test_p_lower); a figure without a value is
# NA, with its <name>_reason column beside it, which events whose figure has
# a value leave NA.
event_rows <- function(events) {
  flat <- lapply(events, flattened)
  columns <- character()
  for (f in flat) {
    for (i in seq_along(f)) {
      name <- names(f)[i]
      if (name %in% columns) next
      after <- if (i == 1L) 0L else match(names(f)[i - 1L], columns)
      columns <- append(columns, name, after)
    }
  }
  out <- lapply(columns, function(name) {
    unlist(lapply(flat, function(f) if (is.null(f[[name]])) NA else f[[name]]))
  })
  names(out) <- columns
  as.data.frame(out, stringsAsFactors = FALSE)
}

# A document's fields as a flat list of single values named by their paths.
flattened <- function(x, prefix = "") {
  out <- list()
  for (name in names(x)) {
    path <- paste0(prefix, name)
    out <- c(out, if (is.list(x[[name]])) {
      flattened(x[[name]], paste0(path, "_"))
    } else {
      structure(list(x[[name]]), names = path)
    })
  }
  out
}
