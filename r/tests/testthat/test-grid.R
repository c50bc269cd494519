problems <- data.frame(id = c("a", "b", "c", "d", "e"), ntot = c(10, 12, 1, 15, 12),
                       nhire = c(3, 4, 1, 5, 4), esize = c(0, -0.5, 0, -1, -0.5),
                       prop = c(0.5, 0.3, 0.5, 0.2, NA), minority = c(NA, NA, NA, NA, 4))

test_that("a grid spread over two workers equals the sequential grid", {
  skip_if_not_installed("future")
  old <- future::plan(future::sequential)
  on.exit(future::plan(old), add = TRUE)
  sequential <- ai_grid(problems)
  future::plan(future::multisession, workers = 2)
  expect_identical(ai_grid(problems), sequential)
})

test_that("each grid row holds its problem's figures, or its error", {
  grid <- ai_grid(problems)
  expect_identical(grid[, names(problems)], problems)
  expect_identical(grid$completed, c(TRUE, TRUE, FALSE, TRUE, TRUE))
  expect_identical(grid$error, c(NA, NA, "ntot = 1 must be at least 2", NA, NA))
  x <- ai_distribution(12, 4, -0.5, 0.3)
  expect_identical(unlist(grid[2, c("mean", "variance", "sd", "p50", "fisher_exact")]),
                   c(x$moments, x$percentiles["p50"], x$adverse_impact["fisher_exact"]))
  expect_identical(grid$p_undefined[2], x$p_undefined)
  expect_identical(grid$undefined_group_absent[2], unname(x$undefined["group_absent"]))
  known <- ai_distribution(12, 4, -0.5, NA, minority = 4)
  expect_identical(grid$p95[5], unname(known$percentiles["p95"]))
  expect_true(all(is.na(grid[3, c("mean", "p_undefined", "p95", "z_test")])))
})

test_that("a grid without the problem columns is an error, an empty one has no rows", {
  expect_error(ai_grid(problems[, c("ntot", "nhire", "id")]), "lacks the columns esize, prop",
               class = "torvan_error")
  expect_identical(nrow(ai_grid(problems[0, ])), 0L)
})

test_that("a grid row needs no table: the command line's figures without rows", {
  skip_if_not_installed("jsonlite")
  bin <- Sys.getenv("TORVAN_BINARY")
  if (!nzchar(bin) || !file.exists(bin)) skip("TORVAN_BINARY does not name the command line")
  big <- data.frame(ntot = 100000, nhire = 10000, esize = -0.5, prop = 0.3)
  row <- ai_grid(big, method = "direct")
  doc <- jsonlite::fromJSON(system2(bin, c("--method", "direct", "--format", "json", "--rows",
                                           "none"),
                                    input = "100000 10000 -0.5 0.3", stdout = TRUE))
  expect_true(row$completed)
  expect_identical(row$mean, doc$moments$mean)
  expect_identical(row$p95, doc$percentiles$p95)
  expect_identical(row$four_fifths, doc$adverse_impact$four_fifths)
  expect_identical(row$skipped_pool_weight, doc$skipped_pool_weight)
  expect_identical(row$skipped_outcome_weight, doc$skipped_outcome_weight)
  expect_gt(row$skipped_outcome_weight, 0)
})

test_that("each row's figures are those of ai_distribution(rows = FALSE)", {
  grid <- ai_grid(problems[-3, ], method = "direct")
  for (i in seq_len(nrow(grid))) {
    p <- grid[i, ]
    x <- ai_distribution(p$ntot, p$nhire, p$esize, p$prop, method = "direct",
                         minority = if (!is.na(p$minority)) p$minority, rows = FALSE)
    expect_identical(p$skipped_pool_weight, x$skipped_pool_weight)
    expect_identical(p$skipped_outcome_weight, x$skipped_outcome_weight)
    expect_identical(unlist(p[c("p5", "p95", "z_ir")], use.names = FALSE),
                     unname(c(x$percentiles[c("p5", "p95")], x$adverse_impact["z_ir"])))
  }
})

test_that("what every row shares is refused at once; a row's own values in its error", {
  refused <- list(list(list(method = "bogus"), "method must be nested or direct, not 'bogus'"),
                  list(list(method = NA_character_), "method must be a single string"),
                  list(list(alpha = 1), "alpha = 1 must lie strictly between 0 and 1"),
                  list(list(alpha = NA), "alpha = NA must lie strictly between 0 and 1"),
                  list(list(threads = 0), "threads = 0 must be at least 1"))
  for (r in refused) {
    expect_error(do.call(ai_grid, c(list(problems), r[[1]])), r[[2]], fixed = TRUE,
                 class = "torvan_error")
  }
  rows <- data.frame(ntot = c(12, 12, 12, 12), nhire = 4, esize = c(-0.5, NA, -0.5, -0.5),
                     minority = c(4, 4, NA, 20))
  expect_identical(ai_grid(rows)$error,
                   c(NA, "esize = NA must be a finite number", "prop or minority is required",
                     "minority = 20 must lie between 0 and ntot = 12"))
})
