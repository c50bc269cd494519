# ai_plan against the command line's plan document, and its found sizes
# against its own rows.

cli_plan <- function(options) {
  bin <- Sys.getenv("TORVAN_BINARY")
  if (!nzchar(bin) || !file.exists(bin)) skip("TORVAN_BINARY does not name the command line")
  out <- suppressWarnings(system2(bin, c("plan", options, "--format", "json", "--threads", "1"),
                                  stdout = TRUE, stderr = FALSE))
  jsonlite::fromJSON(paste(out, collapse = "\n"), simplifyVector = FALSE)
}

test_that("a plan's rows and found sizes are the command line's", {
  skip_if_not_installed("jsonlite")
  p <- ai_plan(-0.4, seq(10, 300, by = 29), prop = 0.3, selection_ratio = 0.2, threads = 2)
  doc <- cli_plan(c("--esize", "-0.4", "--prop", "0.3", "--selection-ratio", "0.2",
                    "--ntot", "10:300:29"))
  expect_identical(p$rows$ntot, vapply(doc$rows, function(r) as.integer(r$ntot), 1L))
  for (name in c("four_fifths", "four_fifths_one_person", "z_test", "fisher_exact", "z_ir",
                 "four_fifths_and_z", "p_above_1_25", "p_undefined", "expected_minority")) {
    expect_identical(p$rows[[name]], vapply(doc$rows, function(r) as.double(r[[name]]), 0),
                     label = name)
  }
  na_or <- function(v) if (is.null(v)) NA_integer_ else as.integer(v)
  expect_identical(p$found$first, unname(vapply(doc$found, function(f) na_or(f$first), 1L)))
  expect_identical(p$found$stays, unname(vapply(doc$found, function(f) na_or(f$stays), 1L)))
  expect_identical(p$found$rule, names(doc$found))
  json <- jsonlite::fromJSON(p$json, simplifyVector = FALSE)
  expect_identical(json$rows, doc$rows)
})

test_that("sizes that cannot be computed say so, and known pools show their count", {
  p <- ai_plan(-1, 10:14, minority_share = 0.5, nhire = 13, rule = c("z_test", "four_fifths"))
  expect_identical(names(p$rows), c("ntot", "nhire", "minority", "completed", "four_fifths",
                                    "z_test", "p_above_1_25", "p_undefined",
                                    "accuracy_shortfalls", "error"))
  expect_identical(p$rows$completed, c(FALSE, FALSE, FALSE, TRUE, TRUE))
  expect_identical(p$rows$error[1], "nhire = 13 must lie between 0 and ntot = 10")
  expect_true(is.na(p$rows$z_test[1]) && is.na(p$rows$error[5]))
  expect_identical(p$rows$minority, c(5L, 6L, 6L, 7L, 7L))
  expect_output(print(p), "3 sizes could not be computed")
})

test_that("the found sizes agree with the rows", {
  p <- ai_plan(-0.6, seq(10, 300, by = 5), prop = 0.3, selection_ratio = 0.25, target = 0.5)
  for (i in seq_len(nrow(p$found))) {
    reached <- p$rows[[p$found$rule[i]]] >= 0.5
    first <- if (any(reached)) p$rows$ntot[which(reached)[1]] else NA_integer_
    expect_identical(p$found$first[i], first)
    below <- which(!reached)
    stays <- if (length(below) == 0L) p$rows$ntot[1] else if (max(below) == length(reached)) {
      NA_integer_
    } else {
      p$rows$ntot[max(below) + 1L]
    }
    expect_identical(p$found$stays[i], stays)
  }
})

test_that("bad plans are refused with the command line's words", {
  expect_error(ai_plan(-0.3, 10:20, prop = 0.3, selection_ratio = 0.2, target = 1),
               "target = 1 must lie strictly between 0 and 1", class = "torvan_error")
  expect_error(ai_plan(-0.3, 10:20, prop = 0.3, selection_ratio = 1.5),
               "selection_ratio = 1.5 must lie above 0 and at most 1", class = "torvan_error")
  expect_error(ai_plan(-0.3, 10:20, prop = 0.3, nhire = 3, rule = "chi"),
               "rule 'chi' is not one of", class = "torvan_error")
  expect_error(ai_plan(-0.3, 10:20, selection_ratio = 0.2), "prop or minority_share is required",
               class = "torvan_error")
  expect_error(ai_plan(-0.3, c(10, 12, 15), prop = 0.3, nhire = 3), "equal steps",
               class = "torvan_error")
  expect_error(ai_plan(-0.3, 20:10, prop = 0.3, nhire = 3), "equal steps", class = "torvan_error")
})

test_that("ai_plan reports its sizes through progressr", {
  withr::local_options(progressr.enable = TRUE)
  amount <- 0
  withCallingHandlers(ai_plan(-0.5, 10:40, prop = 0.3, selection_ratio = 0.25),
                      progression = function(c) if (c$type == "update") amount <<- amount + c$amount)
  expect_identical(amount, 31)
  expect_silent(ai_plan(-0.5, 10:20, prop = 0.3, selection_ratio = 0.25))
})

test_that("print counts one size as one", {
  expect_output(print(ai_plan(-0.5, 50, prop = 0.3, nhire = 10)), "plan: 1 pool size, 50;")
  expect_output(print(ai_plan(-1, 10:11, minority_share = 0.5, nhire = 11)),
                "plan: 2 pool sizes from 10 to 11;.*\n1 size could not be computed")
})

test_that("a missing value reads NA in the refusal", {
  expect_error(ai_plan(NA, 10:20, prop = 0.3, nhire = 3), "esize = NA must be a finite number",
               fixed = TRUE, class = "torvan_error")
})
