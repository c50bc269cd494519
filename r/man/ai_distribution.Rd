\name{ai_distribution}
\alias{ai_distribution}
\alias{print.torvan_distribution}
\title{Exact sampling distribution of the adverse impact ratio}
\description{
Computes, without simulation, every value the adverse impact (AI) ratio --
the majority selection rate over the minority selection rate -- can take when
the \code{nhire} best-scoring of \code{ntot} applicants are hired top-down,
with its probability, and what a researcher reads off the distribution.
}
\usage{
ai_distribution(ntot, nhire, esize, prop, method = "nested", minority = NULL,
                threads = NULL)

\method{print}{torvan_distribution}(x, digits = 5L, ...)
}
\arguments{
  \item{ntot}{number of applicants, a whole number of at least 2.}
  \item{nhire}{number of hires, a whole number from 0 to \code{ntot}.}
  \item{esize}{mean predictor score of the minority group; majority scores are
    standard normal, minority scores normal with unit variance.}
  \item{prop}{proportion of minority applicants in the population, strictly
    between 0 and 1: the number of minority applicants is binomial.}
  \item{method}{how the hiring outcomes of a pool are integrated:
    \code{"nested"}, nested adaptive Gauss-Kronrod quadrature over normal
    order statistics, the only method this version computes.}
  \item{minority}{\code{NULL}, or the exact number of minority applicants
    when it is known; not yet available in this version (an error).}
  \item{threads}{pool compositions computed at once; \code{NULL} uses every
    core of the machine. The results are the same, to the last digit, for
    every count.}
  \item{x}{a \code{torvan_distribution}.}
  \item{digits}{significant digits of the printed figures.}
  \item{...}{ignored.}
}
\details{
The distribution is the one the \code{torvan} command-line program computes,
digit for digit. A problem the program refuses (for example
\code{ntot = 1}) is an error of class \code{torvan_error} whose message is the
program's. When an integral cannot be accepted after the allowed retries, the
result has \code{completed = FALSE}, the reason, and no table, and a warning
says why.
}
\value{
An object of class \code{torvan_distribution}, a list with
  \item{problem}{the four values of the problem.}
  \item{method, minority}{as given.}
  \item{completed}{whether the distribution was computed.}
  \item{reason}{why it was not, or \code{NA}.}
  \item{table}{a data frame, one row per value the ratio can take, ascending,
    the undefined ratio (no minority hire, or no applicant of one group) last:
    \code{ai} (\code{NA} on the undefined row), \code{defined},
    \code{probability}, \code{cumulative}.}
  \item{moments}{\code{mean}, \code{variance} and \code{sd} of the ratio given
    that it is defined (\code{NA} when no probability lands on a defined
    value).}
  \item{p_undefined}{the probability that the ratio is undefined.}
  \item{p_above_1_25, p_below_0_8}{P(AI > 1.25), the minority's selection rate
    below four fifths of the majority's, and P(AI < 0.8); a value within 1e-9
    of a threshold counts as equal to it.}
  \item{percentiles}{\code{p5}, \code{p50} and \code{p95} of the ratio given
    that it is defined.}
  \item{skipped_pool_weight}{the total binomial weight of the pool
    compositions too improbable to be computed.}
  \item{events}{a data frame of what happened while the pools were integrated
    (an integrator's error number, an estimate accepted as 1), one row per
    event: \code{kind}, \code{nmin}, \code{code}, \code{t}, \code{smin},
    \code{rmaj}, \code{stored}, \code{raw}.}
\code{print} shows a short summary and returns \code{x} invisibly.
}
\seealso{\code{\link{ai_grid}} for many problems at once.}
\examples{
x <- ai_distribution(20, 5, -0.5, 0.3, threads = 1)
x
head(x$table)
x$moments
}
