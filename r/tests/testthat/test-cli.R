# The same problems through the command line named by TORVAN_BINARY (CTest
# sets it): the table must match its CSV text digit for digit, every figure
# its JSON document, $json its JSON text and the joint distribution its
# --format joint.

cli <- function(format, input, options = character(), parse = format == "json") {
  bin <- Sys.getenv("TORVAN_BINARY")
  if (!nzchar(bin) || !file.exists(bin)) skip("TORVAN_BINARY does not name the command line")
  out <- suppressWarnings(system2(bin, c("--threads", "1", "--format", format, options),
                                  input = input, stdout = TRUE, stderr = FALSE))
  if (parse) jsonlite::fromJSON(paste(out, collapse = "\n")) else out
}

# The command line writes each number in its shortest exact form; read back,
# it is the same double, shown here as the package's are.
cli_rows <- function(lines, numbers = c(2L, 4L, 5L)) {
  vapply(strsplit(lines, ",", fixed = TRUE), function(f) {
    for (i in numbers) if (nzchar(f[i])) f[i] <- sprintf("%.17g", as.numeric(f[i]))
    paste(f, collapse = ",")
  }, "")
}

csv_rows <- function(table) {
  g17 <- function(v) ifelse(is.na(v), "", sprintf("%.17g", v))
  paste(seq_len(nrow(table)), g17(table$ai), tolower(table$defined), g17(table$probability),
        g17(table$cumulative), sep = ",")
}

figures <- function(v) vapply(v, function(f) if (is.null(f)) NA_real_ else as.double(f), 0)

cases <- list(list(c(20, 5, -0.5, 0.3), "nested", NULL), list(c(20, 5, -0.5, 0.3), "direct", NULL),
              list(c(12, 4, 0, 0.5), "nested", NULL), list(c(30, 6, -1, 0.2), "direct", NULL),
              list(c(8, 0, 0.5, 0.4), "nested", NULL), list(c(20, 20, 0.5, 0.3), "direct", NULL),
              list(c(20, 5, -0.5, 0.3), "nested", 6), list(c(20, 5, -0.5, 0.3), "direct", 0))

for (case in cases) {
  p <- case[[1]]
  input <- paste(p, collapse = " ")
  options <- c("--method", case[[2]], if (!is.null(case[[3]])) c("--minority", case[[3]]))
  test_that(paste("the package computes what the command line computes for", input,
                  paste(options, collapse = " ")), {
    skip_if_not_installed("jsonlite")
    x <- ai_distribution(p[1], p[2], p[3], p[4], method = case[[2]], minority = case[[3]],
                         threads = 2)
    expect_identical(csv_rows(x$table), cli_rows(cli("csv", input, options)[-1]))
    doc <- cli("json", input, options)
    expect_identical(x$moments, figures(doc$moments))
    expect_identical(x$percentiles, figures(doc$percentiles))
    expect_identical(x$undefined, figures(doc$undefined))
    expect_identical(x$adverse_impact, figures(doc$adverse_impact))
    for (name in c("p_undefined", "p_above_1_25", "p_below_0_8", "skipped_pool_weight",
                   "skipped_outcome_weight")) {
      expect_identical(x[[name]], figures(doc[name])[[1]], label = name)
    }
  })
}

# The command line's JSON text but for how it was computed: threads and CPU seconds.
same_document <- function(json, cli_lines) {
  drop <- function(lines) grep('^  "(threads|cpu_seconds)":', lines, value = TRUE, invert = TRUE)
  expect_identical(drop(strsplit(json, "\n")[[1]]), drop(cli_lines))
}

test_that("$json, and the joint distribution, are the command line's", {
  for (case in cases[c(1, 4, 7)]) {
    p <- case[[1]]
    input <- paste(p, collapse = " ")
    options <- c("--method", case[[2]], if (!is.null(case[[3]])) c("--minority", case[[3]]))
    x <- ai_distribution(p[1], p[2], p[3], p[4], method = case[[2]], minority = case[[3]],
                         joint = TRUE)
    same_document(x$json, cli("json", input, options, parse = FALSE))
    figures <- ai_distribution(p[1], p[2], p[3], p[4], method = case[[2]], minority = case[[3]],
                               rows = FALSE)
    same_document(figures$json, cli("json", input, c(options, "--rows", "none"), parse = FALSE))
    g17 <- function(v) ifelse(is.na(v), "", sprintf("%.17g", v))
    j <- x$joint
    flags <- lapply(j[5:9], function(v) ifelse(v, "true", "false"))
    expect_identical(do.call(paste, c(list(j$minority_applicants, j$minority_hires,
                                           g17(j$probability), g17(j$ai)), flags, sep = ",")),
                     cli_rows(cli("joint", input, options)[-1], numbers = c(3L, 4L)))
  }
})

test_that("a refused problem carries the command line's message", {
  skip_if_not_installed("jsonlite")
  # The last two: the nested method's result, checked against the direct method's, is wrong.
  for (input in c("1 5 -0.5 0.3", "20 25 -0.5 0.3", "20 5 -0.5 0", "20 5 -0.5 1.5", "10 2 20 0.3",
                  "2 1 8 0.5")) {
    p <- as.numeric(strsplit(input, " ")[[1]])
    message <- cli("json", input)$error
    expect_error(ai_distribution(p[1], p[2], p[3], p[4]), message, fixed = TRUE,
                 class = "torvan_error")
  }
})
