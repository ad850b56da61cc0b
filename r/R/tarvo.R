# Reading, analysing and the panel power: every input goes to the library as
# a file or as a GenAlEx text, so a data frame is read by the same reader and
# refused with the same message as a file.

tarvo_read <- function(x, separator = "POP", min_population = NULL) {
  options <- run_options(separator = separator, min_population = min_population)
  r <- run(x, options, "read", verbose = FALSE)
  genotypes_frame(r$sample, r$population, r$alleles, r$loci)
}

tarvo_analyse <- function(x, error = 0.01, seed = NULL, threads = NULL, fast = FALSE,
                          retype_error = error, calibration_sets = 200, se_runs = 100,
                          iterations = 10, level = 6,
                          min_population = NULL, separator = "POP",
                          mask_resampling = 1, verbose = TRUE) {
  if (is.null(seed)) seed <- floor(stats::runif(1, 0, 2^32))
  options <- run_options(separator, min_population, error, retype_error, calibration_sets,
                         se_runs, iterations, level, mask_resampling, seed, threads, fast)
  r <- run(x, options, "analyse", verbose)
  if (isTRUE(r$unusable))
    stop(tarvo_condition("Due to all alleles in at least one loci having all missing values"))
  tsv <- function(text) read_tsv(text)
  structure(list(pairs = tsv(r$pairs), individuals = tsv(r$individuals),
                 groups = tsv(r$groups), key_figures = tsv(r$key_figures),
                 levels = tsv(r$levels), populations = tsv(r$populations),
                 loci = tsv(r$loci), summary = r$summary,
                 settings = options[setdiff(names(options), "create_only")]),
            class = "tarvo_result")
}

tarvo_power <- function(x, separator = "POP", min_population = NULL) {
  options <- run_options(separator = separator, min_population = min_population)
  read_tsv(run(x, options, "power", verbose = FALSE)$loci)
}

# The program's options by name, checked against the program's ranges.
run_options <- function(separator = "POP", min_population = NULL, error = 0.01,
                        retype_error = error, calibration_sets = 200, se_runs = 100,
                        iterations = 10, level = 6, mask_resampling = 1, seed = 1,
                        threads = NULL, fast = FALSE) {
  within <- function(value, low, high) {
    name <- deparse(substitute(value))
    if (!is.numeric(value) || length(value) != 1 || is.na(value) || value < low || value > high)
      stop(sprintf("%s must be a number from %s to %s", name, format(low, scientific = FALSE),
                   format(high, scientific = FALSE)),
           call. = FALSE)
    value
  }
  within(error, 1e-4, 0.2)
  within(retype_error, 1e-4, 0.2)
  within(calibration_sets, 100, 1000)
  within(se_runs, 10, 10000)
  within(iterations, 0, 10)
  first <- if (calibration_sets == 1000) 0 else 1
  within(level, first, first + 49)
  within(mask_resampling, 0, 2)
  within(seed, 0, 2^32 - 1)
  if (!is.null(min_population)) within(min_population, 3, .Machine$integer.max)
  if (!is.null(threads)) within(threads, 1, 1024)
  if (!is.character(separator) || length(separator) != 1 || !nzchar(separator))
    stop("separator must be one word", call. = FALSE)
  if (!is.logical(fast) || length(fast) != 1 || is.na(fast))
    stop("fast must be TRUE or FALSE", call. = FALSE)
  # Decimal options go in as the program holds them, in ten-thousandths.
  list(separator = separator, min_population = as.integer(if (is.null(min_population)) 0
                                                          else min_population),
       error = round(error * 1e4) / 1e4, retype_error = round(retype_error * 1e4) / 1e4,
       calibration_sets = as.integer(calibration_sets), se_runs = as.integer(se_runs),
       iterations = as.integer(iterations), level = as.integer(level - first),
       masks = as.integer(mask_resampling), seed = floor(seed),
       threads = as.integer(if (is.null(threads)) 0 else threads), fast = fast,
       create_only = FALSE)
}

run <- function(x, options, what, verbose) {
  if (is.character(x) && length(x) == 1) {
    path <- path.expand(x)
    if (!file.exists(path) || dir.exists(path))
      stop(tarvo_condition(sprintf("cannot open '%s'", x)))
    r <- tarvo_run(path, TRUE, options, what, verbose)
  } else {
    r <- tarvo_run(genalex_text(as_genotypes(x)), FALSE, options, what, verbose)
  }
  if (!is.null(r$error)) stop(tarvo_condition(r$error, r$code))
  r
}

tarvo_condition <- function(message, code = NA_integer_) {
  structure(class = c("tarvo_error", "error", "condition"),
            list(message = trimws(message), call = NULL, code = code))
}

read_tsv <- function(text) {
  read.delim(text = text, quote = "\"", na.strings = "NA", stringsAsFactors = FALSE,
             check.names = FALSE, comment.char = "")
}
