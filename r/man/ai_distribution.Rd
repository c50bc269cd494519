\name{ai_distribution}
\alias{ai_distribution}
\alias{print.torvan_distribution}
\alias{format.torvan_distribution}
\alias{summary.torvan_distribution}
\alias{as.data.frame.torvan_distribution}
\alias{plot.torvan_distribution}
\title{Exact sampling distribution of the adverse impact ratio}
\description{
Computes, without simulation, every value the adverse impact (AI) ratio --
the majority selection rate over the minority selection rate -- can take when
the \code{nhire} best-scoring of \code{ntot} applicants are hired top-down,
with its probability, and what a researcher reads off the distribution.
}
\usage{
ai_distribution(ntot, nhire, esize, prop = NULL, method = "nested",
                minority = NULL, threads = NULL, alpha = 0.05, rows = TRUE,
                joint = FALSE)

\method{print}{torvan_distribution}(x, digits = 5L, ...)
\method{format}{torvan_distribution}(x, digits = 5L, ...)
\method{summary}{torvan_distribution}(object, ...)
\method{as.data.frame}{torvan_distribution}(x, ...)
\method{plot}{torvan_distribution}(x, ...)
}
\arguments{
  \item{ntot}{number of applicants, a whole number of at least 2.}
  \item{nhire}{number of hires, a whole number from 0 to \code{ntot}.}
  \item{esize}{mean predictor score of the minority group; majority scores are
    standard normal, minority scores normal with unit variance.}
  \item{prop}{proportion of minority applicants in the population, strictly
    between 0 and 1: the number of minority applicants is binomial. Not used
    (it may be left out, \code{NULL} or \code{NA}) when \code{minority} is
    given.}
  \item{method}{how the probabilities of a pool's hiring outcomes are
    computed. \code{"nested"}: the classic nested adaptive Gauss-Kronrod
    integration of each outcome, which reproduces the classic report digit for
    digit; its error is about 1e-9 relative on small problems and up to 5e-5
    on a few hundred applicants, and it may give up for a large positive
    \code{esize}. \code{"direct"}: one vector-valued integral per pool for all
    its outcomes, every probability to about 1e-11 relative, any
    \code{esize}, and far faster: the method for large pools and grids.}
  \item{minority}{\code{NULL} to mix over the binomial pool compositions, or
    the known number of minority applicants, 0 to \code{ntot}: that pool
    alone, and the table holds only its ratios.}
  \item{threads}{pool compositions computed at once; \code{NULL} uses every
    core of the machine. The results are the same, to the last digit, for
    every count.}
  \item{alpha}{significance level of the adverse impact rules' tests,
    strictly between 0 and 1.}
  \item{rows}{\code{FALSE}: the figures without the table, as the command
    line's \code{--rows none}. With the direct method no problem is then too
    large; a problem whose table would not fit in memory is refused with a
    message that says so.}
  \item{joint}{\code{TRUE}: also the joint distribution of the pool's
    minority applicants and the minority hires, with each rule's verdict on
    every outcome (the command line's \code{--format joint}).}
  \item{x, object}{a \code{torvan_distribution}.}
  \item{digits}{significant digits of the printed figures.}
  \item{...}{for \code{plot}, graphical parameters; else ignored.}
}
\details{
The distribution is the one the \code{torvan} command-line program computes,
digit for digit. A problem the program refuses (for example
\code{ntot = 1}) is an error of class \code{torvan_error} whose message is the
program's. When an integral cannot be accepted after the allowed retries, the
result has \code{completed = FALSE}, the reason, and no table, and a warning
says why. A pool whose direct integral missed its error bound gives a warning
(and an \code{accuracy_shortfall} event); its probabilities are used all the
same, as the command line does.

The library computes on a thread of its own while R waits for it; a user
interrupt (Ctrl-C, or Esc in the R GUI) stops the computation within a
fraction of a second, and no thread is left computing. A time limit set with
\code{setTimeLimit()} stops it likewise, as an error a caller can catch.
Progress, one step per pool composition, is reported through \pkg{progressr}
once asked for (\code{progressr::handlers(global = TRUE)}, or
\code{progressr::with_progress()}).

The adverse impact rules, each flagging the minority group only, for an
outcome with rates \eqn{r_1} (minority) and \eqn{r_0} (majority), and
\eqn{z = \Phi^{-1}(1 - \alpha / 2)}:
\describe{
  \item{\code{four_fifths}}{\eqn{r_1 < 0.8 r_0} (Uniform Guidelines, 29 CFR
    1607.4D), decided in integers.}
  \item{\code{four_fifths_one_person}}{the four-fifths rule still flags with
    one more minority hire.}
  \item{\code{z_test}}{two-proportion Z test with pooled variance,
    \eqn{Z \ge z}.}
  \item{\code{fisher_exact}}{Fisher's exact test, lower tail
    \eqn{\le \alpha / 2}.}
  \item{\code{z_ir}}{the impact-ratio Z test (Morris and Lobsenz, 2000).}
  \item{\code{four_fifths_and_z}, \code{four_fifths_not_z},
    \code{z_not_four_fifths}}{the four-fifths rule and the Z test together,
    or one without the other.}
}
No rule flags when nobody or everybody is hired or a group is absent from the
pool (\code{no_comparison}).
}
\value{
An object of class \code{torvan_distribution}, a list with
  \item{problem}{the values of the problem: \code{ntot}, \code{nhire},
    \code{esize}, \code{prop} (\code{NA} when not given) and \code{minority}
    (\code{NULL} for mixed pools).}
  \item{method, minority}{as given.}
  \item{completed}{whether the distribution was computed.}
  \item{reason}{why it was not, or \code{NA}.}
  \item{table}{a data frame, one row per value the ratio can take, ascending,
    the undefined ratio (no minority hire, or no applicant of one group) last:
    \code{ai} (\code{NA} on the undefined row), \code{defined},
    \code{probability}, \code{cumulative}; \code{NULL} with
    \code{rows = FALSE}.}
  \item{moments}{\code{mean}, \code{variance} and \code{sd} of the ratio given
    that it is defined (\code{NA} when no probability lands on a defined
    value).}
  \item{p_undefined}{the probability that the ratio is undefined.}
  \item{undefined}{that probability by its two causes:
    \code{no_minority_hired} and \code{group_absent}.}
  \item{p_above_1_25, p_below_0_8}{P(AI > 1.25), the minority's selection rate
    below four fifths of the majority's, and P(AI < 0.8); a value within 1e-9
    of a threshold counts as equal to it.}
  \item{percentiles}{\code{p5}, \code{p25}, \code{p50}, \code{p75} and
    \code{p95} of the ratio given that it is defined.}
  \item{adverse_impact}{the probabilities that the adverse impact rules flag
    the minority (see Details), with the level \code{alpha}:
    \code{alpha}, \code{no_comparison}, \code{four_fifths},
    \code{four_fifths_one_person}, \code{z_test}, \code{fisher_exact},
    \code{z_ir}, \code{four_fifths_and_z}, \code{four_fifths_not_z},
    \code{z_not_four_fifths}.}
  \item{skipped_pool_weight}{the total binomial weight of the pool
    compositions too improbable to be computed.}
  \item{skipped_outcome_weight}{with \code{rows = FALSE}, the direct method's
    total probability of the hiring outcomes too improbable to matter, left
    out of the figures; 0 with the table.}
  \item{events}{a data frame of what happened while the pools were integrated
    (an integrator's error number, an estimate accepted as 1, a missed error
    bound), one row per
    event: \code{kind}, \code{nmin}, \code{code}, \code{t}, \code{smin},
    \code{rmaj}, \code{stored}, \code{raw} (for an \code{accuracy_shortfall},
    the factor by which the error bound was missed).}
  \item{joint}{with \code{joint = TRUE}, a data frame with one row per
    outcome of non-zero probability: \code{minority_applicants},
    \code{minority_hires}, \code{probability}, \code{ai} (\code{NA} where
    undefined), and the verdicts \code{four_fifths},
    \code{four_fifths_one_person}, \code{z_test}, \code{fisher_exact},
    \code{z_ir}; else \code{NULL}.}
  \item{json}{the command line's JSON document (\code{--format json}, with
    \code{--rows none} when \code{rows = FALSE}), as one string.}
\code{print} shows a short summary, the lines of \code{format}, and returns
\code{x} invisibly. \code{summary} gives one row, the problem and its
figures under the column names of an \code{\link{ai_grid}} row;
\code{as.data.frame} the table. \code{plot} draws the chart of the command
line's \code{--plot}: the probability of each defined value (spikes, left
axis), the cumulative probability over every outcome (steps, right axis; it
ends at the probability that the ratio is defined), and the four-fifths
thresholds 0.8 and 1.25 (dashed); the axis is logarithmic, leaving out a
ratio of 0, when the positive values span more than two decades.
}
\seealso{\code{\link{ai_grid}} for many problems at once.}
\examples{
x <- ai_distribution(20, 5, -0.5, 0.3, threads = 1)
x
head(x$table)
summary(x)[, c("mean", "p50", "four_fifths", "z_test")]
plot(x)
x$moments
x$adverse_impact
ai_distribution(100, 20, -1, method = "direct", minority = 20, threads = 1)
ai_distribution(2000, 400, -0.5, 0.2, method = "direct", rows = FALSE)
j <- ai_distribution(12, 3, -0.5, 0.3, joint = TRUE, threads = 1)$joint
head(j[j$four_fifths, ])
}
