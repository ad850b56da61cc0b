# Which of 237 cat samples from 17 colonies of Nancy come from the same cat?
# Run with: Rscript "$(Rscript -e 'cat(system.file("examples", "cats.R", package = "tarvo"))')"
library(tarvo)

# The genotypes as a data frame: a sample, its colony, two allele columns per
# locus (0 is missing). GENEPOP files of this data set name populations "Pop".
file <- system.file("extdata", "nancycats.gen", package = "tarvo")
cats <- tarvo_read(file, separator = "Pop")
str(cats[, 1:4])

# How well the nine loci tell cats apart: PIDsib per locus, cumulative.
power <- tarvo_power(cats)
print(power[power$population_number == 0, c("locus", "pid_sib", "rank", "cumulative_pid_sib")])

# The analysis. A fixed seed repeats it exactly, on any number of threads;
# iterations = 0 gives a first look at one level without standard errors.
result <- tarvo_analyse(cats, seed = 1, threads = 2)
print(result)

# Which samples are the same cat, and the recaptures per colony.
individuals <- result$individuals
print(individuals[individuals$samples_in_individual > 1, ])
print(result$populations[, c("population_name_1", "population_name_2", "matches", "r_hat")])

# The corrected recaptures of every false-positive level, and the pair scores.
plot(result)
plot(result, which = "pairs")
