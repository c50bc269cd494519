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
                                      majority_hires = c(30, 35, 0))),
  design = ai_design(data.frame(name = c("GMA", "SI", "C"), validity = c(0.52, 0.48, 0.22),
                                d = c(0.72, 0.39, -0.09)),
                     matrix(c(1, 0.31, 0.03, 0.31, 1, 0.13, 0.03, 0.13, 1), 3),
                     ntot = 200, nhire = 20, prop = 0.15, points = 5, max_risk = 0.5,
                     compare = list(unit = NULL), threads = 1),
  groups = ai_audit_groups(data.frame(group = c("A", "B", "C"), applicants = c(100, 80, 60),
                                      hires = c(40, 20, 18))),
  group_events = ai_audit_groups(data.frame(event = c("2023", "2023", "2023", "2024", "2024"),
                                            group = c("A", "B", "C", "A", "B"),
                                            applicants = c(100, 80, 60, 90, 70),
                                            hires = c(40, 20, 18, 35, 20))))

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

test_that("a design's data frame is its front, its summary the ends and the marked points", {
  d <- results$design
  expect_identical(as.data.frame(d), d$front)
  s <- summary(d)
  expect_identical(s$point, c("least adverse", "most valid", "unit", "chosen"))
  expect_identical(s$validity, c(d$front$validity[c(1, 5)], d$compared$validity,
                                 d$chosen$validity))
  expect_true(s$four_fifths[4] <= 0.5)
})

test_that("groups are one row each, their ratios and intervals the pair audits'", {
  g <- results$groups
  t <- as.data.frame(g)
  expect_identical(t$group, c("A", "B", "C"))
  expect_identical(summary(g), t)
  for (i in which(t$group != g$reference)) {
    v <- g$groups[[i]]$versus_reference
    expect_identical(t$impact_ratio[i], g$groups[[i]]$impact_ratio)
    expect_identical(c(t$impact_ratio_lower[i], t$impact_ratio_upper[i]),
                     c(v$impact_ratio_ci$lower, v$impact_ratio_ci$upper))
    pair <- ai_audit(t$applicants[i], t$hires[i], 100, 40)
    expect_equal(t$impact_ratio_lower[i], pair$impact_ratio_ci$lower, tolerance = 1e-15)
  }
  e <- as.data.frame(results$group_events)
  expect_identical(paste(e$event, e$group), c("2023 A", "2023 B", "2023 C", "2024 A", "2024 B"))
})

test_that("autoplot gives each result's chart as a ggplot, drawn without an error", {
  skip_if_not_installed("ggplot2")
  for (name in setdiff(names(results), "direct")) {
    chart <- ggplot2::autoplot(results[[name]])
    expect_s3_class(chart, "ggplot")
    grDevices::pdf(NULL)
    expect_silent(print(chart))
    grDevices::dev.off()
  }
  # the design's front, one point per row, in the rule's probability and validity
  built <- ggplot2::ggplot_build(ggplot2::autoplot(results$design))$data[[1]]
  expect_equal(built$y, results$design$front$validity)
  expect_equal(built$x, results$design$front$four_fifths)
})
