# The result of an analysis: the program's tables as data frames, and its
# summary block, printed in the program's own words.

summary.tarvo_result <- function(object, ...) {
  structure(object$summary, class = "summary.tarvo_result")
}

print.summary.tarvo_result <- function(x, ...) {
  line <- function(label, value) sprintf("  %-24s%s", label, value)
  se <- if (is.na(x$se)) "s.e. not simulated" else sprintf("s.e. %.2f", x$se)
  cat("Summary",
      line("Samples read:", x$samples),
      line("Populations:", x$populations),
      line("Level:", sprintf("'-z %2d' (V=%5.3f false positives), %s", x$level,
                             x$false_positives, x$search)),
      line("Accepted pairs:", x$accepted_pairs),
      line("Individuals:", x$individuals),
      line("Corrected recaptures:", sprintf("%.2f (%s)", x$recaptures, se)), sep = "\n")
  if (isTRUE(x$fast))
    cat(line("Draws:", "--fast (counter-based streams, not the default draws)"), sep = "\n")
  invisible(x)
}

print.tarvo_result <- function(x, ...) {
  print(summary(x))
  accepted <- x$pairs[x$pairs$accepted == 1, c("sample_1", "sample_2", "llr")]
  if (nrow(accepted) > 0) {
    cat("\nAccepted pairs (", nrow(accepted), "):\n", sep = "")
    print(utils::head(accepted, 10), row.names = FALSE)
  }
  cat("\nTables: $pairs $individuals $levels $populations $loci\n")
  invisible(x)
}

# The corrected recaptures of every level against its false positives, with
# the simulated estimates and their standard errors where the search tried a
# level; or, with which = "pairs", the score of every stored pair.
plot.tarvo_result <- function(x, which = c("levels", "pairs"), ...) {
  which <- match.arg(which)
  if (which == "pairs") return(plot_pairs(x, ...))
  l <- x$levels
  plot(l$false_positives, l$r_hat, log = "x", type = "b", pch = 20,
       xlab = "false positives accepted (V)", ylab = "corrected recaptures", ...)
  tried <- !is.na(l$sim_se)
  if (any(tried)) {
    points(l$false_positives[tried], l$sim_r_hat[tried], pch = 1, col = "blue")
    arrows(l$false_positives[tried], l$sim_r_hat[tried] - l$sim_se[tried],
           l$false_positives[tried], l$sim_r_hat[tried] + l$sim_se[tried],
           angle = 90, code = 3, length = 0.03, col = "blue")
  }
  abline(v = l$false_positives[l$chosen == 1], lty = 2)
  legend("topleft", c("from the data", "simulated, +/- s.e.", "level chosen"), bty = "n",
         pch = c(20, 1, NA), lty = c(1, NA, 2), col = c("black", "blue", "black"))
  invisible(x)
}

plot_pairs <- function(x, ...) {
  p <- x$pairs
  if (nrow(p) == 0) stop("no pair was stored", call. = FALSE)
  plot(p$rank, p$llr, pch = ifelse(p$accepted == 1, 19, 1), xlab = "pair, by score",
       ylab = "log-likelihood ratio", ...)
  legend("topright", c("accepted", "not accepted"), pch = c(19, 1), bty = "n")
  invisible(x)
}
