library(testthat)
library(torvan)

test_check("torvan")
