\name{torvan-package}
\alias{torvan-package}
\alias{torvan}
\docType{package}
\title{Exact sampling distribution of the adverse impact ratio}
\description{
The adverse impact (AI) ratio of a hiring decision is the majority selection
rate over the minority selection rate. When \code{nhire} of \code{ntot}
applicants are hired top-down on a predictor on which the minority group's
mean is \code{esize} standard deviations from the majority's, and the number
of minority applicants is binomial with probability \code{prop}, the package
computes the ratio's exact distribution and the probabilities that the usual
adverse impact rules flag the minority group: it mixes over the pool
compositions and integrates over normal order statistics, as the
\code{torvan} command-line program does, through the same library.

\code{\link{ai_distribution}} computes one problem, \code{\link{ai_grid}} a
data frame of them with the parallel back-ends of the \pkg{future} framework,
\code{\link{ai_plan}} every rule's probability of flagging over a range of
pool sizes, and \code{\link{ai_audit}} and \code{\link{ai_audit_events}}
audit observed selections.
}
\examples{
# 100 applicants, a fifth of them from the minority, whose mean predictor
# score is one standard deviation lower; the best 20 are hired.
x <- ai_distribution(100, 20, -1, 0.2, method = "direct")
x$adverse_impact[c("four_fifths", "z_test", "fisher_exact")]

# The pool sizes at which the Z test flags such a selection four times in five.
ai_plan(-0.5, seq(50, 500, by = 50), prop = 0.2, selection_ratio = 0.2,
        rule = "z_test")

# What an observed selection says.
ai_audit(20, 2, 80, 18)
}
