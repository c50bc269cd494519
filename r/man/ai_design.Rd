\name{ai_design}
\alias{ai_design}
\alias{print.torvan_design}
\alias{format.torvan_design}
\alias{summary.torvan_design}
\alias{as.data.frame.torvan_design}
\alias{plot.torvan_design}
\title{The exact front of composite predictors: validity against the risk of being flagged}
\description{
Weighs predictors into composites: the exact front of the most valid
composites, equally spaced in the composite's esize from the least adverse
composite to the most valid one, each with its weights, validity, esize,
population impact ratio and the exact probability that each adverse impact
rule flags the minority when the best of \code{ntot} applicants are hired
top-down (the figures of \code{\link{ai_distribution}} for that esize).
The same computation as \code{torvan design} on the command line.
}
\usage{
ai_design(predictors, correlations, ntot, nhire = NULL, selection_ratio = NULL,
          prop = NULL, minority = NULL, matrix = "within", weights = "nonnegative",
          points = 21, max_risk = NULL, rule = "four_fifths",
          min_impact_ratio = NULL, compare = NULL, alpha = 0.05,
          method = "direct", threads = NULL)

\method{print}{torvan_design}(x, ...)
\method{format}{torvan_design}(x, ...)
\method{summary}{torvan_design}(object, ...)
\method{as.data.frame}{torvan_design}(x, ...)
\method{plot}{torvan_design}(x, ...)
}
\arguments{
  \item{predictors}{a data frame with the columns \code{name}, \code{validity}
    and either \code{d} (the majority's mean less the minority's, as
    meta-analyses tabulate it) or \code{esize} (the opposite sign).}
  \item{correlations}{the intercorrelation matrix (a matrix or data frame);
    with row and column names it is matched to the predictors by name, in any
    order, otherwise taken in the predictors' order.}
  \item{ntot}{applicants in the pool.}
  \item{nhire}{hires, from 1 to \code{ntot}. Give this or \code{selection_ratio}.}
  \item{selection_ratio}{\code{nhire = round(selection_ratio * ntot)}, at least 1.}
  \item{prop}{binomial pools: the proportion of minority applicants. Give this
    or \code{minority}.}
  \item{minority}{a known pool of this many minority applicants.}
  \item{matrix}{\code{"within"}: within-group correlations and esizes (the
    program's model); \code{"overall"}: a matrix of the whole applicant
    population, each d converted to a point-biserial correlation at the
    minority share and back.}
  \item{weights}{\code{"nonnegative"} or \code{"free"}.}
  \item{points}{points of the front.}
  \item{max_risk}{choose the most valid composite that \code{rule} flags with
    probability at most this.}
  \item{rule}{the rule of \code{max_risk}: \code{"four_fifths"},
    \code{"four_fifths_one_person"}, \code{"z_test"}, \code{"fisher_exact"},
    \code{"z_ir"} or \code{"four_fifths_and_z"}.}
  \item{min_impact_ratio}{choose the most valid composite whose population
    impact ratio is at least this.}
  \item{compare}{a named list of weight vectors in the predictors' order to
    evaluate too; \code{NULL} entries name the built-ins \code{unit} and
    \code{regression}.}
  \item{alpha}{significance level of the rules' tests.}
  \item{method}{\code{"direct"} (the default) or \code{"nested"}.}
  \item{threads}{threads each problem is computed on; every core by default.
    The figures do not depend on it.}
  \item{x, object}{a design.}
  \item{...}{for \code{plot}, graphical parameters; else ignored.}
}
\value{
A list of class \code{torvan_design}: \code{front}, a data frame with one row
per point (\code{validity}, \code{esize}, \code{population_impact_ratio},
\code{population_ai}, \code{p_undefined}, \code{p_above_1_25}, one column per
rule and \code{weight_NAME} per predictor, the weights' absolute values
summing to 1); \code{compared}, the same for the compared weights with their
\code{name}; \code{chosen}, a one-row data frame or \code{NULL};
\code{chosen_reason}; \code{rule} and \code{max_risk} as given; and
\code{json}, the command line's document as text.

\code{format} gives the lines \code{print} writes; \code{summary} a data
frame of the front's two ends, the compared composites and the chosen one;
\code{as.data.frame} the front; \code{plot} draws validity against the
rule's exact probability of flagging the minority, as \code{torvan design
--plot} does: the front as a line, the compared composites as named
squares, the chosen one ringed and \code{max_risk} dashed.
}
\seealso{\code{\link{ai_plan}}, \code{\link{ai_distribution}}}
\examples{
predictors <- data.frame(name = c("GMA", "SI", "C"), validity = c(0.52, 0.48, 0.22),
                         d = c(0.72, 0.39, -0.09))
r <- matrix(c(1, 0.31, 0.03, 0.31, 1, 0.13, 0.03, 0.13, 1), 3,
            dimnames = list(predictors$name, predictors$name))
d <- ai_design(predictors, r, ntot = 200, nhire = 20, prop = 0.15, points = 5,
               max_risk = 0.5, compare = list(unit = NULL))
d
d$chosen
summary(d)
plot(d)
}
