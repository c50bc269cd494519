\name{ai_grid}
\alias{ai_grid}
\title{Adverse impact ratio distributions for a grid of problems}
\description{
Computes the distribution of the adverse impact ratio for every row of a data
frame, spreading the rows over the back-end chosen with
\code{future::plan()}, and returns one row of summary figures per problem.
}
\usage{
ai_grid(problems, method = "nested", threads = 1L)
}
\arguments{
  \item{problems}{a data frame with the columns \code{ntot}, \code{nhire},
    \code{esize} and \code{prop} (see \code{\link{ai_distribution}}); other
    columns are kept.}
  \item{method}{the method of every row, as in \code{\link{ai_distribution}}.}
  \item{threads}{pool compositions computed at once within one row.}
}
\details{
The rows are computed with \code{future.apply::future_lapply}: under
\code{future::plan(multisession)}, or a cluster plan, they are computed in
separate R sessions; under the default sequential plan, one after another.
The figures do not depend on the plan. A row whose problem is refused, or
whose distribution could not be completed, does not stop the grid: its
figures are \code{NA} and its \code{error} column says why.
}
\value{
\code{problems} with the columns \code{method}, \code{completed},
\code{mean}, \code{variance}, \code{sd}, \code{p_undefined},
\code{p_above_1_25}, \code{p_below_0_8}, \code{p5}, \code{p50}, \code{p95}
(as in \code{\link{ai_distribution}}) and \code{error} (\code{NA}, or the
message) added.
}
\seealso{\code{\link{ai_distribution}}}
\examples{
grid <- expand.grid(ntot = c(10, 20), nhire = 4, esize = c(0, -0.5), prop = 0.3)
ai_grid(grid)
\dontrun{
future::plan(future::multisession, workers = 2)
ai_grid(grid)
}
}
