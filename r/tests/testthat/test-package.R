test_that("citation() has what it needs, without a warning", {
  expect_silent(cite <- citation("torvan"))
  expect_match(format(cite, style = "text"), "R package version")
})
