# The package's functions: checks of R's argument types, then the library
# through solve_problem() and problem_figures() (src/glue.cpp), whose
# refusals become R errors with the command line's wording.

ai_distribution <- function(ntot, nhire, esize, prop = NULL, method = "nested", minority = NULL,
                            threads = NULL, alpha = 0.05, rows = TRUE, joint = FALSE) {
  rows <- flag(rows, "rows")
  if (flag(joint, "joint") && !rows) refuse("joint = TRUE needs the table: not with rows = FALSE")
  # One progressr step per pool, the bar made once the pools are counted;
  # shown only where the user asked for progress.
  here <- environment()
  bar <- NULL
  tick <- function(pools, total) {
    if (is.null(bar)) bar <<- progressor(steps = total, envir = here)
    bar(amount = pools)
  }
  x <- distribution_of(ntot, nhire, esize, prop, method, minority, threads, alpha, rows, joint,
                       tick)
  if (!x$completed) warning(x$reason, call. = FALSE)
  short <- x$events[x$events$kind == "accuracy_shortfall", ]
  for (i in seq_len(nrow(short))) {
    warning(sprintf(paste("pool with %d minority applicants: the direct method's error estimate",
                          "is %.3g times its bound; its probabilities are used all the same"),
                    short$nmin[i], short$raw[i]), call. = FALSE)
  }
  x
}

ai_grid <- function(problems, method = "nested", threads = 1L, alpha = 0.05) {
  if (!is.data.frame(problems)) refuse("problems must be a data frame")
  missing <- setdiff(c("ntot", "nhire", "esize"), names(problems))
  if (!any(c("prop", "minority") %in% names(problems))) missing <- c(missing, "prop")
  if (length(missing) > 0L) {
    refuse(paste("problems lacks the columns", paste(missing, collapse = ", ")))
  }
  # What every row shares is refused at once, not row by row.
  check_method(method)
  threads <- whole_number(threads, "threads", 1L)
  alpha <- single_number(alpha, "alpha")
  why <- options_refusal(method, alpha)
  if (!is.null(why)) refuse(in_r_words(why, list(alpha = alpha)))
  cells <- lapply(seq_len(nrow(problems)), function(i) as.list(problems[i, , drop = FALSE]))
  # Workers on this machine (multisession, multicore, callr) stop the cells
  # they are computing once this file exists: created when the grid is left
  # before it is done, by an interrupt or an error.
  cancel_file <- tempfile("torvan-grid-cancel-")
  finished <- FALSE
  on.exit(if (!finished) file.create(cancel_file), add = TRUE)
  # One progressr step per row; shown only where the user asked for progress
  # (progressr::handlers(global = TRUE), or with_progress()).
  done <- progressor(along = cells)
  rows <- future_lapply(cells, function(cell) {
    row <- grid_cell(cell, method, threads, alpha, cancel_file)
    done()
    row
  })
  finished <- TRUE
  columns <- names(grid_figures(no_summary(), NA_real_, NA_real_, NA_real_))
  figures <- matrix(as.double(unlist(lapply(rows, `[[`, "figures"))), ncol = length(columns),
                    byrow = TRUE, dimnames = list(NULL, columns))
  cbind(problems, method = rep(method, nrow(problems)), alpha = rep(alpha, nrow(problems)),
        completed = vapply(rows, `[[`, logical(1L), "completed"), as.data.frame(figures),
        error = vapply(rows, `[[`, character(1L), "error"))
}

# The arguments of one problem as the library takes them, or a torvan_error.
# A known pool needs no prop; the library is handed NA for it.
checked_problem <- function(ntot, nhire, esize, prop, method, minority, threads, alpha) {
  check_method(method)
  if (!is.null(minority)) minority <- whole_number(minority, "minority", 0L)
  if (is.null(prop) && is.null(minority)) refuse("prop or minority is required")
  list(ntot = whole_number(ntot, "ntot"), nhire = whole_number(nhire, "nhire"),
       esize = single_number(esize, "esize"),
       prop = if (is.null(prop)) NA_real_ else single_number(prop, "prop"),
       method = method, minority = if (is.null(minority)) -1L else minority,
       alpha = single_number(alpha, "alpha"),
       threads = if (is.null(threads)) 0L else whole_number(threads, "threads", 1L))
}

# One problem as a torvan_distribution, or a torvan_error.
distribution_of <- function(ntot, nhire, esize, prop, method, minority, threads, alpha, rows,
                            joint, tick) {
  a <- checked_problem(ntot, nhire, esize, prop, method, minority, threads, alpha)
  r <- do.call(solve_problem, c(a, list(rows = rows, joint = joint, json = TRUE, tick = tick,
                                        cancel_file = "")))
  if (!is.null(r$error)) refuse(in_r_words(r$error, a))
  known <- if (a$minority < 0L) NULL else a$minority
  x <- c(list(problem = c(a[c("ntot", "nhire", "esize", "prop")], list(minority = known)),
              method = method, minority = known, completed = r$completed,
              reason = if (r$completed) NA_character_ else r$reason, table = NULL),
         no_summary(),
         list(skipped_pool_weight = r$skipped_pool_weight,
              skipped_outcome_weight = r$skipped_outcome_weight,
              events = as.data.frame(r$events), joint = NULL, json = r$json))
  if (r$completed) {
    if (rows) x$table <- as.data.frame(r$table)
    if (joint) x$joint <- as.data.frame(r$joint)
    x[names(r$summary)] <- missing_for_nan(r$summary)
  }
  structure(x, class = "torvan_distribution")
}

