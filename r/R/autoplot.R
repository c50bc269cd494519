# The charts of plot() as ggplot2 objects, for users of ggplot2: registered
# as autoplot() methods only when ggplot2 is loaded (it is suggested, not
# imported), each returning the plot for the user to add layers to.

# The columns the charts map, which R CMD check would otherwise take for
# undefined globals.
utils::globalVariables(c("ai", "probability", "ntot", "value", "rule", "validity", "label",
                         "impact_ratio", "lower", "upper"))

autoplot.torvan_distribution <- function(object, ...) {
  if (is.null(object$table)) {
    refuse("no table to plot: the distribution was computed with rows = FALSE")
  }
  t <- object$table[object$table$defined, ]
  ggplot2::ggplot(t, ggplot2::aes(x = ai, y = probability)) +
    ggplot2::geom_segment(ggplot2::aes(xend = ai, yend = 0)) +
    ggplot2::geom_vline(xintercept = c(0.8, 1.25), linetype = "dashed", colour = "grey40") +
    ggplot2::labs(x = "AI ratio (majority rate / minority rate)", y = "probability",
                  title = sprintf("P(undefined) = %s", format(object$p_undefined, digits = 3)))
}

autoplot.torvan_plan <- function(object, ...) {
  rules <- object$found$rule
  long <- do.call(rbind, lapply(rules, function(r) {
    data.frame(ntot = object$rows$ntot, value = object$rows[[r]], rule = r)
  }))
  what <- if (object$false_positive) "false-positive rate" else "probability of flagging"
  ggplot2::ggplot(long, ggplot2::aes(x = ntot, y = value, colour = rule)) +
    ggplot2::geom_line() +
    ggplot2::geom_hline(yintercept = object$target, linetype = "dashed", colour = "grey40") +
    ggplot2::ylim(0, 1) +
    ggplot2::labs(x = "applicants (ntot)", y = what)
}

autoplot.torvan_design <- function(object, ...) {
  rule <- object$rule
  f <- data.frame(x = object$front[[rule]], validity = object$front$validity)
  names(f)[1] <- "probability"
  chart <- ggplot2::ggplot(f, ggplot2::aes(x = probability, y = validity)) +
    ggplot2::geom_line() + ggplot2::geom_point(size = 1) +
    ggplot2::labs(x = sprintf("probability that %s flags the minority", rule), y = "validity")
  if (nrow(object$compared) > 0L) {
    compared <- data.frame(probability = object$compared[[rule]],
                           validity = object$compared$validity, label = object$compared$name)
    chart <- chart + ggplot2::geom_point(data = compared, shape = 15, colour = "darkorange") +
      ggplot2::geom_text(ggplot2::aes(label = label), data = compared, hjust = -0.2)
  }
  if (!is.null(object$chosen)) {
    chosen <- data.frame(probability = object$chosen[[rule]], validity = object$chosen$validity)
    chart <- chart + ggplot2::geom_point(data = chosen, shape = 1, size = 4, colour = "darkgreen")
  }
  if (!is.null(object$max_risk)) {
    chart <- chart + ggplot2::geom_vline(xintercept = object$max_risk, linetype = "dashed",
                                         colour = "grey40")
  }
  chart
}

autoplot.torvan_audit <- function(object, ...) {
  t <- as.data.frame(object)
  ratio_chart(t$impact_ratio, t$impact_ratio_ci_lower, t$impact_ratio_ci_upper, "",
              "impact ratio (minority rate / majority rate)")
}

autoplot.torvan_audit_events <- function(object, ...) {
  t <- object$table
  ratio_chart(t$impact_ratio, t$impact_ratio_ci_lower, t$impact_ratio_ci_upper, t$event,
              "impact ratio (minority rate / majority rate)")
}

autoplot.torvan_audit_groups <- function(object, ...) {
  t <- as.data.frame(object)
  labels <- if (is.null(t$event)) t$group else paste(t$event, t$group, sep = ": ")
  ratio_chart(t$impact_ratio, t$impact_ratio_lower, t$impact_ratio_upper, labels,
              sprintf("impact ratio against %s", object$reference))
}

# Impact ratios with their intervals, one row each from the top, beside the
# four-fifths line.
ratio_chart <- function(ratio, low, high, labels, xlab) {
  t <- data.frame(impact_ratio = ratio, lower = low, upper = high,
                  label = factor(labels, levels = rev(unique(labels))))
  ggplot2::ggplot(t, ggplot2::aes(x = impact_ratio, y = label)) +
    ggplot2::geom_errorbarh(ggplot2::aes(xmin = lower, xmax = upper), height = 0.2,
                            na.rm = TRUE) +
    ggplot2::geom_point(na.rm = TRUE) +
    ggplot2::geom_vline(xintercept = 0.8, linetype = "dashed", colour = "grey40") +
    ggplot2::labs(x = xlab, y = NULL)
}
