cats <- system.file("extdata", "nancycats.gen", package = "tarvo")
alleles <- function(frame) unname(as.matrix(frame[, -(1:2)]))
