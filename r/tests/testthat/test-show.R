# The displays of every result class: format is what print writes, summary
# and as.data.frame are data frames of the result's own figures, and plot
# draws (to a null device) without an error.

draws <- function(x) {
  grDevices::pdf(NULL)
  on.exit(grDevices::dev.off())
  plot(x)
  TRUE
}

results <- list(
  distribution = ai_distribution(20, 5, -0.5, 0.3, threads = 1),
  direct = ai_distribution(300, 30, -1, 0.2, method = "direct", threads = 1),
  plan = ai_plan(-0.5, seq(20, 200, by = 20), prop = 0.3, selection_ratio = 0.2),
  audit = ai_audit(50, 5, 150, 30),
  events = ai_audit_events(data.frame(event = c("2023", "2024", "none"),
                                      minority_applicants = c(50, 40, 10),
                                      minority_hires = c(5, 6, 0),
                                      majority_applicants = c(150, 160, 20),
                                      majority_hires = c(30, 35, 0))))

for (name in names(results)) {
  test_that(paste("print writes format's lines, and plot draws:", name), {
    x <- results[[name]]
    expect_identical(capture.output(print(x)), format(x))
    expect_true(draws(x))
    expect_s3_class(summary(x), "data.frame")
    expect_s3_class(as.data.frame(x), "data.frame")
  })
}

test_that("a distribution's summary is its grid row, as.data.frame its table", {
  x <- results$distribution
  row <- ai_grid(data.frame(ntot = 20, nhire = 5, esize = -0.5, prop = 0.3))
  s <- summary(x)
  expect_equal(s[names(s) != "minority"], row)
  expect_identical(summary(x)$minority, NA_integer_)
  expect_identical(as.data.frame(x), x$table)
  figures <- ai_distribution(20, 5, -0.5, 0.3, rows = FALSE)
  expect_error(as.data.frame(figures), "rows = FALSE", class = "torvan_error")
  expect_error(plot(figures), "rows = FALSE", class = "torvan_error")
})

test_that("a plan's summary is its found sizes, as.data.frame its rows", {
  p <- results$plan
  expect_identical(summary(p), p$found)
  expect_identical(as.data.frame(p), p$rows)
})

test_that("an audit is one row of the events' table; events summarize by event", {
  e <- results$events
  one <- ai_audit(50, 5, 150, 30)
  row <- as.data.frame(one)
  # the events' document leaves out the program's fields, which the audit's has
  expect_identical(names(row)[1:4], c("program", "version", "command", "alpha"))
  first <- e$table[1, names(row)[-(1:4)]]
  rownames(first) <- NULL
  expect_identical(row[-(1:4)], first)
  expect_identical(summary(e)$event, c("2023", "2024", "none"))
  expect_identical(summary(e)$implied_esize_mle, e$table$implied_esize_mle)
  expect_identical(as.data.frame(e), e$table)
})
