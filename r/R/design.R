# Composite predictors: the exact front of validity against adverse impact,
# through design_points() (src/design.cpp), whose refusals become R errors
# with the command line's wording.

ai_design <- function(predictors, correlations, ntot, nhire = NULL, selection_ratio = NULL,
                      prop = NULL, minority = NULL, matrix = "within", weights = "nonnegative",
                      points = 21, max_risk = NULL, rule = "four_fifths",
                      min_impact_ratio = NULL, compare = NULL, alpha = 0.05,
                      method = "direct", threads = NULL) {
  predictors <- as.data.frame(predictors, stringsAsFactors = FALSE)
  columns <- tolower(names(predictors))
  if (!all(c("name", "validity") %in% columns) || ("d" %in% columns) == ("esize" %in% columns)) {
    refuse("predictors need the columns name, validity and d (or esize)")
  }
  column <- function(n) predictors[[which(columns == n)]]
  pnames <- as.character(column("name"))
  esize <- if ("d" %in% columns) -as.double(column("d")) else as.double(column("esize"))
  correlations <- as.matrix(correlations)
  if (!is.null(rownames(correlations)) && !is.null(colnames(correlations))) {
    unknown <- setdiff(union(rownames(correlations), colnames(correlations)), pnames)
    if (length(unknown) > 0L) {
      refuse(sprintf("the correlations name %s, which is not a predictor", unknown[1L]))
    }
    missing <- setdiff(pnames, intersect(rownames(correlations), colnames(correlations)))
    if (length(missing) > 0L) {
      refuse(sprintf("predictor '%s' has no row or column in the correlations", missing[1L]))
    }
    correlations <- correlations[pnames, pnames, drop = FALSE]
  }
  storage.mode(correlations) <- "double"
  given <- function(x, name) if (is.null(x)) double() else single_number(x, name)
  count <- function(x, name) if (is.null(x)) integer() else whole_number(x, name)
  compare <- as.list(compare)
  r <- design_points(pnames, as.double(column("validity")), esize, correlations,
                     matrix, weights, whole_number(ntot, "ntot"), count(nhire, "nhire"),
                     given(selection_ratio, "selection_ratio"), given(prop, "prop"),
                     count(minority, "minority"), single_number(alpha, "alpha"), method,
                     whole_number(points, "points"), given(max_risk, "max_risk"), rule,
                     given(min_impact_ratio, "min_impact_ratio"),
                     as.character(names(compare)),
                     lapply(compare, function(w) as.double(if (is.null(w)) double() else w)),
                     if (is.null(threads)) 0L else whole_number(threads, "threads", 1L))
  if (!is.null(r$error)) refuse(r$error)
  front <- as.data.frame(r$front, stringsAsFactors = FALSE, check.names = FALSE)
  front$name <- NULL
  chosen <- if (is.null(r$chosen)) NULL else
    as.data.frame(r$chosen, stringsAsFactors = FALSE, check.names = FALSE)
  structure(list(front = front,
                 compared = as.data.frame(r$compared, stringsAsFactors = FALSE,
                                          check.names = FALSE),
                 chosen = chosen, chosen_reason = r$chosen_reason, rule = rule,
                 max_risk = max_risk, json = r$json),
            class = "torvan_design")
}

print.torvan_design <- function(x, ...) {
  cat(format(x), sep = "\n")
  invisible(x)
}
