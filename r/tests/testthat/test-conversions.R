# Genotypes reach the library unchanged from a data frame or a genind.

test_that("a data frame keeps names, 2- and 3-digit alleles, NA as missing; grouped by population", {
  x <- data.frame(sample = c("a b", "c,\"d\"", "e"), population = c("north", "south", "north"),
                  L1.1 = c(12, NA, 136), L1.2 = c(14, NA, 140), L2.1 = c(7, 7, 0),
                  L2.2 = c(9, 7, 0))
  r <- tarvo_read(x)
  expect_equal(r$sample, c("a b", "e", "c,\"d\""))
  expect_equal(r$population, c("north", "north", "south"))
  expect_equal(attr(r, "loci"), c("L1", "L2"))
  expect_equal(alleles(r), matrix(c(12, 136, 0, 14, 140, 0, 7, 0, 7, 9, 0, 7), 3))
  expect_identical(tarvo_read(r), r)
})

test_that("a genind reads as the GENEPOP file written from it, missing data included", {
  skip_if_not_installed("adegenet")
  data("nancycats", package = "adegenet", envir = environment())
  from_file <- tarvo_read(cats, separator = "Pop")
  from_genind <- tarvo_read(nancycats)
  expect_equal(as.integer(factor(from_genind$population)), as.integer(from_file$population))
  expect_equal(attr(from_genind, "loci"), attr(from_file, "loci"))
  # The genind holds the 3-digit allele sizes, the file numbers them in their
  # order with 2 digits; 0 is missing in both.
  a <- alleles(from_genind)
  b <- alleles(from_file)
  expect_true(any(a == 0) && all(a[, c(TRUE, FALSE)] <= a[, c(FALSE, TRUE)]))
  for (k in seq(1, ncol(a), 2)) expect_equal(rank(a[, k + 0:1]), rank(b[, k + 0:1]))
})

test_that("SNPs as nucleotides are coded 1 to 4, numbers kept as they are", {
  skip_if_not_installed("adegenet")
  g <- adegenet::df2genind(data.frame(s1 = c("G/A", "C/C", NA), s2 = c("T/T", "A/T", "A/A"),
                                      m = c("101/99", "99/99", "101/101")),
                           sep = "/", ind.names = c("x", "y", "z"), pop = c("p", "p", "q"))
  r <- tarvo_read(g)
  expect_equal(alleles(r), matrix(c(1, 2, 0, 3, 2, 0, 4, 1, 1, 4, 4, 1, 99, 99, 101, 101, 99, 101),
                                  3))
})
