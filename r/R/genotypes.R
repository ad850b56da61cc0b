# Genotypes between R and the library: a data frame (sample, population, two
# allele columns per locus) or an adegenet genind, and the GenAlEx text the
# library reads them from.

genotypes_frame <- function(sample, population, alleles, loci) {
  colnames(alleles) <- paste0(rep(loci, each = 2), c(".1", ".2"))
  frame <- data.frame(sample = sample, population = population, alleles,
                      check.names = FALSE, stringsAsFactors = FALSE)
  attr(frame, "loci") <- loci
  frame
}

as_genotypes <- function(x) {
  if (inherits(x, "genind")) return(genind_genotypes(x))
  if (!is.data.frame(x))
    stop("x must be a file name, a data frame or an adegenet genind", call. = FALSE)
  if (ncol(x) < 4 || ncol(x) %% 2 != 0)
    stop("a data frame needs a sample and a population column, then two allele columns per locus",
         call. = FALSE)
  columns <- names(x)[seq(3, ncol(x), by = 2)]
  loci <- attr(x, "loci")
  if (is.null(loci)) loci <- sub("[._]?(1|a|A)$", "", columns)
  alleles <- as.matrix(x[, -(1:2), drop = FALSE])
  list(sample = as.character(x[[1]]), population = as.character(x[[2]]), alleles = alleles,
       loci = loci)
}

# Allele names that are numbers are the allele sizes; nucleotides are coded
# 1 to 4 as in GENEPOP; any other names are numbered in their order.
allele_codes <- function(names) {
  if (all(grepl("^[0-9]+$", names))) return(as.integer(names))
  nucleotide <- match(toupper(names), c("A", "C", "G", "T"))
  if (!anyNA(nucleotide)) return(nucleotide)
  seq_along(names)
}

genind_genotypes <- function(x) {
  if (any(x@ploidy != 2)) stop("only diploid genotypes can be analysed", call. = FALSE)
  loci <- names(x@all.names)
  alleles <- matrix(0L, nrow(x@tab), 2 * length(loci))
  for (k in seq_along(loci)) {
    present <- x@tab[, x@loc.fac == loci[k], drop = FALSE] > 0
    present[is.na(present)] <- FALSE
    codes <- allele_codes(x@all.names[[k]])
    typed <- rowSums(present) > 0
    first <- codes[max.col(present, "first")][typed]
    last <- codes[max.col(present, "last")][typed]
    alleles[typed, 2 * k - 1] <- pmin(first, last)
    alleles[typed, 2 * k] <- pmax(first, last)
  }
  population <- if (is.null(x@pop)) rep("1", nrow(alleles)) else as.character(x@pop)
  list(sample = rownames(x@tab), population = population, alleles = alleles, loci = loci)
}

# GenAlEx wants the samples of a population on consecutive lines: they are
# grouped in the order the populations first appear, each in its own order.
genalex_text <- function(g) {
  alleles <- g$alleles
  alleles[is.na(alleles)] <- 0
  order <- order(match(g$population, unique(g$population)))
  sizes <- table(factor(g$population, levels = unique(g$population)))
  quote <- function(s) paste0("\"", gsub("\"", "\"\"", s), "\"")
  values <- apply(alleles[order, , drop = FALSE], 2, format, scientific = FALSE, trim = TRUE)
  rows <- do.call(paste, c(list(quote(g$sample[order]), quote(g$population[order])),
                           as.data.frame(matrix(values, nrow = length(order))), sep = ","))
  paste0(c(paste(c(length(g$loci), length(order), length(sizes), sizes), collapse = ","),
           "genotypes from R",
           paste(c("sample", "population", rbind(quote(g$loci), "")), collapse = ","), rows),
         "\n", collapse = "")
}
