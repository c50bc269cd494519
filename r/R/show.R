# What the results show of themselves: format() (the lines print() writes),
# summary(), as.data.frame() and plot(), for the distribution, the plan, the
# audit, the audit of events, the design and the audit of groups. The charts
# are base graphics, drawn as the command line's --plot draws the
# distribution, the plan and the design.

print.torvan_distribution <- function(x, digits = 5L, ...) {
  cat(format(x, digits = digits), sep = "\n")
  invisible(x)
}

format.torvan_distribution <- function(x, digits = 5L, ...) {
  p <- x$problem
  pool <- if (is.null(x$minority)) paste("prop =", format(p$prop)) else {
    paste("minority =", x$minority)
  }
  head <- sprintf("Adverse impact ratio, %s method: ntot = %d, nhire = %d, esize = %s, %s",
                  x$method, p$ntot, p$nhire, format(p$esize), pool)
  if (!x$completed) return(c(head, paste("Not computed:", x$reason)))
  f <- function(v) format(unname(v), digits = digits)
  table <- if (is.null(x$table)) "Figures without the table (rows = FALSE)" else {
    sprintf("%s the ratio can take, %d of them defined", counted(nrow(x$table), "value"),
            sum(x$table$defined))
  }
  m <- x$moments
  q <- x$percentiles
  u <- x$undefined
  a <- x$adverse_impact
  c(head, table,
    sprintf("Given that it is defined: mean %s, sd %s, variance %s", f(m["mean"]), f(m["sd"]),
            f(m["variance"])),
    sprintf("  percentiles: 5%% %s, 25%% %s, 50%% %s, 75%% %s, 95%% %s", f(q["p5"]),
            f(q["p25"]), f(q["p50"]), f(q["p75"]), f(q["p95"])),
    sprintf("P(undefined) %s (no minority hired %s, a group absent %s)", f(x$p_undefined),
            f(u["no_minority_hired"]), f(u["group_absent"])),
    sprintf("P(AI > 1.25) %s, P(AI < 0.8) %s", f(x$p_above_1_25), f(x$p_below_0_8)),
    sprintf("Rules flagging the minority (alpha %s): four-fifths %s, one person %s,",
            format(a["alpha"]), f(a["four_fifths"]), f(a["four_fifths_one_person"])),
    sprintf("  Z test %s, Fisher exact %s, Z_IR %s", f(a["z_test"]), f(a["fisher_exact"]),
            f(a["z_ir"])),
    if (nrow(x$events) > 0L) {
      sprintf("%s during the computation (see $events)",
              counted(nrow(x$events), "integration event"))
    })
}

# One row: the problem and its figures, with the columns of an ai_grid() row.
summary.torvan_distribution <- function(object, ...) {
  x <- object
  p <- x$problem
  shortfalls <- if (x$completed) sum(x$events$kind == "accuracy_shortfall") else NA_real_
  figures <- grid_figures(x, x$skipped_pool_weight, x$skipped_outcome_weight, shortfalls)
  cbind(data.frame(ntot = p$ntot, nhire = p$nhire, esize = p$esize, prop = p$prop,
                   minority = if (is.null(x$minority)) NA_integer_ else x$minority,
                   method = x$method, alpha = unname(x$adverse_impact["alpha"]),
                   completed = x$completed),
        as.data.frame(as.list(figures)), error = x$reason)
}

# The table: one row per value the ratio can take.
as.data.frame.torvan_distribution <- function(x, ...) {
  if (is.null(x$table)) refuse("no table: the distribution was computed with rows = FALSE")
  x$table
}

# The probability of each defined value (spikes, left axis), the cumulative
# probability over every outcome (steps, right axis; it ends at the
# probability that the ratio is defined), the four-fifths thresholds 0.8 and
# 1.25 dashed, and P(undefined) in the title. The axis is logarithmic when
# the positive values span more than two decades; a value of 0 is then left
# out of the spikes.
plot.torvan_distribution <- function(x, ...) {
  if (is.null(x$table)) refuse("no table to plot: the distribution was computed with rows = FALSE")
  t <- x$table[x$table$defined, ]
  positive <- t$ai[t$ai > 0]
  log_axis <- length(positive) > 0L && max(positive) / min(positive) > 100
  if (log_axis) t <- t[t$ai > 0, ]
  p <- x$problem
  old <- graphics::par(mar = c(5, 4, 4, 4) + 0.1)
  on.exit(graphics::par(old))
  graphics::plot(t$ai, t$probability, type = "h", log = if (log_axis) "x" else "",
                 xlab = "AI ratio (majority rate / minority rate)", ylab = "probability",
                 main = sprintf("ntot = %d, nhire = %d, esize = %s: P(undefined) = %s", p$ntot,
                                p$nhire, format(p$esize), format(x$p_undefined, digits = 3)),
                 ...)
  graphics::abline(v = c(0.8, 1.25), lty = 2, col = "grey40")
  top <- graphics::par("usr")[4]
  graphics::lines(t$ai, cumsum(t$probability) * top, type = "s", col = "steelblue")
  graphics::axis(4, at = seq(0, 1, 0.25) * top, labels = seq(0, 1, 0.25))
  graphics::mtext("cumulative probability", side = 4, line = 3)
  invisible(x)
}

