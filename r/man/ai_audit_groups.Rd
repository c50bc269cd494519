\name{ai_audit_groups}
\alias{ai_audit_groups}
\alias{print.torvan_audit_groups}
\alias{format.torvan_audit_groups}
\alias{summary.torvan_audit_groups}
\alias{as.data.frame.torvan_audit_groups}
\alias{plot.torvan_audit_groups}
\title{Adverse impact audit of several groups}
\description{
Every group against a reference group - by default the one with the highest
selection rate (ties: the larger group) - each comparison the two-group audit
of \code{\link{ai_audit}} with Holm-adjusted p-values (\code{<p>_holm})
across the comparisons, and the tests of equal selection rates in all
groups: Pearson's chi-square and the exact Freeman-Halton test of the
k x 2 table (\code{NA} with a reason when it would take more than a few
seconds). With an \code{event} column, each event is audited against the
same reference, then each group against it across the events. The figures
are those of the command line's \code{torvan audit --groups --format json}.
}
\usage{
ai_audit_groups(groups, reference = NULL, alpha = 0.05)

\method{print}{torvan_audit_groups}(x, ...)
\method{format}{torvan_audit_groups}(x, ...)
\method{summary}{torvan_audit_groups}(object, ...)
\method{as.data.frame}{torvan_audit_groups}(x, ...)
\method{plot}{torvan_audit_groups}(x, ...)
}
\arguments{
  \item{groups}{a data frame, one row per group, with the columns
    \code{group} (its name), \code{applicants} and \code{hires}, and
    optionally \code{event}.}
  \item{reference}{the name of the group the others are compared with;
    \code{NULL} for the highest selection rate.}
  \item{alpha}{significance level of the tests, strictly between 0 and 1; the
    intervals are at \code{1 - alpha}.}
  \item{x, object}{the audit.}
  \item{...}{for \code{plot}, graphical parameters; else ignored.}
}
\value{
A list of class \code{torvan_audit_groups}: the command line's JSON document
(\code{reference}, \code{reference_why}, \code{groups}, \code{overall}; or
with events \code{events} and \code{across_events}), JSON null as \code{NA}
with \code{<name>_reason} beside it. Printing shows the command line's page;
\code{format} gives its lines. \code{as.data.frame} and \code{summary} give
one row per group (with events, per event and group): \code{group},
\code{applicants}, \code{hires}, \code{rate}, \code{impact_ratio} with
its interval \code{impact_ratio_lower} and \code{impact_ratio_upper},
\code{four_fifths_flags} and \code{fisher_p_lower_holm}. \code{plot}
draws each impact ratio with its interval beside the four-fifths line.
}
\examples{
g <- ai_audit_groups(data.frame(group = c("A", "B", "C"),
                                applicants = c(100, 80, 60), hires = c(40, 20, 18)))
g$reference
g$overall$exact$p
as.data.frame(g)
plot(g)
}
