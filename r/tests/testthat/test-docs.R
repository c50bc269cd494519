# The documentation's R examples (```r blocks in docs/*.md) run as written:
# what each prints is what its "#>" lines show.

docs <- file.path("..", "..", "..", "docs")

r_blocks <- function(lines) {
  starts <- which(lines == "```r")
  lapply(starts, function(s) {
    end <- s + which(lines[-seq_len(s)] == "```")[1L]
    lines[(s + 1L):(end - 1L)]
  })
}

test_that("the examples in docs/ print what they show", {
  pages <- list.files(docs, pattern = "\\.md$", full.names = TRUE)
  if (length(pages) == 0L) skip("docs/ is not beside the package's tests")
  blocks <- unlist(lapply(pages, function(p) r_blocks(readLines(p))), recursive = FALSE)
  expect_gt(length(blocks), 0L)
  for (block in blocks) {
    shown <- startsWith(block, "#>")
    printed <- capture.output(source(textConnection(block[!shown]), echo = FALSE,
                                     print.eval = TRUE, local = new.env()))
    expect_identical(printed, sub("^#> ?", "", block[shown]))
  }
})
