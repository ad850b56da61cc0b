# Refusals come as R errors: the library's own message, or a check of the
# options against the program's ranges; none ends the session.

test_that("a refused input raises the library's message as a tarvo_error", {
  half <- data.frame(sample = "a", population = "p", L.1 = 0, L.2 = 12)
  e <- expect_error(tarvo_read(half), class = "tarvo_error")
  expect_match(conditionMessage(e), "Allele pairs must both be missing\n.*Non-missing allele is: <12>")
  short <- tempfile()
  writeLines(c("title", "L1", "Pop"), short)
  expect_error(tarvo_analyse(short), paste("Number of lines read in file", short, "was 3"),
               class = "tarvo_error", fixed = TRUE)
  expect_error(tarvo_power(tempfile()), "cannot open", class = "tarvo_error")
  unscored <- data.frame(sample = c("a", "b"), population = "p", L.1 = 1:2, L.2 = 1:2,
                         M.1 = 0, M.2 = 0)
  expect_error(tarvo_analyse(unscored, verbose = FALSE), "all missing values",
               class = "tarvo_error")
})

test_that("options outside the program's ranges and unknown inputs are refused", {
  expect_error(tarvo_analyse(cats, error = 0.5), "error must be a number from 0.0001 to 0.2")
  expect_error(tarvo_analyse(cats, calibration_sets = 1000, level = 50), "level must be")
  expect_error(tarvo_analyse(cats, threads = 0), "threads must be")
  expect_error(tarvo_analyse(cats, fast = NA), "fast must be TRUE or FALSE")
  expect_error(tarvo_read(1:3), "a file name, a data frame or an adegenet genind")
  expect_error(tarvo_read(data.frame(a = 1, b = 2, c = 3)), "two allele columns per locus")
})
