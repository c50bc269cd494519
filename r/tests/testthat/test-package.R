test_that("citation() has what it needs, without a warning", {
  expect_silent(cite <- citation("torvan"))
  expect_match(format(cite, style = "text"), "R package version")
})

test_that("counts are written with the noun's number", {
  for (c in list(c(0, "0 events"), c(1, "1 event"), c(2, "2 events"))) {
    expect_identical(torvan:::counted(as.integer(c[1]), "event"), c[2])
  }
})
