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
data frame of them with the parallel back-ends of the \pkg{future} framework.
}