print.torvan_plan <- function(x, ...) {
  cat(format(x), sep = "\n")
  invisible(x)
}

format.torvan_plan <- function(x, ...) {
  sizes <- x$rows$ntot
  what <- if (x$false_positive) "false-positive rate" else "probability of flagging"
  range <- if (length(sizes) == 1L) sprintf("1 pool size, %d", sizes) else {
    sprintf("%d pool sizes from %d to %d", length(sizes), min(sizes), max(sizes))
  }
  missing <- sum(!x$rows$completed)
  c(sprintf("Adverse impact plan: %s; each rule's %s", range, what),
    if (missing > 0L) {
      sprintf("%s could not be computed (see $rows$error)", counted(missing, "size"))
    },
    sprintf("Sizes that reach the target %s (first; stays to the end), NA: not reached",
            format(x$target)),
    utils::capture.output(print(x$found, row.names = FALSE)))
}

# The sizes that reach the target, one row per rule.
summary.torvan_plan <- function(object, ...) object$found

# The rows: one per pool size.
as.data.frame.torvan_plan <- function(x, ...) x$rows

# Each rule's probability over the sizes, one line a rule, and the target.
plot.torvan_plan <- function(x, ...) {
  rules <- x$found$rule
  what <- if (x$false_positive) "false-positive rate" else "probability of flagging"
  graphics::matplot(x$rows$ntot, as.matrix(x$rows[rules]), type = "l", lty = 1,
                    col = seq_along(rules), ylim = c(0, 1), xlab = "applicants (ntot)",
                    ylab = what, ...)
  graphics::abline(h = x$target, lty = 2, col = "grey40")
  graphics::legend("bottomright", legend = rules, col = seq_along(rules), lty = 1, bty = "n",
                   cex = 0.8)
  invisible(x)
}

print.torvan_audit <- function(x, ...) {
  cat(attr(x, "page"))
  invisible(x)
}

print.torvan_audit_events <- function(x, ...) {
  cat(attr(x, "page"))
  invisible(x)
}

# The command line's page, one element a line.
format.torvan_audit <- function(x, ...) strsplit(attr(x, "page"), "\n", fixed = TRUE)[[1]]
format.torvan_audit_events <- format.torvan_audit

# One row, the document's figures under their joined names, as a row of
# ai_audit_events()'s table.
as.data.frame.torvan_audit <- function(x, ...) {
  event_rows(list(unclass(x)[names(x) != "json"]))
}
summary.torvan_audit <- function(object, ...) as.data.frame(object)

# The table: one row per event.
as.data.frame.torvan_audit_events <- function(x, ...) x$table

# Per event: the rates, the impact ratio and its interval, what each test says.
summary.torvan_audit_events <- function(object, ...) {
  object$table[c("event", "rates_minority", "rates_majority", "impact_ratio",
                 "impact_ratio_ci_lower", "impact_ratio_ci_upper", "four_fifths_flags",
                 "z_test_p_lower", "fisher_exact_p_lower", "implied_esize_mle")]
}

# The impact ratio of each selection with its 1 - alpha interval, beside the
# four-fifths line: a ratio left of 0.8 is flagged by the rule.
plot.torvan_audit <- function(x, ...) {
  impact_ratio_chart(as.data.frame(x), "", ...)
  invisible(x)
}

plot.torvan_audit_events <- function(x, ...) {
  impact_ratio_chart(x$table, x$table$event, ...)
  invisible(x)
}

impact_ratio_chart <- function(t, labels, ...) {
  n <- nrow(t)
  at <- rev(seq_len(n))
  ends <- c(t$impact_ratio_ci_lower, t$impact_ratio_ci_upper, t$impact_ratio, 0.8, 1)
  graphics::plot(t$impact_ratio, at, xlim = range(ends, na.rm = TRUE), ylim = c(0.5, n + 0.5),
                 pch = 19, yaxt = "n", ylab = "",
                 xlab = sprintf("impact ratio (minority rate / majority rate), %s%% interval",
                                format(100 * t$impact_ratio_ci_level[1])), ...)
  graphics::segments(t$impact_ratio_ci_lower, at, t$impact_ratio_ci_upper, at)
  graphics::abline(v = 0.8, lty = 2, col = "grey40")
  graphics::axis(2, at = at, labels = labels, las = 1, tick = FALSE)
}

# ---- Designs ----------------------------------------------------------------

