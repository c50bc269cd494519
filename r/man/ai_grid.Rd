\name{ai_grid}
\alias{ai_grid}
\title{Adverse impact ratio distributions for a grid of problems}
\description{
Computes the distribution of the adverse impact ratio for every row of a data
frame, spreading the rows over the back-end chosen with
\code{future::plan()}, and returns one row of summary figures per problem.
}
\usage{
ai_grid(problems, method = "nested", threads = 1L, alpha = 0.05)
}
\arguments{
  \item{problems}{a data frame with the columns \code{ntot}, \code{nhire},
    \code{esize} and \code{prop}, and optionally \code{minority} (\code{NA}:
    mixed over the binomial), as in \code{\link{ai_distribution}}; with
    \code{minority}, \code{prop} may be left out. Other columns are kept.}
  \item{method}{the method of every row, as in \code{\link{ai_distribution}}.}
  \item{threads}{pool compositions computed at once within one row.}
  \item{alpha}{significance level of the adverse impact rules.}
}
\details{
The rows are computed with \code{future.apply::future_lapply}: under
\code{future::plan(multisession)}, or a cluster plan, they are computed in
separate R sessions; under the default sequential plan, one after another.
The figures do not depend on the plan. A row whose problem is refused, or
whose distribution could not be completed, does not stop the grid: its
figures are \code{NA} and its \code{error} column says why. A
\code{method}, \code{alpha} or \code{threads} that cannot be used is an
error at once.

Each row's figures are computed without the table of every value the ratio
can take, as the command line's \code{--rows none} does: with the direct
method a row may have a million applicants.

Progress, one step per row, is reported through \pkg{progressr}, from
whichever back-end computes the rows: it is shown once asked for, with
\code{progressr::handlers(global = TRUE)} for the session or
\code{progressr::with_progress(ai_grid(...))} for one call, and nothing is
shown otherwise. A user interrupt, or a time limit, stops the row being
computed in this session within a fraction of a second, as in
\code{\link{ai_distribution}}; workers on the same machine
(\code{multisession}, \code{multicore}) stop the rows they are computing
too, so the next grid does not wait for them. Workers on other machines
finish their rows.
}
\value{
\code{problems} with these columns added: \code{method}, \code{alpha},
\code{completed}; the figures of \code{\link{ai_distribution}}:
\code{mean}, \code{variance}, \code{sd}, \code{p_undefined},
\code{undefined_no_minority_hired}, \code{undefined_group_absent},
\code{p_above_1_25}, \code{p_below_0_8}, \code{p5}, \code{p25},
\code{p50}, \code{p75}, \code{p95}, \code{skipped_pool_weight},
\code{skipped_outcome_weight}, and the rules' probabilities
\code{no_comparison}, \code{four_fifths}, \code{four_fifths_one_person},
\code{z_test}, \code{fisher_exact}, \code{z_ir}, \code{four_fifths_and_z},
\code{four_fifths_not_z}, \code{z_not_four_fifths}; \code{accuracy_shortfalls},
the number of pools whose direct integral missed its error bound; and
\code{error} (\code{NA}, or the message).
}
\seealso{\code{\link{ai_distribution}}}
\examples{
grid <- expand.grid(ntot = c(10, 20), nhire = 4, esize = c(0, -0.5), prop = 0.3)
ai_grid(grid, method = "direct")
\dontrun{
future::plan(future::multisession, workers = 2)
progressr::with_progress(ai_grid(grid))
}
}
