# ai_audit and ai_audit_events against R's own fisher.test, prop.test and
# mantelhaen.test over a table of 2 x 2 tables with its boundaries (shared
# with the Python tests), and against the command line's JSON documents.

# The table is the repository's tests/data/audit/tables.csv; the assembled
# package carries a copy beside this file.
tables_file <- test_path("audit-tables.csv")
if (!file.exists(tables_file)) {
  tables_file <- test_path("..", "..", "..", "tests", "data", "audit", "tables.csv")
}
tables <- read.csv(tables_file)

table_of <- function(r) matrix(c(r$minority_hires, r$majority_hires,
                                 r$minority_applicants - r$minority_hires,
                                 r$majority_applicants - r$majority_hires), 2)

audit_of <- function(r) {
  ai_audit(r$minority_applicants, r$minority_hires, r$majority_applicants, r$majority_hires)
}

for (i in seq_len(nrow(tables))) {
  r <- tables[i, ]
  test_that(paste("Fisher's test and the Z test as R's for", r$event), {
    a <- audit_of(r)
    m <- table_of(r)
    expect_equal(a$fisher_exact$p_two_sided, fisher.test(m)$p.value, tolerance = 1e-9)
    expect_equal(a$fisher_exact$p_lower, fisher.test(m, alternative = "less")$p.value,
                 tolerance = 1e-9)
    x2 <- suppressWarnings(tryCatch(
      unname(prop.test(c(r$minority_hires, r$majority_hires),
                       c(r$minority_applicants, r$majority_applicants),
                       correct = FALSE)$statistic),
      error = function(e) NaN))
    if (is.na(x2)) {
      expect_true(is.na(a$z_test$z))
      expect_true(nzchar(a$z_test$z_reason))
    } else {
      expect_equal(a$z_test$z^2, x2, tolerance = 1e-12)
    }
  })
}

test_that("Mantel-Haenszel and Cochran-Mantel-Haenszel as mantelhaen.test", {
  e <- ai_audit_events(tables)
  strata <- array(unlist(lapply(seq_len(nrow(tables)), function(i) table_of(tables[i, ]))),
                  c(2, 2, nrow(tables)))
  mh <- mantelhaen.test(strata, correct = FALSE)
  m <- e$mantel_haenszel
  expect_equal(m$odds_ratio, unname(mh$estimate), tolerance = 1e-12)
  expect_equal(c(m$odds_ratio_lower, m$odds_ratio_upper), as.vector(mh$conf.int),
               tolerance = 1e-12)
  expect_equal(m$statistic, unname(mh$statistic), tolerance = 1e-12)
  expect_equal(m$p_two_sided, mh$p.value, tolerance = 1e-9)
  expect_equal(m$p_lower, mantelhaen.test(strata, correct = FALSE, alternative = "less")$p.value,
               tolerance = 1e-9)
  level <- mantelhaen.test(strata[, , 1:4], correct = FALSE, conf.level = 0.9)
  m90 <- ai_audit_events(tables[1:4, ], alpha = 0.1)$mantel_haenszel
  expect_equal(c(m90$odds_ratio_lower, m90$odds_ratio_upper), as.vector(level$conf.int),
               tolerance = 1e-12)
})

test_that("every field is the command line's", {
  skip_if_not_installed("jsonlite")
  bin <- Sys.getenv("TORVAN_BINARY")
  if (!nzchar(bin) || !file.exists(bin)) skip("TORVAN_BINARY does not name the command line")
  as_r <- function(v) {
    if (is.null(v)) return(NA)
    if (is.list(v)) return(lapply(v, as_r))
    v
  }
  for (i in c(1, 2, 4, 5, 15, 18)) {
    r <- tables[i, ]
    counts <- c(r$minority_applicants, r$minority_hires, r$majority_applicants, r$majority_hires)
    out <- system2(bin, c("audit", "--format", "json", counts), stdout = TRUE)
    doc <- as_r(jsonlite::fromJSON(paste(out, collapse = "\n"), simplifyVector = FALSE))
    a <- audit_of(r)
    expect_identical(unclass(structure(a, page = NULL))[names(a) != "json"], doc)
    expect_identical(strsplit(a$json, "\n")[[1]], out)
    page <- system2(bin, c("audit", counts), stdout = TRUE)
    expect_identical(capture.output(print(audit_of(r))), page)
  }
})