format.torvan_design <- function(x, ...) {
  f <- x$front
  n <- nrow(f)
  c(sprintf("Composite design: %d points of the front, validity %.4f to %.4f", n,
            f$validity[1L], f$validity[n]),
    utils::capture.output(print(f[, c("validity", "esize", "population_impact_ratio",
                                      x$rule)], row.names = FALSE)),
    sprintf("Chosen: %s", x$chosen_reason))
}

# The front's ends, the compared composites and the chosen one, a row each.
summary.torvan_design <- function(object, ...) {
  columns <- c("validity", "esize", "population_impact_ratio", object$rule)
  f <- object$front
  ends <- cbind(point = c("least adverse", "most valid"), f[c(1L, nrow(f)), columns])
  compared <- if (nrow(object$compared) > 0L) {
    cbind(point = object$compared$name, object$compared[columns])
  }
  chosen <- if (!is.null(object$chosen)) cbind(point = "chosen", object$chosen[columns])
  out <- rbind(ends, compared, chosen)
  rownames(out) <- NULL
  out
}

# The front: one row per point.
as.data.frame.torvan_design <- function(x, ...) x$front

# Validity against the rule's exact probability of flagging the minority, as
# the command line's --plot draws it: the front as a line with its points,
# the compared composites as squares with their names, the chosen one
# ringed, and max_risk as a dashed vertical line.
plot.torvan_design <- function(x, ...) {
  rule <- x$rule
  f <- x$front
  points <- rbind(f[c(rule, "validity")], x$compared[c(rule, "validity")])
  graphics::plot(f[[rule]], f$validity, type = "o", pch = 19, cex = 0.6,
                 xlim = range(points[[rule]], x$max_risk), ylim = range(points$validity),
                 xlab = sprintf("probability that %s flags the minority", rule),
                 ylab = "validity", ...)
  if (nrow(x$compared) > 0L) {
    graphics::points(x$compared[[rule]], x$compared$validity, pch = 15, col = "darkorange")
    graphics::text(x$compared[[rule]], x$compared$validity, x$compared$name, pos = 4,
                   cex = 0.8)
  }
  if (!is.null(x$chosen)) {
    graphics::points(x$chosen[[rule]], x$chosen$validity, cex = 2, col = "darkgreen")
  }
  if (!is.null(x$max_risk)) graphics::abline(v = x$max_risk, lty = 2, col = "grey40")
  invisible(x)
}

# ---- Audits of groups -------------------------------------------------------

format.torvan_audit_groups <- format.torvan_audit

# One row per group (per event and group for events): the counts, the rate,
# the impact ratio against the reference and its interval, whether the
# four-fifths rule flags it, and Fisher's exact p (Holm-adjusted).
as.data.frame.torvan_audit_groups <- function(x, ...) {
  one <- function(groups, event) {
    rows <- lapply(groups, function(g) {
      v <- g$versus_reference
      pair <- is.list(v)
      number <- function(value) if (is.null(value)) NA_real_ else as.double(value)
      data.frame(group = g$group, applicants = g$applicants, hires = g$hires, rate = g$rate,
                 impact_ratio = number(g$impact_ratio),
                 impact_ratio_lower = if (pair) number(v$impact_ratio_ci$lower) else NA_real_,
                 impact_ratio_upper = if (pair) number(v$impact_ratio_ci$upper) else NA_real_,
                 four_fifths_flags = isTRUE(g$four_fifths$flags),
                 fisher_p_lower_holm = if (pair) {
                   number(v$fisher_exact$p_lower_holm)
                 } else NA_real_,
                 stringsAsFactors = FALSE)
    })
    out <- do.call(rbind, rows)
    if (!is.null(event)) out <- cbind(event = event, out)
    out
  }
  if (is.null(x$events)) return(one(x$groups, NULL))
  out <- do.call(rbind, lapply(x$events, function(e) one(e$groups, e$event)))
  rownames(out) <- NULL
  out
}

summary.torvan_audit_groups <- function(object, ...) as.data.frame(object)

# Each group's impact ratio against the reference with its interval, beside
# the four-fifths line.
plot.torvan_audit_groups <- function(x, ...) {
  t <- as.data.frame(x)
  labels <- if (is.null(t$event)) t$group else paste(t$event, t$group, sep = ": ")
  n <- nrow(t)
  at <- rev(seq_len(n))
  ends <- c(t$impact_ratio_lower, t$impact_ratio_upper, t$impact_ratio, 0.8, 1)
  graphics::plot(t$impact_ratio, at, xlim = range(ends, na.rm = TRUE), ylim = c(0.5, n + 0.5),
                 pch = 19, yaxt = "n", ylab = "",
                 xlab = sprintf("impact ratio against %s, %s%% interval", x$reference,
                                format(100 * (1 - x$alpha))), ...)
  graphics::segments(t$impact_ratio_lower, at, t$impact_ratio_upper, at)
  graphics::abline(v = 0.8, lty = 2, col = "grey40")
  graphics::axis(2, at = at, labels = labels, las = 1, tick = FALSE)
  invisible(x)
}
