#!/usr/bin/env python3
"""Renders the report page of one run in headless Chromium and checks the
DOM against the run's TSV files and levels plot: every table has as many
rows as the file it shows, every number equals the file's, and the figures
show what the files hold. Usage: check_page.py CHROMIUM DIR PREFIX.
Prints what differs; exit 1."""
import csv
import subprocess
import sys
from html.parser import HTMLParser

problems = []


def check(cond, what):
    if not cond:
        problems.append(what)


class Node:
    def __init__(self, tag, attrs, parent):
        self.tag, self.attrs, self.parent, self.children, self.text = tag, attrs, parent, [], ""

    def iter(self, tag=None):
        for c in self.children:
            if tag is None or c.tag == tag:
                yield c
            yield from c.iter(tag)

    def all_text(self):
        return self.text + "".join(c.all_text() for c in self.children)

    def value(self):
        """The exact number a cell or span keeps, else its text."""
        return self.attrs.get("data-v", self.all_text())


VOID = {"meta", "br", "hr", "img", "input", "link"}


class Tree(HTMLParser):
    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.root = self.at = Node("root", {}, None)

    def handle_starttag(self, tag, attrs):
        node = Node(tag, dict(attrs), self.at)
        self.at.children.append(node)
        if tag not in VOID:
            self.at = node

    def handle_startendtag(self, tag, attrs):
        self.at.children.append(Node(tag, dict(attrs), self.at))

    def handle_endtag(self, tag):
        n = self.at
        while n is not None and n.tag != tag:
            n = n.parent
        if n is not None and n.parent is not None:
            self.at = n.parent

    def handle_data(self, data):
        # Text after a child belongs to the parent; kept in order as a node.
        t = Node("#text", {}, self.at)
        t.text = data
        self.at.children.append(t)


def tsv(path):
    with open(path, newline="") as f:
        return list(csv.DictReader(f, delimiter="\t"))


def by_id(root, ident):
    return next((n for n in root.iter() if n.attrs.get("id") == ident), None)


def body_rows(table):
    body = next(table.iter("tbody"))
    return [[c for c in tr.children if c.tag == "td"] for tr in body.children if tr.tag == "tr"]


def headings(table):
    return [th.attrs.get("title", th.all_text()) for th in table.iter("th")]


def same_table(root, ident, rows, what):
    table = by_id(root, ident)
    check(table is not None, f"{what}: no table")
    if table is None:
        return
    cells = body_rows(table)
    check(len(cells) == len(rows), f"{what}: {len(cells)} rows, the file has {len(rows)}")
    columns = headings(table)
    for got, want in zip(cells, rows):
        for col, cell in zip(columns, got):
            check(cell.value() == want[col], f"{what} {col}: {cell.value()} vs {want[col]}")


def check_summary(root, d, p, individuals, pairs, levels):
    def span(ident):
        n = by_id(root, ident)
        return n.all_text().strip() if n else None

    ids = {r["individual"] for r in individuals}
    check(span("n-samples") == str(len(individuals)), "samples")
    check(span("n-individuals") == str(len(ids)), "individuals")
    check(span("n-repeats") == str(len(individuals) - len(ids)), "repeat samples")
    check(span("n-accepted") == str(sum(r["accepted"] == "1" for r in pairs)), "accepted pairs")
    chosen = [r for r in levels if r["chosen"] == "1"][0]
    values = [s.value() for s in by_id(root, "n-recaptures").iter("span")]
    check(values[0] == chosen["r_hat"], f"recaptures {values[0]} vs {chosen['r_hat']}")
    if chosen["sim_se"] != "NA":
        check(len(values) == 2 and values[1] == chosen["sim_se"], "s.e.")
    level = span("n-level")
    check(level.startswith(f"z = {chosen['z']},"), f"level {level}")
    return chosen


def check_figures(root, d, p, pairs, levels, chosen):
    svg = "svg"
    reference = by_id(root, "reference")
    check(len(list(reference.iter("circle"))) == 50, "50 reference points")
    tried = sum(r["sim_r_hat"] != "NA" for r in levels)
    check(len(list(by_id(root, "simulated").iter("rect"))) == tried, "a square per level tried")
    counts = [int(r.attrs["data-count"]) for r in by_id(root, "observed").iter("rect")]
    check(sum(counts) == len(pairs), f"score plot: {sum(counts)} pairs, the file has {len(pairs)}")
    z = int(chosen["z"])
    by_z = {r["z"]: r for r in levels}
    marked = {l.attrs["data-z"]: l.attrs["data-llr"] for l in by_id(root, "thresholds").iter("line")}
    want = {str(k) for k in (z - 1, z, z + 1) if str(k) in by_z}
    check(set(marked) == want, f"thresholds {sorted(marked)} vs {sorted(want)}")
    for k, llr in marked.items():
        check(by_z[k]["llr_threshold"] == llr, f"threshold z={k}: {llr}")
    with open(f"{d}/{p}_levels.svg") as f:
        plot = f.read()
    with open(f"{d}/{p}_report.html") as f:
        page = f.read()
    check(plot[plot.index("<svg"):] in page, "the levels plot is the file's")
    del svg


def main():
    chromium, d, p = sys.argv[1:4]
    dom = subprocess.run([chromium, "--headless", "--no-sandbox", "--disable-gpu", "--dump-dom",
                          f"file://{d}/{p}_report.html"], capture_output=True, text=True,
                         timeout=120).stdout
    tree = Tree()
    tree.feed(dom)
    root = tree.root
    check(by_id(root, "summary") is not None, "the page did not render")
    pairs, individuals = tsv(f"{d}/{p}_pairs.tsv"), tsv(f"{d}/{p}_individuals.tsv")
    levels, populations = tsv(f"{d}/{p}_levels.tsv"), tsv(f"{d}/{p}_populations.tsv")
    if not problems:
        same_table(root, "pairs-table", [r for r in pairs if r["accepted"] == "1"], "pairs")
        same_table(root, "populations-table", populations, "populations")
        same_table(root, "levels-table", levels, "levels")
        try:
            loci = [r for r in tsv(f"{d}/{p}_loci_power.tsv") if r["population_number"] == "0"]
            same_table(root, "loci-table", loci, "loci")
        except FileNotFoundError:
            check(by_id(root, "loci-table") is None, "loci of simulated data")
        members = {}
        for r in individuals:
            members.setdefault(r["individual"], []).append(r["sample"])
        for ident, many in (("individuals-table", True), ("single-table", False)):
            want = {k: v for k, v in members.items() if (len(v) > 1) == many}
            table = by_id(root, ident)
            got = {}
            for row in (body_rows(table) if table else []):
                names = [s.all_text() for s in row[-2].iter("span")] or [row[-2].all_text()]
                got[row[0].all_text()] = names
            check(got == want, f"{ident}: {len(got)} rows, the file has {len(want)}")
        chosen = check_summary(root, d, p, individuals, pairs, levels)
        check_figures(root, d, p, pairs, levels, chosen)
    for what in problems:
        print(what)
    sys.exit(1 if problems else 0)


main()
