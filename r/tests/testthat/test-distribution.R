test_that("the table is ordered, the undefined row last, and adds up", {
  x <- ai_distribution(15, 5, -0.5, 0.3, threads = 1)
  t <- x$table
  n <- nrow(t)
  expect_identical(names(t), c("ai", "defined", "probability", "cumulative"))
  expect_false(is.unsorted(t$ai[-n], strictly = TRUE))
  expect_identical(t$defined, c(rep(TRUE, n - 1L), FALSE))
  expect_true(is.na(t$ai[n]))
  expect_equal(t$cumulative, cumsum(t$probability))
  expect_equal(t$cumulative[n] + x$skipped_pool_weight, 1, tolerance = 1e-12)
  expect_equal(x$p_undefined, t$probability[n])
  defined <- t[t$defined, ]
  mean <- sum(defined$ai * defined$probability) / sum(defined$probability)
  expect_equal(unname(x$moments["mean"]), mean)
  expect_equal(unname(x$moments["sd"]^2), unname(x$moments["variance"]))
})

test_that("the thread count does not change a digit", {
  # $json says how many threads computed it, and in how many CPU seconds
  computed <- function(threads) {
    x <- unclass(ai_distribution(20, 6, -1, 0.3, threads = threads, joint = TRUE))
    x[names(x) != "json"]
  }
  expect_identical(computed(2), computed(1))
})

test_that("the two methods agree far within the nested method's accuracy", {
  nested <- ai_distribution(20, 6, -1, 0.3, threads = 1)
  direct <- ai_distribution(20, 6, -1, 0.3, method = "direct", threads = 1)
  expect_identical(direct$table$ai, nested$table$ai)
  expect_equal(direct$table$probability, nested$table$probability, tolerance = 1e-9)
  expect_equal(direct$adverse_impact, nested$adverse_impact, tolerance = 1e-9)
})

test_that("known pools mixed with R's binomial weights give the mixed distribution", {
  mixed <- ai_distribution(10, 3, -0.5, 0.4, method = "direct", threads = 1)
  key <- function(t) ifelse(t$defined, sprintf("%.17g", t$ai), "undefined")
  total <- numeric(0)
  for (m in 0:10) {
    t <- ai_distribution(10, 3, -0.5, NA, method = "direct", minority = m, threads = 1)$table
    for (i in seq_len(nrow(t))) {
      total[key(t)[i]] <- sum(total[key(t)[i]], dbinom(m, 10, 0.4) * t$probability[i], na.rm = TRUE)
    }
  }
  expect_setequal(names(total), key(mixed$table))
  expect_equal(unname(total[key(mixed$table)]), mixed$table$probability, tolerance = 1e-12)
})

test_that("print shows a short summary", {
  expect_output(print(ai_distribution(20, 5, -0.5, 0.3)),
                paste0("ntot = 20, nhire = 5, esize = -0.5, prop = 0.3.*mean 1.4751.*",
                       "P\\(undefined\\) 0.36519.*four-fifths"))
})

test_that("a problem the library refuses is an error with its message, values as R writes them", {
  refused <- list(list(c(1, 5, -0.5, 0.3), "ntot = 1 must be at least 2"),
                  list(c(20, 25, -0.5, 0.3), "nhire = 25 must lie between 0 and ntot = 20"),
                  list(c(20, 5, Inf, 0.3), "esize = Inf must be a finite number"),
                  list(c(20, 5, -Inf, 0.3), "esize = -Inf must be a finite number"),
                  list(c(20, 5, NA, 0.3), "esize = NA must be a finite number"),
                  list(c(20, 5, NaN, 0.3), "esize = NaN must be a finite number"),
                  list(c(20, 5, -0.5, 0), "prop = 0 must lie strictly between 0 and 1"),
                  list(c(20, 5, -0.5, NA), "prop = NA must lie strictly between 0 and 1"),
                  list(c(20, 5, -0.5, 0.3, 21), "minority = 21 must lie between 0 and ntot = 20"),
                  list(c(20, 5, -0.5, 0.3, NA, 1), "alpha = 1 must lie strictly between 0 and 1"),
                  list(c(20, 5, -0.5, 0.3, NA, NA), "alpha = NA must lie strictly between 0 and 1"))
  for (r in refused) {
    p <- r[[1]]
    minority <- if (length(p) > 4L && !is.na(p[5])) p[5]
    alpha <- if (length(p) > 5L) p[6] else 0.05
    expect_error(ai_distribution(p[1], p[2], p[3], p[4], minority = minority, alpha = alpha),
                 r[[2]], fixed = TRUE, class = "torvan_error")
  }
})

