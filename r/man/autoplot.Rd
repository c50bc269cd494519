\name{autoplot.torvan}
\alias{autoplot.torvan_distribution}
\alias{autoplot.torvan_plan}
\alias{autoplot.torvan_design}
\alias{autoplot.torvan_audit}
\alias{autoplot.torvan_audit_events}
\alias{autoplot.torvan_audit_groups}
\title{The results' charts as ggplot2 plots}
\description{
For users of \pkg{ggplot2} (suggested, not required): the charts that
\code{plot()} draws, as \code{ggplot} objects to add layers to. The methods
are registered when \pkg{ggplot2} is loaded.
}
\usage{
\method{autoplot}{torvan_distribution}(object, ...)
\method{autoplot}{torvan_plan}(object, ...)
\method{autoplot}{torvan_design}(object, ...)
\method{autoplot}{torvan_audit}(object, ...)
\method{autoplot}{torvan_audit_events}(object, ...)
\method{autoplot}{torvan_audit_groups}(object, ...)
}
\arguments{
  \item{object}{a result of \code{\link{ai_distribution}}, \code{\link{ai_plan}},
    \code{\link{ai_design}}, \code{\link{ai_audit}}, \code{\link{ai_audit_events}}
    or \code{\link{ai_audit_groups}}.}
  \item{...}{ignored.}
}
\value{
A \code{ggplot}: a distribution's probabilities as spikes with the
four-fifths thresholds 0.8 and 1.25; a plan's rules against the pool size
with the target; a design's front of validity against the rule's exact
probability of flagging, the compared and chosen composites and
\code{max_risk}; the impact ratios of audits, events and groups with their
intervals beside the four-fifths line.
}
\examples{
if (requireNamespace("ggplot2", quietly = TRUE)) {
  ggplot2::autoplot(ai_audit(50, 5, 150, 30))
}
}
