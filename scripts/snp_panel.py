#!/usr/bin/env python3
"""Writes a biallelic (SNP) allele frequency file in the -2 layout.

Each locus gets an allele line (alleles 1 and 2) and a frequency line; the
minor allele frequency is drawn uniformly from [low, high], the spread of a
panel chosen for informative loci.

    python3 scripts/snp_panel.py LOCI [--seed N] [--low 0.1] [--high 0.5] > snp.txt
"""
import argparse
import random


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("loci", type=int)
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--low", type=float, default=0.1)
    parser.add_argument("--high", type=float, default=0.5)
    args = parser.parse_args()
    rng = random.Random(args.seed)
    for k in range(1, args.loci + 1):
        p = round(rng.uniform(args.low, args.high), 5)
        # Five decimals each, written so that the two add up to one exactly.
        q = round(1.0 - p, 5)
        name = f"SNP{k:03d}"
        print(f"{name:<10} {1:7d} {2:7d}")
        print(f"{name:<10} {p:7.5f} {q:7.5f}")


if __name__ == "__main__":
    main()