test_that("the events' table: a row per event, the document's figures under joined names", {
  e <- ai_audit_events(tables)
  t <- e$table
  expect_identical(nrow(t), nrow(tables))
  expect_identical(t$event, tables$event)
  expect_identical(t$observed_minority_hires, as.integer(tables$minority_hires))
  expect_identical(t$z_test_p_lower, vapply(e$events, function(a) as.double(a$z_test$p_lower), 0))
  expect_identical(t$fisher_exact_flags, vapply(e$events, function(a) a$fisher_exact$flags, TRUE))
  expect_identical(t$implied_esize_mle,
                   vapply(e$events, function(a) as.double(a$implied_esize$mle), 0))
  # a figure without a value: NA, and its reason beside it
  none <- which(is.na(t$z_test_z))
  expect_gt(length(none), 0L)
  expect_true(all(nzchar(t$z_test_z_reason[none])))
  expect_true(all(is.na(t$z_test_z_reason[-none])))
  expect_identical(match("z_test_z_reason", names(t)), match("z_test_z", names(t)) + 1L)
  expect_false(any(grepl(".", names(t), fixed = TRUE)))
})

test_that("the events' page counts one event as one", {
  expect_output(print(ai_audit_events(tables[1, ])), "^TORVAN audit of 1 event\n")
  expect_output(print(ai_audit_events(tables[1:2, ])), "^TORVAN audit of 2 events\n")
})

test_that("$json of the events is the command line's", {
  bin <- Sys.getenv("TORVAN_BINARY")
  if (!nzchar(bin) || !file.exists(bin)) skip("TORVAN_BINARY does not name the command line")
  csv <- tempfile(fileext = ".csv")
  on.exit(unlink(csv), add = TRUE)
  write.csv(tables[1:6, ], csv, row.names = FALSE, quote = FALSE)
  out <- system2(bin, c("audit", "--events", csv, "--format", "json"), stdout = TRUE)
  expect_identical(strsplit(ai_audit_events(tables[1:6, ])$json, "\n")[[1]], out)
})

test_that("bad counts are refused with the command line's message", {
  expect_error(ai_audit(5, 6, 5, 3), "minority_hires = 6 is more than minority_applicants = 5",
               class = "torvan_error", fixed = TRUE)
  expect_error(ai_audit(-1, 0, 5, 3), "minority_applicants = -1 is negative", fixed = TRUE)
  expect_error(ai_audit(0, 0, 0, 0), "there must be at least one applicant", fixed = TRUE)
  expect_error(ai_audit(5, 2.5, 5, 3), "minority_hires must be a single whole number",
               fixed = TRUE)
  expect_error(ai_audit(5, 2, 5, 3, alpha = 2), "alpha = 2 must lie strictly between 0 and 1",
               fixed = TRUE)
  expect_error(ai_audit(5, 2, 5, 3, alpha = NA), "alpha = NA must lie strictly between 0 and 1",
               fixed = TRUE)
  expect_error(ai_audit_events(tables[, -5]), "events lacks the columns majority_hires",
               fixed = TRUE)
  bad <- tables[1:3, ]
  bad$minority_hires[2] <- 11
  expect_error(ai_audit_events(bad),
               "event 2 (no minority hire): minority_hires = 11 is more than minority_applicants = 10",
               fixed = TRUE)
  bad$minority_hires[2] <- 1.5
  expect_error(ai_audit_events(bad), "event 2 (no minority hire): minority_hires must be a whole",
               fixed = TRUE)
})

test_that("an interrupt stops ai_audit_events within a second", {
  skip_if_not_installed("processx")
  code <- '
    library(torvan)
    events <- data.frame(minority_applicants = 2000, minority_hires = 100 + 0:599 %% 50,
                         majority_applicants = 8000, majority_hires = 900)
    cat("computing\n")
    r <- tryCatch({ ai_audit_events(events); "finished" }, interrupt = function(e) "interrupted")
    cat("audit", r, "\n")'
  p <- processx::process$new(file.path(R.home("bin"), "Rscript"), c("-e", code),
                             stdout = "|", stderr = "2>&1",
                             env = c("current", R_LIBS = paste(.libPaths(), collapse = ":")))
  on.exit(p$kill(), add = TRUE)
  out <- read_until(p, "computing", 30)
  Sys.sleep(0.5)
  sent <- Sys.time()
  p$interrupt()
  out <- read_until(p, "audit [a-z]+ \n", 5, out)
  expect_match(out, "audit interrupted")
  expect_lt(as.double(difftime(Sys.time(), sent, units = "secs")), 1)
})
