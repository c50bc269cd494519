# ai_design against the command line's design document, and its refusals.

predictors <- data.frame(name = c("GMA", "SI", "C"), validity = c(0.52, 0.48, 0.22),
                         d = c(0.72, 0.39, -0.09))
correlations <- matrix(c(1, 0.31, 0.03, 0.31, 1, 0.13, 0.03, 0.13, 1), 3,
                       dimnames = list(predictors$name, predictors$name))

test_that("a design's points are the command line's", {
  skip_if_not_installed("jsonlite")
  bin <- Sys.getenv("TORVAN_BINARY")
  if (!nzchar(bin) || !file.exists(bin)) skip("TORVAN_BINARY does not name the command line")
  pfile <- tempfile(fileext = ".csv")
  cfile <- tempfile(fileext = ".csv")
  on.exit(unlink(c(pfile, cfile)))
  write.csv(predictors, pfile, row.names = FALSE)
  write.csv(data.frame(name = rownames(correlations), correlations, check.names = FALSE), cfile,
            row.names = FALSE)
  # the matrix in another order: matched by name
  d <- ai_design(predictors, correlations[3:1, 3:1], ntot = 200, nhire = 20, prop = 0.15,
                 points = 5, max_risk = 0.5, compare = list(unit = NULL, mine = c(1, 1, 2)),
                 threads = 1)
  out <- system2(bin, c("design", "--predictors", pfile, "--correlations", cfile, "--ntot", "200",
                        "--nhire", "20", "--prop", "0.15", "--points", "5", "--max-risk", "0.5",
                        "--compare", "unit", "--compare", "mine=1,1,2", "--threads", "1",
                        "--format", "json"), stdout = TRUE)
  doc <- jsonlite::fromJSON(paste(out, collapse = "\n"), simplifyVector = FALSE)
  expect_identical(d$front$validity, vapply(doc$front, function(p) p$validity, 0))
  expect_identical(d$front$four_fifths,
                   vapply(doc$front, function(p) p$adverse_impact$four_fifths, 0))
  expect_identical(d$compared$name, c("unit", "mine"))
  expect_identical(d$chosen$validity, doc$chosen$validity)
  expect_identical(d$front$weight_SI, vapply(doc$front, function(p) p$weights$SI, 0))
  expect_output(print(d), "Composite design: 5 points")
})

test_that("refusals are errors with the command line's words", {
  expect_error(ai_design(predictors, correlations, ntot = 200, nhire = 20),
               "prop or minority is required", class = "torvan_error")
  bad <- correlations
  bad[1, 2] <- 0.5
  expect_error(ai_design(predictors, bad, ntot = 200, nhire = 20, prop = 0.1),
               "not symmetric", class = "torvan_error")
  expect_error(ai_design(predictors[, c("name", "validity")], correlations, ntot = 200,
                         nhire = 20, prop = 0.1),
               "predictors need the columns", class = "torvan_error")
})