# The library's NaN (no probability on a defined value) is R's missing value.
missing_for_nan <- function(values) lapply(values, function(v) replace(v, is.nan(v), NA_real_))

# The library writes a value that is not finite as C does (nan, inf); R's
# user passed NA, NaN or Inf, and reads it so in the message.
in_r_words <- function(message, values) {
  for (name in names(values)) {
    v <- values[[name]]
    if (is.double(v) && length(v) == 1L && !is.finite(v)) {
      message <- sub(sprintf("\\b%s = -?(nan|inf)\\b", name), paste(name, "=", format(v)),
                     message, perl = TRUE)
    }
  }
  message
}

# The figures of one grid cell, without the table (as the command line's
# --rows none); the cell's refusal, or the reason it was not completed, goes
# to the error column instead of stopping the grid (an interrupt or a time
# limit stops it). A missing minority count means pools mixed over the
# binomial.
grid_cell <- function(cell, method, threads, alpha, cancel_file) {
  minority <- if (is.null(cell$minority) || is.na(cell$minority)) NULL else cell$minority
  r <- tryCatch({
    a <- checked_problem(cell$ntot, cell$nhire, cell$esize, cell$prop, method, minority, threads,
                         alpha)
    r <- do.call(solve_problem, c(a, list(rows = FALSE, joint = FALSE, json = FALSE,
                                          tick = NULL, cancel_file = cancel_file)))
    if (!is.null(r$error)) refuse(in_r_words(r$error, a))
    r
  }, torvan_error = function(e) conditionMessage(e))
  if (is.character(r)) {
    return(list(completed = FALSE, figures = grid_figures(no_summary(), NA_real_, NA_real_,
                                                          NA_real_), error = r))
  }
  x <- no_summary()
  if (r$completed) x[names(r$summary)] <- missing_for_nan(r$summary)
  shortfalls <- if (r$completed) sum(r$events$kind == "accuracy_shortfall") else NA_real_
  list(completed = r$completed,
       figures = grid_figures(x, r$skipped_pool_weight, r$skipped_outcome_weight, shortfalls),
       error = if (r$completed) NA_character_ else r$reason)
}

# The summary of a distribution that was not computed.
no_summary <- function() {
  na <- function(...) structure(rep(NA_real_, ...length()), names = c(...))
  list(moments = na("mean", "variance", "sd"), p_undefined = NA_real_,
       undefined = na("no_minority_hired", "group_absent"),
       p_above_1_25 = NA_real_, p_below_0_8 = NA_real_,
       percentiles = na("p5", "p25", "p50", "p75", "p95"),
       adverse_impact = na("alpha", "no_comparison", "four_fifths", "four_fifths_one_person",
                           "z_test", "fisher_exact", "z_ir", "four_fifths_and_z",
                           "four_fifths_not_z", "z_not_four_fifths"))
}

# The grid's columns of one cell's figures, one named vector.
grid_figures <- function(x, skipped_pool_weight, skipped_outcome_weight, shortfalls) {
  undefined <- structure(x$undefined, names = paste0("undefined_", names(x$undefined)))
  c(x$moments, p_undefined = x$p_undefined, undefined, p_above_1_25 = x$p_above_1_25,
    p_below_0_8 = x$p_below_0_8, x$percentiles, skipped_pool_weight = skipped_pool_weight,
    skipped_outcome_weight = skipped_outcome_weight,
    x$adverse_impact[names(x$adverse_impact) != "alpha"],
    accuracy_shortfalls = shortfalls)
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

check_method <- function(method) {
  if (!is.character(method) || length(method) != 1L || is.na(method)) {
    refuse("method must be a single string")
  }
  why <- options_refusal(method, 0.05)
  if (!is.null(why)) refuse(why)
}

flag <- function(x, name) {
  if (!is.logical(x) || length(x) != 1L || is.na(x)) {
    refuse(sprintf("%s must be TRUE or FALSE", name))
  }
  x
}

# "1 value", "2 values".
counted <- function(n, noun) sprintf("%d %s%s", n, noun, if (n == 1L) "" else "s")

# NA and infinite values pass, so that the library refuses them in its words.
single_number <- function(x, name) {
  if (length(x) != 1L || !(is.numeric(x) || is.na(x))) {
    refuse(sprintf("%s must be a single number", name))
  }
  as.double(x)
}
