# The same problems through the command line named by TORVAN_BINARY (CTest
# sets it): the table must match its CSV text digit for digit, every figure
# its JSON document.

cli <- function(format, input) {
  bin <- Sys.getenv("TORVAN_BINARY")
  if (!nzchar(bin) || !file.exists(bin)) skip("TORVAN_BINARY does not name the command line")
  out <- suppressWarnings(system2(bin, c("--threads", "1", "--format", format), input = input,
                                  stdout = TRUE, stderr = FALSE))
  if (format == "json") jsonlite::fromJSON(paste(out, collapse = "\n")) else out
}

csv_rows <- function(table) {
  g17 <- function(v) ifelse(is.na(v), "", sprintf("%.17g", v))
  paste(seq_len(nrow(table)), g17(table$ai), tolower(table$defined), g17(table$probability),
        g17(table$cumulative), sep = ",")
}

figure <- function(v) if (is.null(v)) NA_real_ else as.double(v)

problems <- list(c(20, 5, -0.5, 0.3), c(12, 4, 0, 0.5), c(30, 6, -1, 0.2), c(8, 0, 0.5, 0.4),
                 c(20, 20, 0.5, 0.3))

for (p in problems) {
  input <- paste(p, collapse = " ")
  test_that(paste("the package computes what the command line computes for", input), {
    skip_if_not_installed("jsonlite")
    x <- ai_distribution(p[1], p[2], p[3], p[4], threads = 2)
    expect_identical(csv_rows(x$table), cli("csv", input)[-1])
    doc <- cli("json", input)
    expect_identical(x$moments, vapply(doc$moments, figure, 0))
    expect_identical(x$percentiles, vapply(doc$percentiles, figure, 0))
    for (name in c("p_undefined", "p_above_1_25", "p_below_0_8", "skipped_pool_weight")) {
      expect_identical(x[[name]], figure(doc[[name]]), label = name)
    }
  })
}

test_that("a refused problem carries the command line's message", {
  skip_if_not_installed("jsonlite")
  for (input in c("1 5 -0.5 0.3", "20 25 -0.5 0.3", "20 5 -0.5 0", "20 5 -0.5 1.5")) {
    p <- as.numeric(strsplit(input, " ")[[1]])
    expect_error(ai_distribution(p[1], p[2], p[3], p[4]), cli("json", input)$error, fixed = TRUE,
                 class = "torvan_error")
  }
})
