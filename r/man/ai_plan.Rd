\name{ai_plan}
\alias{ai_plan}
\alias{print.torvan_plan}
\alias{format.torvan_plan}
\alias{summary.torvan_plan}
\alias{as.data.frame.torvan_plan}
\alias{plot.torvan_plan}
\title{Exact power (or false-positive rate) of each adverse impact rule as the pool grows}
\description{
For every pool size in \code{ntot}, computes the exact probability that each
adverse impact rule flags the minority group when the best-scoring applicants
are hired top-down, with P(AI > 1.25) and P(AI undefined), and for each rule
the pool sizes at which that probability reaches \code{target}. Each row is
the single problem of that size, its figures those of
\code{\link{ai_distribution}} (and of the command line) to the last bit. With
\code{esize = 0} the probabilities are the rules' false-positive rates.
}
\usage{
ai_plan(esize, ntot, prop = NULL, minority_share = NULL, selection_ratio = NULL,
        nhire = NULL, alpha = 0.05, target = 0.8, rule = NULL, method = "direct",
        threads = NULL)

\method{print}{torvan_plan}(x, ...)
\method{format}{torvan_plan}(x, ...)
\method{summary}{torvan_plan}(object, ...)
\method{as.data.frame}{torvan_plan}(x, ...)
\method{plot}{torvan_plan}(x, ...)
}
\arguments{
  \item{esize}{mean predictor score of the minority group, in standard
    deviations of the majority's.}
  \item{ntot}{the pool sizes: whole numbers rising in equal steps, such as
    \code{10:2000} or \code{seq(50, 1000, by = 50)}; the smallest at least 2.}
  \item{prop}{binomial pools: the proportion of minority applicants in the
    population, strictly between 0 and 1. Give this or \code{minority_share}.}
  \item{minority_share}{known pools of exactly \code{round(minority_share * ntot)}
    minority applicants (halves rounded up), between 0 and 1.}
  \item{selection_ratio}{\code{nhire = round(selection_ratio * ntot)}, at
    least 1 (halves rounded up), above 0 and at most 1. Give this or
    \code{nhire}.}
  \item{nhire}{the same number of hires at every size; the sizes below it
    cannot be computed and say so in the \code{error} column.}
  \item{alpha}{significance level of the rules' tests.}
  \item{target}{the probability to reach, strictly between 0 and 1.}
  \item{rule}{the rules to follow, by name: \code{"four_fifths"},
    \code{"four_fifths_one_person"}, \code{"z_test"}, \code{"fisher_exact"},
    \code{"z_ir"}, \code{"four_fifths_and_z"}; all by default.}
  \item{method}{\code{"direct"} (the default) or \code{"nested"}, as in
    \code{\link{ai_distribution}}.}
  \item{threads}{sizes computed at once (and pools within a size when the
    sizes are few); every core by default. The figures do not depend on it.}
  \item{x, object}{a plan.}
  \item{...}{for \code{plot}, graphical parameters; else not used.}
}
\details{
The discrete tests saw-tooth as the pool grows: a size can reach the target
and the next fall below it again. So two sizes are given per rule:
\code{first}, the smallest size whose probability reaches the target, and
\code{stays}, the smallest from which it stays at or above the target to the
end of the range; \code{NA} when not reached in the range. A size that could
not be computed reaches nothing.

Progress, one step per size, is reported through \pkg{progressr} once asked
for (\code{progressr::handlers(global = TRUE)}, or
\code{progressr::with_progress(ai_plan(...))}). A user interrupt stops the
plan within a fraction of a second; a time limit (\code{setTimeLimit()})
likewise, with an error a caller can catch.
}
\value{
A list of class \code{torvan_plan}: \code{rows}, a data frame with one row
per size: \code{ntot}, \code{nhire}, \code{minority} (known pools) or
\code{expected_minority} (binomial pools, \code{prop * ntot}),
\code{completed}, one column per rule with its probability,
\code{p_above_1_25}, \code{p_undefined}, \code{accuracy_shortfalls} and
\code{error} (\code{NA}, or why the size could not be computed; its figures
are then \code{NA}); \code{found}, a data frame with the columns \code{rule},
\code{first} and \code{stays}; \code{false_positive}, whether \code{esize} is
0; \code{target}; and \code{json}, the command line's
\code{torvan plan --format json} document as text.

\code{print} writes the lines of \code{format}: the range, the sizes not
computed, and \code{found}. \code{summary} is \code{found},
\code{as.data.frame} the \code{rows}; \code{plot} draws each rule's
probability over the sizes, one line a rule, and the target (dashed).
}
\seealso{\code{\link{ai_distribution}}, \code{\link{ai_grid}}}
\examples{
p <- ai_plan(-0.5, seq(20, 200, by = 20), prop = 0.3, selection_ratio = 0.2)
p
plot(p)
head(as.data.frame(p))
ai_plan(0, 10:60, minority_share = 0.3, nhire = 5, target = 0.05, rule = "fisher_exact")$found
}
