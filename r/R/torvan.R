# The package's functions: checks of R's argument types, then the library
# through solve_problem() (src/glue.cpp), whose refusals become R errors with
# the command line's wording.

ai_distribution <- function(ntot, nhire, esize, prop, method = "nested", minority = NULL,
                            threads = NULL) {
  x <- distribution_of(ntot, nhire, esize, prop, method, minority, threads)
  if (!x$completed) warning(x$reason, call. = FALSE)
  x
}

ai_grid <- function(problems, method = "nested", threads = 1L) {
  if (!is.data.frame(problems)) refuse("problems must be a data frame")
  missing <- setdiff(c("ntot", "nhire", "esize", "prop"), names(problems))
  if (length(missing) > 0L) {
    refuse(paste("problems lacks the columns", paste(missing, collapse = ", ")))
  }
  cells <- lapply(seq_len(nrow(problems)), function(i) {
    as.list(problems[i, c("ntot", "nhire", "esize", "prop"), drop = FALSE])
  })
  rows <- future_lapply(cells, grid_cell, method = method, threads = threads)
  figures <- as.data.frame(do.call(rbind, lapply(rows, `[[`, "figures")))
  if (nrow(figures) == 0L) figures <- as.data.frame(as.list(summary_figures(no_summary())))[0L, ]
  cbind(problems, method = rep(method, nrow(problems)),
        completed = vapply(rows, `[[`, logical(1L), "completed"), figures,
        error = vapply(rows, `[[`, character(1L), "error"))
}

print.torvan_distribution <- function(x, digits = 5L, ...) {
  p <- x$problem
  cat(sprintf("Adverse impact ratio, %s method: ntot = %d, nhire = %d, esize = %s, prop = %s\n",
              x$method, p$ntot, p$nhire, format(p$esize), format(p$prop)))
  if (!x$completed) {
    cat("Not computed:", x$reason, "\n")
    return(invisible(x))
  }
  f <- function(v) format(unname(v), digits = digits)
  cat(sprintf("%d values the ratio can take, %d of them defined\n", nrow(x$table),
              sum(x$table$defined)))
  m <- x$moments
  cat(sprintf("Given that it is defined: mean %s, sd %s, variance %s\n", f(m["mean"]),
              f(m["sd"]), f(m["variance"])))
  q <- x$percentiles
  cat(sprintf("  percentiles: 5%% %s, 50%% %s, 95%% %s\n", f(q["p5"]), f(q["p50"]), f(q["p95"])))
  cat(sprintf("P(undefined) %s, P(AI > 1.25) %s, P(AI < 0.8) %s\n", f(x$p_undefined),
              f(x$p_above_1_25), f(x$p_below_0_8)))
  if (nrow(x$events) > 0L) {
    cat(sprintf("%d integration events during the computation (see $events)\n", nrow(x$events)))
  }
  invisible(x)
}

# One problem as a torvan_distribution, or a torvan_error.
distribution_of <- function(ntot, nhire, esize, prop, method, minority, threads) {
  if (!is.character(method) || length(method) != 1L || is.na(method)) {
    refuse("method must be a single string")
  }
  ntot <- whole_number(ntot, "ntot")
  nhire <- whole_number(nhire, "nhire")
  esize <- single_number(esize, "esize")
  prop <- single_number(prop, "prop")
  if (!is.null(minority)) minority <- whole_number(minority, "minority", 0L)
  threads <- if (is.null(threads)) 0L else whole_number(threads, "threads", 1L)
  r <- solve_problem(ntot, nhire, esize, prop, method, if (is.null(minority)) -1L else minority,
                     threads)
  if (!is.null(r$error)) refuse(r$error)
  x <- c(list(problem = list(ntot = ntot, nhire = nhire, esize = esize, prop = prop),
              method = method, minority = minority, completed = r$completed,
              reason = if (r$completed) NA_character_ else r$reason, table = NULL),
         no_summary(),
         list(skipped_pool_weight = r$skipped_pool_weight, events = as.data.frame(r$events)))
  if (r$completed) {
    x$table <- as.data.frame(r$table)
    # The library's NaN (no probability on a defined value) is R's missing value.
    s <- lapply(r$summary, function(v) replace(v, is.nan(v), NA_real_))
    x[names(s)] <- s
  }
  structure(x, class = "torvan_distribution")
}

# The figures of one grid cell; the cell's error, or the reason it was not
# completed, goes to the error column instead of stopping the grid.
grid_cell <- function(cell, method, threads) {
  x <- tryCatch(distribution_of(cell$ntot, cell$nhire, cell$esize, cell$prop, method, NULL,
                                threads),
                error = function(e) conditionMessage(e))
  if (is.character(x)) {
    return(list(completed = FALSE, figures = summary_figures(no_summary()), error = x))
  }
  list(completed = x$completed, figures = summary_figures(x), error = x$reason)
}

# The summary of a distribution that was not computed.
no_summary <- function() {
  list(moments = c(mean = NA_real_, variance = NA_real_, sd = NA_real_),
       p_undefined = NA_real_, p_above_1_25 = NA_real_, p_below_0_8 = NA_real_,
       percentiles = c(p5 = NA_real_, p50 = NA_real_, p95 = NA_real_))
}

# The grid's columns of one distribution, one named vector.
summary_figures <- function(x) {
  c(x$moments, p_undefined = x$p_undefined, p_above_1_25 = x$p_above_1_25,
    p_below_0_8 = x$p_below_0_8, x$percentiles)
}

refuse <- function(message) {
  stop(errorCondition(message, class = "torvan_error", call = NULL))
}

whole_number <- function(x, name, least = NULL) {
  ok <- is.numeric(x) && length(x) == 1L && !is.na(x) && abs(x) <= .Machine$integer.max &&
    x == round(x)
  if (!ok) refuse(sprintf("%s must be a single whole number", name))
  if (!is.null(least) && x < least) {
    refuse(sprintf("%s = %s must be at least %d", name, format(x), least))
  }
  as.integer(x)
}

# NA and infinite values pass, so that the library refuses them in its words.
single_number <- function(x, name) {
  if (!is.numeric(x) || length(x) != 1L) refuse(sprintf("%s must be a single number", name))
  as.double(x)
}
