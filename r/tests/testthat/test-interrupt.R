test_that("an interrupt stops ai_distribution, ai_grid and ai_plan within a second", {
  skip_if_not_installed("processx")
  # A child session computes, one after the other, a nested problem of about
  # ten seconds, a grid of two of them and a plan of a hundred, and says
  # whether each finished.
  code <- '
    library(torvan)
    slow <- data.frame(ntot = 200, nhire = 50, esize = -0.5, prop = 0.3)
    runs <- list(distribution = function() ai_distribution(200, 50, -0.5, 0.3, threads = 1L),
                 grid = function() ai_grid(slow[c(1, 1), ]),
                 plan = function() ai_plan(-0.5, 150:250, prop = 0.3, selection_ratio = 0.25,
                                           method = "nested", threads = 1L))
    for (name in names(runs)) {
      cat("computing", name, "\n")
      r <- tryCatch({ runs[[name]](); "finished" }, interrupt = function(e) "interrupted")
      cat(name, r, "\n")
    }'
  p <- processx::process$new(file.path(R.home("bin"), "Rscript"), c("-e", code),
                             stdout = "|", stderr = "2>&1",
                             env = c("current", R_LIBS = paste(.libPaths(), collapse = ":")))
  on.exit(p$kill(), add = TRUE)
  out <- ""
  for (name in c("distribution", "grid", "plan")) {
    out <- read_until(p, paste("computing", name), 30, out)
    Sys.sleep(0.5)
    sent <- Sys.time()
    p$interrupt()
    out <- read_until(p, paste(name, "[a-z]+ \n"), 5, out)
    expect_match(out, paste(name, "interrupted"))
    expect_lt(as.double(difftime(Sys.time(), sent, units = "secs")), 1)
  }
  expect_true(p$wait(5000)$get_exit_status() == 0L)
})

test_that("a time limit is an error the caller catches, and no thread is left computing", {
  # Each takes some seconds; the limit ends it after one. Caught as an
  # interrupt, or not at all, it would end the session that set the limit.
  slow <- data.frame(ntot = 200, nhire = 50, esize = -0.5, prop = 0.3)
  events <- data.frame(minority_applicants = 2000, minority_hires = 100 + 0:599 %% 50,
                       majority_applicants = 8000, majority_hires = 900)
  runs <- list(ai_distribution = function() ai_distribution(200, 50, -0.5, 0.3, threads = 1L),
               ai_grid = function() ai_grid(slow[c(1, 1), ]),
               ai_plan = function() ai_plan(-0.5, 150:250, prop = 0.3, selection_ratio = 0.25,
                                            method = "nested", threads = 1L),
               ai_audit_events = function() ai_audit_events(events))
  for (name in names(runs)) {
    r <- tryCatch({
      setTimeLimit(elapsed = 1, transient = TRUE)
      runs[[name]]()
      "finished"
    }, error = conditionMessage, interrupt = function(e) "interrupted",
    finally = setTimeLimit())
    expect_identical(r, "reached elapsed time limit", label = name)
  }
  expect_identical(ai_distribution(12, 4, -0.5, 0.3)$completed, TRUE)
})

test_that("ai_grid reports its rows through progressr, and prints nothing itself", {
  # progressr reports nothing in a non-interactive session unless enabled.
  withr::local_options(progressr.enable = TRUE)
  grid <- data.frame(ntot = c(10, 12, 1), nhire = c(3, 4, 1), esize = 0, prop = 0.3)
  steps <- 0L
  withCallingHandlers(ai_grid(grid),
                      progression = function(c) if (c$type == "update") steps <<- steps + 1L)
  expect_identical(steps, 3L)
  bar <- capture.output(progressr::with_progress(
    ai_grid(grid), handlers = progressr::handler_txtprogressbar(file = stdout())))
  expect_match(paste(bar, collapse = ""), "100%")
  expect_silent(ai_grid(grid))
})

test_that("an interrupted grid leaves no worker computing: the next grid is quick", {
  skip_if_not_installed("processx")
  skip_if_not_installed("future")
  # Two multisession workers, each computing a cell of about ten seconds
  # when the session is interrupted; a worker still on its cell would hold
  # the next grid of two quick cells back by as long.
  code <- '
    library(torvan)
    future::plan(future::multisession, workers = 2)
    quick <- data.frame(ntot = c(10, 12), nhire = 3, esize = -0.5, prop = 0.3)
    invisible(ai_grid(quick))
    slow <- data.frame(ntot = 200, nhire = 50, esize = -0.5, prop = 0.3)
    cat("computing\n")
    r <- tryCatch({ ai_grid(slow[rep(1, 4), ]); "finished" }, interrupt = function(e) "interrupted")
    seconds <- system.time(g <- ai_grid(quick))[["elapsed"]]
    cat("grid", r, "then", sum(g$completed), "cells in", seconds, "seconds\n")'
  p <- processx::process$new(file.path(R.home("bin"), "Rscript"), c("-e", code),
                             stdout = "|", stderr = "2>&1",
                             env = c("current", R_LIBS = paste(.libPaths(), collapse = ":")))
  on.exit(p$kill(), add = TRUE)
  out <- read_until(p, "computing", 60)
  Sys.sleep(1)
  p$interrupt()
  out <- read_until(p, "in [0-9.]+ seconds", 30, out)
  expect_match(out, "grid interrupted then 2 cells in")
  expect_lt(as.double(sub(".* in ([0-9.]+) seconds.*", "\\1", out)), 4)
})
