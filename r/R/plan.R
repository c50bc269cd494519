# Planning: every rule's exact probability over a range of pool sizes, through
# plan_sizes() (src/plan.cpp), whose refusals become R errors with the command
# line's wording.

ai_plan <- function(esize, ntot, prop = NULL, minority_share = NULL, selection_ratio = NULL,
                    nhire = NULL, alpha = 0.05, target = 0.8, rule = NULL, method = "direct",
                    threads = NULL) {
  sizes <- size_range(ntot)
  if (!is.null(rule) && (!is.character(rule) || anyNA(rule))) {
    refuse("rule must name rules, as a character vector")
  }
  if (!is.character(method) || length(method) != 1L || is.na(method)) {
    refuse("method must be a single string")
  }
  given <- function(x, name) if (is.null(x)) double() else single_number(x, name)
  hires <- if (is.null(nhire)) integer() else whole_number(nhire, "nhire")
  threads <- if (is.null(threads)) 0L else whole_number(threads, "threads", 1L)
  # One progressr step per size; shown only where the user asked for progress.
  done <- progressor(steps = sizes[["count"]])
  values <- list(esize = given(esize, "esize"), prop = given(prop, "prop"),
                 minority_share = given(minority_share, "minority_share"),
                 selection_ratio = given(selection_ratio, "selection_ratio"),
                 alpha = single_number(alpha, "alpha"), target = single_number(target, "target"))
  r <- plan_sizes(values$esize, sizes[["from"]], sizes[["to"]], sizes[["step"]], values$prop,
                  values$minority_share, values$selection_ratio, hires, values$alpha,
                  values$target, if (is.null(rule)) character() else rule, method, threads,
                  function(n) done(amount = n))
  if (!is.null(r$error)) refuse(in_r_words(r$error, values))
  rows <- as.data.frame(r$rows, stringsAsFactors = FALSE)
  found <- as.data.frame(r$found, stringsAsFactors = FALSE)
  structure(list(rows = rows, found = found, false_positive = as.double(esize) == 0,
                 target = as.double(target), json = r$json),
            class = "torvan_plan")
}

# The first size, the last, the step and the count of an ascending, evenly
# spaced vector of whole numbers (such as 10:2000 or seq(50, 1000, by = 50)).
size_range <- function(ntot) {
  ok <- is.numeric(ntot) && length(ntot) >= 1L && !anyNA(ntot) &&
    all(abs(ntot) <= .Machine$integer.max) && all(ntot == round(ntot))
  if (!ok) refuse("ntot must be whole numbers, such as 10:2000")
  steps <- unique(diff(ntot))
  if (length(steps) > 1L || (length(steps) == 1L && steps < 1)) {
    refuse("ntot must rise in equal steps of at least 1, such as seq(50, 1000, by = 50)")
  }
  step <- if (length(steps) == 1L) steps else 1
  c(from = as.integer(ntot[1L]), to = as.integer(ntot[length(ntot)]), step = as.integer(step),
    count = length(ntot))
}
