# Shared by the tests that run a child R session.

# The output of process p until it matches pattern, or until `seconds` pass.
read_until <- function(p, pattern, seconds, out = "") {
  end <- Sys.time() + seconds
  while (!grepl(pattern, out) && Sys.time() < end && p$is_alive()) {
    p$poll_io(100)
    out <- paste0(out, p$read_output())
  }
  paste0(out, p$read_output())
}