test_that("arguments R cannot hand to the library are errors that name them", {
  base <- list(ntot = 20, nhire = 5, esize = 0, prop = 0.3)
  refused <- list(list(list(ntot = 20.5), "ntot must be a single whole number"),
                  list(list(ntot = "20"), "ntot must be a single whole number"),
                  list(list(nhire = NA), "nhire must be a single whole number"),
                  list(list(esize = c(0, 1)), "esize must be a single number"),
                  list(list(esize = "-0.5"), "esize must be a single number"),
                  list(list(prop = NULL), "prop or minority is required"),
                  list(list(threads = 0), "threads = 0 must be at least 1"),
                  list(list(threads = 1.5), "threads must be a single whole number"),
                  list(list(minority = -1), "minority = -1 must be at least 0"),
                  list(list(method = "bogus"), "method must be nested or direct, not 'bogus'"),
                  list(list(method = NA), "method must be a single string"),
                  list(list(rows = NA), "rows must be TRUE or FALSE"),
                  list(list(joint = "yes"), "joint must be TRUE or FALSE"),
                  list(list(joint = TRUE, rows = FALSE),
                       "joint = TRUE needs the table: not with rows = FALSE"))
  for (r in refused) {
    args <- modifyList(base, r[[1]])
    if ("prop" %in% names(r[[1]]) && is.null(r[[1]]$prop)) args$prop <- NULL
    expect_error(do.call(ai_distribution, args), r[[2]], fixed = TRUE, class = "torvan_error")
  }
})

test_that("a known pool needs no prop", {
  with_na <- ai_distribution(20, 5, -0.5, NA, minority = 6, threads = 1)
  expect_identical(ai_distribution(20, 5, -0.5, minority = 6, threads = 1)$table, with_na$table)
  expect_identical(ai_distribution(20, 5, -0.5, prop = NULL, minority = 6, threads = 1)$moments,
                   with_na$moments)
  expect_identical(with_na$problem$minority, 6L)
})

test_that("rows = FALSE gives the figures of the table, without it", {
  for (method in c("nested", "direct")) {
    full <- ai_distribution(30, 8, -0.7, 0.3, method = method, threads = 1)
    figures <- ai_distribution(30, 8, -0.7, 0.3, method = method, threads = 1, rows = FALSE)
    expect_null(figures$table)
    expect_output(print(figures), "Figures without the table \\(rows = FALSE\\)")
    for (name in c("moments", "percentiles", "adverse_impact", "p_undefined", "undefined")) {
      # the direct method leaves out outcomes too improbable to matter
      expect_equal(figures[[name]], full[[name]], tolerance = 1e-12, label = name)
    }
  }
})

test_that("a table too large is refused naming rows = FALSE, which computes it", {
  expect_error(ai_distribution(10^6, 10^5, -0.5, 0.3, method = "direct"),
               paste("more than this machine can hold;",
                     "the figures without the rows need no table: rows = FALSE"),
               fixed = TRUE, class = "torvan_error")
  expect_error(ai_distribution(10^6, 10^5, -0.5, 0.3),
               paste("the direct method's figures without the rows need no table:",
                     "method = \"direct\", rows = FALSE"),
               fixed = TRUE, class = "torvan_error")
  x <- ai_distribution(10^5, 10^4, -0.5, 0.3, method = "direct", rows = FALSE)
  expect_true(x$completed)
  expect_gt(x$skipped_outcome_weight, 0)
})

test_that("ai_distribution reports its pools through progressr, and prints nothing itself", {
  withr::local_options(progressr.enable = TRUE)
  amount <- 0
  steps <- NULL
  withCallingHandlers(ai_distribution(30, 6, -0.5, 0.3), progression = function(c) {
    if (c$type == "initiate") steps <<- c$steps
    if (c$type == "update") amount <<- amount + c$amount
  })
  expect_equal(amount, steps)
  expect_gt(steps, 10)
  expect_silent(ai_distribution(30, 6, -0.5, 0.3))
})
