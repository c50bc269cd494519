# ai_audit_groups against R's own fisher.test, chisq.test and p.adjust.

test_that("the overall tests and Holm's adjustment are R's", {
  df <- data.frame(group = c("White", "Black", "Hispanic", "Asian", "Other"),
                   applicants = c(120, 80, 60, 40, 1), hires = c(48, 20, 18, 17, 0))
  g <- ai_audit_groups(df)
  expect_equal(g$reference, "Asian")
  m <- cbind(df$hires, df$applicants - df$hires)
  expect_equal(g$overall$exact$p, fisher.test(m)$p.value, tolerance = 1e-9)
  cs <- suppressWarnings(chisq.test(m, correct = FALSE))
  expect_equal(g$overall$chi_square$statistic, unname(cs$statistic), tolerance = 1e-12)
  others <- c(1, 2, 3, 5)
  two <- sapply(others, function(i) fisher.test(rbind(m[i, ], m[4, ]))$p.value)
  got <- sapply(g$groups[others], function(x) x$versus_reference$fisher_exact$p_two_sided_holm)
  expect_equal(got, p.adjust(two, "holm"), tolerance = 1e-9)
})

test_that("refusals are the command line's", {
  expect_error(ai_audit_groups(data.frame(group = c("A", "B"), applicants = c(3, 4),
                                          hires = c(0, 0))),
               "nobody was hired: the tests of equal selection rates are undefined")
  expect_error(ai_audit_groups(data.frame(group = c("A", "B"), applicants = c(3, 4),
                                          hires = c(1, 2)), reference = "C"),
               "the reference 'C' is not one of the groups")
})
