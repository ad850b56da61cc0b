# The same seed and options give the program's numbers: its pairs table and
# its summary block, stored from a run of the program on the same file
# (bash scripts/r-package.sh expected).

test_that("the pairs and the summary are the program's, from the file and from its data frame", {
  expected <- tarvo:::read_tsv(readChar(test_path("program", "cats_pairs.tsv"), 1e7, TRUE))
  summary_block <- readLines(test_path("program", "cats_summary.txt"))
  for (x in list(cats, tarvo_read(cats, separator = "Pop"))) {
    expect_message(r <- tarvo_analyse(x, separator = "Pop", seed = 7, calibration_sets = 100,
                                      se_runs = 10, iterations = 2, level = 20, threads = 2),
                   "calibrating the match threshold")
    expect_identical(r$pairs, expected)
    expect_identical(capture.output(summary(r)), summary_block)
  }
  expect_equal(length(unique(r$individuals$individual)), r$summary$individuals)
})
