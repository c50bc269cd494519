\name{ai_audit}
\alias{ai_audit}
\alias{ai_audit_events}
\alias{print.torvan_audit}
\alias{print.torvan_audit_events}
\alias{format.torvan_audit}
\alias{format.torvan_audit_events}
\alias{summary.torvan_audit}
\alias{summary.torvan_audit_events}
\alias{as.data.frame.torvan_audit}
\alias{as.data.frame.torvan_audit_events}
\alias{plot.torvan_audit}
\alias{plot.torvan_audit_events}
\title{Adverse impact audit of observed selections}
\description{
What an observed selection says: the usual adverse impact statistics of the
counts, each computed exactly, and the minority-majority difference on the
predictor that top-down selection from this pool implies, with an exact
confidence interval. \code{ai_audit_events} audits several events (years,
sites, job groups) one by one and together. The figures are those of the
command line's \code{torvan audit --format json}.
}
\usage{
ai_audit(n1, x, n0, y, alpha = 0.05)
ai_audit_events(events, alpha = 0.05)

\method{print}{torvan_audit}(x, ...)
\method{print}{torvan_audit_events}(x, ...)
\method{format}{torvan_audit}(x, ...)
\method{format}{torvan_audit_events}(x, ...)
\method{summary}{torvan_audit}(object, ...)
\method{summary}{torvan_audit_events}(object, ...)
\method{as.data.frame}{torvan_audit}(x, ...)
\method{as.data.frame}{torvan_audit_events}(x, ...)
\method{plot}{torvan_audit}(x, ...)
\method{plot}{torvan_audit_events}(x, ...)
}
\arguments{
  \item{n1}{minority applicants, a whole number.}
  \item{x}{minority hires, 0 to \code{n1}; for the methods, the audit.}
  \item{object}{the audit.}
  \item{n0}{majority applicants, a whole number (\code{n1 + n0} from 1 to
    100000).}
  \item{y}{majority hires, 0 to \code{n0}.}
  \item{alpha}{significance level of the tests, from 1e-12 up to (not including) 1; the
    intervals are at \code{1 - alpha}.}
  \item{events}{a data frame, one row per event, with the columns
    \code{minority_applicants}, \code{minority_hires},
    \code{majority_applicants}, \code{majority_hires} and optionally
    \code{event}, its name (else the row names).}
  \item{...}{for \code{plot}, graphical parameters; else ignored.}
}
\details{
Every test flags adverse impact against the minority only, with
\eqn{z = \Phi^{-1}(1 - \alpha / 2)}. For rates \eqn{r_1 = x / n_1},
\eqn{r_0 = y / n_0} and pooled rate \eqn{p}:
\describe{
  \item{\code{four_fifths}}{\eqn{r_1 < 0.8 r_0}, decided in integers
    (Uniform Guidelines, 29 CFR 1607.4D); \code{one_person_flags} with one
    more minority hire; \code{hires_to_pass} the fewest further minority
    hires after which it does not flag.}
  \item{\code{shortfall}}{\eqn{n_1 (x + y) / (n_1 + n_0) - x}.}
  \item{\code{z_test}}{the two-proportion Z test with pooled variance,
    \eqn{z < 0} when the minority's rate is lower; its square is
    \code{prop.test(correct = FALSE)}'s statistic.}
  \item{\code{fisher_exact}}{\code{p_lower} as \code{fisher.test(alternative
    = "less")}, \code{p_two_sided} as \code{fisher.test}, and Lancaster's
    mid-P.}
  \item{\code{z_ir}, \code{impact_ratio_ci}}{the impact-ratio Z test of
    Morris and Lobsenz (2000) and their interval for the impact ratio.}
  \item{\code{implied_esize}}{under the package's model (normal scores with
    unit variance, the minority's mean \code{esize} above the majority's, the
    \eqn{x + y} best hired): \code{mle} maximizes the probability of \eqn{x}
    minority hires; \code{lower} and \code{upper} solve
    \eqn{P(X' \ge x) = \alpha / 2} and \eqn{P(X' \le x) = \alpha / 2};
    \code{probit} is \eqn{\Phi^{-1}(r_1) - \Phi^{-1}(r_0)}.}
}
Across events: \code{mantel_haenszel}, the Mantel-Haenszel common odds
ratio (a minority applicant's odds of being hired over a majority
applicant's) with the Robins-Breslow-Greenland interval and the
Cochran-Mantel-Haenszel test without continuity correction, as
\code{mantelhaen.test(correct = FALSE)}; \code{common_implied_esize}, the
maximum-likelihood esize of all events together and the exact interval from
their total minority hires.

A figure that is undefined for the counts (nobody hired, a rate of 0 in a
logarithm, an unbounded end of an interval) is \code{NA}, with a string
\code{<name>_reason} beside it saying why. Counts the command line refuses
are an error of class \code{torvan_error} with its message.
\code{ai_audit_events} computes on a thread of its own; a user interrupt
stops it within a second, and a time limit (\code{setTimeLimit()}) with an
error a caller can catch.
}
\value{
\code{ai_audit}: a list of class \code{torvan_audit} with the command line's
JSON document's fields (\code{alpha}, \code{observed}, \code{rates},
\code{impact_ratio}, \code{ai}, \code{four_fifths}, \code{shortfall},
\code{z_test}, \code{fisher_exact}, \code{z_ir}, \code{impact_ratio_ci},
\code{implied_esize}, ...), nested lists for its objects, and \code{json},
the document itself as one string; \code{print} shows the command line's
page.

\code{ai_audit_events}: a list of class \code{torvan_audit_events} with
\code{events} (a list of \code{torvan_audit}, each with its \code{event}
name), \code{total}, \code{mantel_haenszel},
\code{common_implied_esize}, \code{table}, a data frame with one row per
event and one column per figure of its document, nested names joined by
underscores (\code{observed_minority_hires}, \code{z_test_p_lower},
\code{implied_esize_mle}, ...; \code{NA} where a figure has no value, its
\code{<name>_reason} column saying why), and \code{json}, the command line's
JSON document (\code{torvan audit --events --format json}).

\code{print} shows the command line's page, \code{format} its lines.
\code{as.data.frame} is one row of figures for an audit (the columns of
\code{table}) and \code{table} for events; \code{summary} the same for an
audit, and for events the columns \code{event}, \code{rates_minority},
\code{rates_majority}, \code{impact_ratio}, \code{impact_ratio_ci_lower},
\code{impact_ratio_ci_upper}, \code{four_fifths_flags},
\code{z_test_p_lower}, \code{fisher_exact_p_lower} and
\code{implied_esize_mle}. \code{plot} draws the impact ratio of each
selection with its \code{1 - alpha} interval beside the four-fifths line
(dashed at 0.8).
}
\seealso{\code{\link{ai_distribution}} for the distribution of the ratio
before the selection.}
\examples{
a <- ai_audit(50, 5, 150, 30)
a
a$fisher_exact$p_two_sided
a$implied_esize$mle
events <- data.frame(event = c("2023", "2024"), minority_applicants = c(50, 40),
                     minority_hires = c(5, 6), majority_applicants = c(150, 160),
                     majority_hires = c(30, 35))
e <- ai_audit_events(events)
e$mantel_haenszel$odds_ratio
e$common_implied_esize
e$table[, c("event", "impact_ratio", "z_test_p_lower", "fisher_exact_p_lower")]
summary(e)
plot(e)
}
