#!/usr/bin/env python3
"""Reads the tab-separated tables and the levels plot of one run with the
csv module and xml.etree, and checks them against the text reports of the
same run. Usage: check_tables.py DIR PREFIX. Prints what differs; exit 1."""
import csv
import math
import re
import sys
import xml.etree.ElementTree as ET

problems = []


def check(cond, what):
    if not cond:
        problems.append(what)


def table(path, columns):
    with open(path, newline="") as f:
        reader = csv.DictReader(f, delimiter="\t")
        check(reader.fieldnames == columns, f"{path}: columns {reader.fieldnames}")
        return list(reader)


def number(x):
    return math.nan if x == "NA" else float(x)


def close(tsv, text, what):
    """tsv (exact) printed with text's decimals gives text."""
    if text == "nan":
        return check(tsv == "NA", f"{what}: {tsv} vs nan")
    decimals = len(text.split(".")[1]) if "." in text else 0
    check(abs(number(tsv) - float(text)) <= 0.5 * 10**-decimals + 1e-9, f"{what}: {tsv} vs {text}")


def lines(path):
    with open(path) as f:
        return f.read().split("\n")


NUM = r"-?\d+\.\d+|nan|-?\d+"


def check_pairs(d, p):
    rows = table(f"{d}/{p}_pairs.tsv", [
        "rank", "sample_1", "sample_2", "sample_number_1", "sample_number_2", "population_1",
        "population_2", "population_name_1", "population_name_2", "loci_compared",
        "loci_mismatching", "alleles_compared", "alleles_mismatching", "dropouts", "llr",
        "false_positives", "accepted", "mismatch_probability", "llr_vs_full_siblings",
        "llr_vs_parent_offspring", "flags"])
    by_rank = {r["rank"]: r for r in rows}
    accepted_in_text, listed, missed = 0, 0, False
    row = re.compile(r"^\s*(\d+)\s+(\S+) ([?:]) (\S+)\s+(\d+)\s+(\d+)\s+(\d+)\s+(\d+)\s+(\d+)"
                     r"\s+(-?\d+\.\d+)\s+(\d+\.\d+)\s*$")
    for line in lines(f"{d}/{p}_pair.txt"):
        missed = missed or line.startswith("Additional pairs")
        m = row.match(line)
        if not m:
            continue
        listed += 1
        r = by_rank.get(m[1])
        check(r is not None, f"pair rank {m[1]} missing")
        if r is None:
            continue
        check((r["sample_1"], r["sample_2"]) == (m[2], m[4]), f"pair {m[1]} names")
        check((m[3] == ":") == (r["alleles_mismatching"] == "0"), f"pair {m[1]} separator")
        for col, k in (("population_1", 5), ("population_2", 6), ("alleles_compared", 7),
                       ("alleles_mismatching", 8), ("dropouts", 9)):
            check(r[col] == m[k], f"pair {m[1]} {col}: {r[col]} vs {m[k]}")
        close(r["llr"], m[10], f"pair {m[1]} llr")
        close(r["false_positives"], m[11], f"pair {m[1]} false positives")
        check(r["accepted"] == ("0" if missed else "1"), f"pair {m[1]} accepted")
        accepted_in_text += not missed
    check(listed > 0, "no pair listed in the pairwise report")
    check(sum(r["accepted"] == "1" for r in rows) == accepted_in_text, "accepted pairs")
    return rows


def check_individuals(d, p, pairs):
    rows = table(f"{d}/{p}_individuals.tsv", [
        "sample_number", "sample", "population", "population_name", "individual",
        "samples_in_individual"])
    read = [l for l in lines(f"{d}/{p}_log.txt") if "genotype samples were read" in l]
    check(read and int(read[0].split()[3]) == len(rows), "one row per sample")
    members = {}
    for r in rows:
        members.setdefault(r["individual"], []).append(r["sample"])
    for r in rows:
        check(len(members[r["individual"]]) == int(r["samples_in_individual"]), "members")
    # The clusters listed in the pairwise report are individuals 1, 2, ...
    for line in lines(f"{d}/{p}_pair.txt"):
        m = re.match(r"^GP(\d+)\s+(.*)$", line)
        if m:
            check(sorted(members[m[1]]) == sorted(m[2].split()), f"group GP{m[1]}")
    # Both samples of every accepted pair are one individual; the numbers
    # name the samples the names do.
    who = {r["sample_number"]: r for r in rows}
    for r in pairs:
        for side in "12":
            check(who[r["sample_number_" + side]]["sample"] == r["sample_" + side],
                  f"pair {r['rank']} sample number {side}")
        if r["accepted"] == "1":
            check(who[r["sample_number_1"]]["individual"] == who[r["sample_number_2"]]["individual"],
                  f"pair {r['rank']} split")
        check(r["flags"] == "" or r["accepted"] == "1", f"pair {r['rank']} flagged unaccepted")
    return rows


