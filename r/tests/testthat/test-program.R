# The same seed and options give the program's numbers: its pairs table and
# its key figures, stored from a run of the program on the same file
# (bash scripts/r-package.sh expected).

test_that("the pairs and the key figures are the program's, from the file and from its data frame", {
  expected <- tarvo:::read_tsv(readChar(test_path("program", "cats_pairs.tsv"), 1e7, TRUE))
  figures <- tarvo:::read_tsv(readChar(test_path("program", "cats_summary.tsv"), 1e5, TRUE))
  for (x in list(cats, tarvo_read(cats, separator = "Pop"))) {
    expect_message(r <- tarvo_analyse(x, separator = "Pop", seed = 7, calibration_sets = 100,
                                      se_runs = 10, iterations = 2, level = 20, threads = 2),
                   "calibrating the match threshold")
    expect_identical(r$pairs, expected)
    expect_identical(r$key_figures, figures)
    expect_equal(r$summary$individuals, figures$individuals)
    expect_equal(r$summary$recaptures, figures$r_hat, tolerance = 1e-4)
  }
  expect_equal(length(unique(r$individuals$individual)), r$summary$individuals)
})

test_that("fast = TRUE gives the key figures of the program's --fast run", {
  figures <- tarvo:::read_tsv(readChar(test_path("program", "cats_fast_summary.tsv"), 1e5, TRUE))
  r <- tarvo_analyse(cats, separator = "Pop", seed = 7, calibration_sets = 100, se_runs = 10,
                     iterations = 2, level = 20, threads = 2, fast = TRUE, verbose = FALSE)
  expect_identical(r$key_figures, figures)
  expect_true(r$settings$fast)
  expect_output(print(summary(r)), "Draws: +--fast \\(counter-based streams")
})