def check_groups(d, p, pairs, individuals, levels):
    rows = table(f"{d}/{p}_groups.tsv", [
        "individual", "samples", "sample_numbers", "sample_names", "accepted_pairs",
        "possible_pairs", "weakest_llr", "most_mismatching_alleles", "flags"])
    check([r["individual"] for r in rows] == sorted({r["individual"] for r in individuals}, key=int),
          "one row per individual")
    accepted = [r for r in pairs if r["accepted"] == "1"]
    for g in rows:
        numbers = g["sample_numbers"].split(";")
        check(sorted(numbers) == sorted(r["sample_number"] for r in individuals
                                        if r["individual"] == g["individual"]),
              f"individual {g['individual']} samples")
        n = len(numbers)
        inside = [r for r in accepted if r["sample_number_1"] in numbers]
        check(int(g["accepted_pairs"]) == len(inside), f"individual {g['individual']} pairs")
        check(int(g["possible_pairs"]) == n * (n - 1) // 2, f"individual {g['individual']} possible")
        check((g["flags"] == "chain") == (len(inside) < n * (n - 1) // 2), "chain")
        if inside:
            close(g["weakest_llr"], "%.9f" % min(float(r["llr"]) for r in inside), "weakest llr")
    s = table(f"{d}/{p}_summary.tsv", [
        "samples", "populations", "individuals", "sampled_more_than_once", "repeat_samples",
        "accepted_pairs", "z", "false_positives", "llr_threshold", "r_hat", "r_hat_se", "seed",
        "error_rate", "flagged_pairs", "excess_mismatches", "full_siblings", "parent_offspring",
        "chain", "few_loci", "chained_individuals", "fst", "samples_untyped",
        "samples_few_loci"])
    check(len(s) == 1, "one summary row")
    s = s[0]
    check(int(s["samples"]) == len(individuals) and int(s["individuals"]) == len(rows), "counts")
    check(int(s["repeat_samples"]) == len(individuals) - len(rows), "repeat samples")
    check(int(s["sampled_more_than_once"]) == sum(int(g["samples"]) > 1 for g in rows), "J")
    check(int(s["accepted_pairs"]) == len(accepted), "summary accepted pairs")
    check(int(s["flagged_pairs"]) == sum(r["flags"] != "" for r in accepted), "flagged pairs")
    chosen = [r for r in levels if r["chosen"] == "1"][0]
    check(s["z"] == chosen["z"] and s["r_hat"] == chosen["r_hat"], "summary level")
    log = lines(f"{d}/{p}_log.txt")
    line = "%d samples, %d individuals, %d sampled more than once, %d repeat sample" % (
        len(individuals), len(rows), int(s["sampled_more_than_once"]), int(s["repeat_samples"]))
    check(any(line in l for l in log), "summary block: " + line)


def check_levels(d, p):
    rows = table(f"{d}/{p}_levels.tsv", [
        "z", "llr_threshold", "false_positives", "matches", "net_matches", "false_negatives",
        "effective_size", "r_hat", "percent", "sim_r_hat", "sim_se", "chosen"])
    check(len(rows) == 50, "50 levels")
    by_z = {r["z"]: r for r in rows}
    text = lines(f"{d}/{p}_stat.txt")
    start = next(i for i, l in enumerate(text) if l.startswith("Table 1"))
    table1 = [l for l in text[start:start + 60] if re.match(r"^\s*\d+\s+-?\d+\.\d+ ", l)]
    check(len(table1) == 50, "Table 1 rows")
    cols = ["llr_threshold", "false_positives", "matches", "net_matches", "false_negatives",
            "effective_size", "r_hat", "percent"]
    for line in table1:
        v = re.findall(NUM, line)
        for col, x in zip(cols, v[1:]):
            close(by_z[v[0]][col], x, f"level {v[0]} {col}")
    # The '#' row of every Table 2: the simulated R_hat and s.e. at its level.
    simulated = {}
    for line in text:
        m = re.match(r"^\s*(\d+)#", line)
        if m and "Shadows" not in line:
            v = re.findall(NUM, line.replace("#", " ").replace("*", " "))
            simulated[v[0]] = (v[8], v[9])
    for z, r in by_z.items():
        if z in simulated:
            close(r["sim_r_hat"], simulated[z][0], f"level {z} sim_r_hat")
            close(r["sim_se"], simulated[z][1], f"level {z} sim_se")
        else:
            check(r["sim_r_hat"] == "NA" and r["sim_se"] == "NA", f"level {z} not simulated")
    chosen = [r for r in rows if r["chosen"] == "1"]
    check(len(chosen) == 1, "one chosen level")
    head = [l for l in lines(f"{d}/{p}_pair.txt") if "false positives <=" in l]
    if chosen and head:
        check(head[0].split("<=")[1].strip() == "%.3g" % number(chosen[0]["false_positives"]),
              "chosen level is the pairwise report's")
    return rows


def check_populations(d, p):
    rows = table(f"{d}/{p}_populations.tsv", [
        "population_1", "population_2", "population_name_1", "population_name_2", "size_1",
        "size_2", "effective_size", "false_positives", "matches", "r_hat", "percent",
        "sim_matches", "sim_r_hat", "sim_se"])
    by_cell = {(r["population_1"], r["population_2"]): r for r in rows}
    part = 0
    for line in lines(f"{d}/{p}_pop.txt"):
        part += line.startswith("Table ")
        if "NOTE" in line:
            continue
        m = re.match(r"^\s*(\d+) : (\d+)\s+(\d+) : (\d+)\s+(.*)$", line) or \
            re.match(r"^\s*(\d+)()\s+(\d+)()\s+(.*)$", line)
        if not m or part == 0:
            continue
        cell = (m[1], m[2] or m[1])
        r = by_cell.get(cell)
        check(r is not None, f"cell {cell} missing")
        if r is None:
            continue
        check(r["size_1"] == m[3], f"cell {cell} size")
        v = re.findall(NUM, m[5])
        if part == 1:
            names = ["effective_size", "false_positives", "matches", "r_hat", "percent"]
            for col, x in zip(names, v[-5:]):
                close(r[col], x, f"cell {cell} {col}")
        else:
            for col, x in zip(["sim_matches", "sim_r_hat", "sim_se"], v[-3:]):
                close(r[col], x, f"cell {cell} {col}")


def check_plot(d, p, levels):
    svg = "{http://www.w3.org/2000/svg}"
    root = ET.parse(f"{d}/{p}_levels.svg").getroot()
    check(root.tag == svg + "svg", "svg root")
    groups = {g.get("id"): g for g in root.iter(svg + "g")}
    check(len(groups["reference"].findall(svg + "circle")) == 50, "50 reference points")
    tried = sum(r["sim_r_hat"] != "NA" for r in levels)
    check(len(list(groups["simulated"].iter(svg + "rect"))) == tried, "a square per level tried")
    check("chosen" in groups, "chosen level marked")
    texts = " ".join(t.text or "" for t in root.iter(svg + "text"))
    for words in ("against false positives", "(log scale)", "Corrected recaptures, R_hat"):
        check(words in texts, f"plot text {words}")


def main():
    d, p = sys.argv[1], sys.argv[2]
    pairs = check_pairs(d, p)
    individuals = check_individuals(d, p, pairs)
    levels = check_levels(d, p)
    check_groups(d, p, pairs, individuals, levels)
    check_populations(d, p)
    check_plot(d, p, levels)
    for what in problems:
        print(what)
    sys.exit(1 if problems else 0)


main()
