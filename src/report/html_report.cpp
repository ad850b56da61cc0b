// The one-page HTML report. Every table is drawn from the TSV text of the
// same run, so the page cannot disagree with the files; each number shows a
// rounded value and keeps the exact one (data-v) for sorting and for anyone
// who checks.
#include "report/html_report.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <map>

namespace tarvo::report {

namespace {

std::string html(const std::string& text) {
  std::string s;
  s.reserve(text.size());
  for (const char c : text) {
    if (c == '&')
      s += "&amp;";
    else if (c == '<')
      s += "&lt;";
    else if (c == '>')
      s += "&gt;";
    else if (c == '"')
      s += "&quot;";
    else
      s += c;
  }
  return s;
}

constexpr const char* STYLE = R"(<style>
body{font-family:Helvetica,Arial,sans-serif;font-size:14px;color:#222;max-width:1100px;margin:1em auto;padding:0 1em}
h1{font-size:22px;margin-bottom:0}h2{font-size:18px;border-bottom:1px solid #bbb;margin-top:1.6em}
.made{color:#555;margin-top:.2em}
dl.summary{display:grid;grid-template-columns:max-content auto;gap:.25em 1.5em}
dl.summary dt{color:#555}dl.summary dd{margin:0;font-weight:bold}
svg{max-width:100%;height:auto;display:block}
figcaption{color:#555;font-size:13px;margin:.3em 0 0}
table{border-collapse:collapse;font-size:13px;margin:.5em 0}
th,td{padding:2px 6px;border-bottom:1px solid #e3e3e3;text-align:left;vertical-align:top}
th{background:#f2f2f2;cursor:pointer;vertical-align:bottom}
td{overflow-wrap:anywhere}.wide{overflow-x:auto}
td.n{text-align:right;font-variant-numeric:tabular-nums;white-space:nowrap}
.note{color:#555}.flags{color:#a33}
pre{background:#f7f7f7;padding:.6em;overflow-x:auto;font-size:12px}
@media print{body{max-width:none;margin:0;font-size:11px}th{cursor:auto}
section{break-inside:auto}figure,tr{break-inside:avoid}h2{break-after:avoid}
details:not([open]){display:none}}
</style>
)";

// Sorting by a click on a column heading: numbers by their exact values.
constexpr const char* SCRIPT = R"(<script>
document.querySelectorAll('table.sortable th').forEach(function(th,col){
th.addEventListener('click',function(){var body=th.closest('table').tBodies[0];
var up=th.dataset.dir!=='up';th.dataset.dir=up?'up':'down';
var key=function(r){var c=r.cells[col];var v=c.dataset.v!==undefined?c.dataset.v:c.textContent;
var x=parseFloat(v);return isNaN(x)?v:x;};
Array.from(body.rows).sort(function(a,b){var x=key(a),y=key(b);
var d=(typeof x===typeof y)?(x<y?-1:x>y?1:0):(typeof x==='number'?-1:1);return up?d:-d;})
.forEach(function(r){body.appendChild(r);});});});
document.addEventListener('mouseover',function(e){var c=e.target.closest&&e.target.closest('[data-v]');
if(c&&!c.title)c.title=c.dataset.v;});
</script>
)";

bool whole_number(const std::string& s) {
  if (s.empty()) return false;
  for (std::size_t i = s[0] == '-' ? 1 : 0; i < s.size(); ++i)
    if (s[i] < '0' || s[i] > '9') return false;
  return true;
}

// The cell of a number: the rounded value shown, the exact one kept.
std::string number_cell(const std::string& tsv) {
  const std::string shown = shown_number(tsv);
  if (shown == tsv) return "<td class=\"n\">" + html(tsv) + "</td>";
  return "<td class=\"n\" data-v=\"" + html(tsv) + "\">" + html(shown) + "</td>";
}

bool numeric(const std::string& tsv) {
  if (tsv == "NA" || tsv == "Inf" || tsv == "-Inf") return true;
  double x = 0;
  const auto [end, ec] = std::from_chars(tsv.data(), tsv.data() + tsv.size(), x);
  return ec == std::errc() && end == tsv.data() + tsv.size();
}

std::string text_cell(const std::string& text) {
  return "<td>" + html(text) + "</td>";
}

// A column of a page table: its heading and the TSV column it shows.
struct Column {
  const char* heading;
  const char* tsv;
};

// Rows of `table` passing `keep`, the given columns in that order; a column
// the table lacks is left out.
template <typename Keep>
int table_rows(std::ostream& out, const TsvTable& table, const std::vector<Column>& columns,
               const char* id, Keep keep) {
  std::vector<int> at;
  out << "<div class=\"wide\"><table class=\"sortable\" id=\"" << id << "\"><thead><tr>";
  for (const Column& c : columns) {
    const int k = table.column(c.tsv);
    if (k < 0) continue;
    at.push_back(k);
    out << "<th title=\"" << c.tsv << "\">" << c.heading << "</th>";
  }
  out << "</tr></thead><tbody>\n";
  int shown = 0;
  for (const std::vector<std::string>& row : table.rows) {
    if (!keep(row)) continue;
    ++shown;
    out << "<tr>";
    for (const int k : at) {
      const std::string& v = row[std::size_t(k)];
      out << (numeric(v) ? number_cell(v) : text_cell(v));
    }
    out << "</tr>\n";
  }
  out << "</tbody></table></div>\n";
  return shown;
}

const std::string& field(const TsvTable& t, const std::vector<std::string>& row, const char* name) {
  static const std::string none;
  const int k = t.column(name);
  return k < 0 ? none : row[std::size_t(k)];
}

void summary_row(std::ostream& out, const char* term, const std::string& value,
                 const char* id = nullptr) {
  out << "<dt>" << term << "</dt><dd";
  if (id != nullptr) out << " id=\"" << id << "\"";
  out << ">" << value << "</dd>\n";
}

// A value with its exact text kept, as in the tables.
std::string exact(const std::string& tsv) {
  const std::string shown = shown_number(tsv);
  if (shown == tsv) return "<span data-v=\"" + html(tsv) + "\">" + html(tsv) + "</span>";
  return "<span data-v=\"" + html(tsv) + "\" title=\"" + html(tsv) + "\">" + html(shown) +
         "</span>";
}

void summary_section(std::ostream& out, const PageSummary& s) {
  out << "<section id=\"summary\"><h2>Summary</h2><dl class=\"summary\">\n";
  summary_row(out, s.real_data ? "Samples genotyped" : "Samples simulated",
              std::to_string(s.samples), "n-samples");
  summary_row(out, "Individuals identified", std::to_string(s.individuals), "n-individuals");
  summary_row(out, "Repeat samples (samples &minus; individuals)",
              std::to_string(s.samples - s.individuals), "n-repeats");
  summary_row(out, "Accepted pairs of samples", std::to_string(s.accepted_pairs), "n-accepted");
  std::string recaptures = exact(s.recaptures);
  recaptures += s.se ? " (s.e. " + exact(*s.se) + ")" : " (s.e. not simulated)";
  summary_row(out, "Recaptures, corrected for false positives and missed matches", recaptures,
              "n-recaptures");
  summary_row(out, "False-positive level",
              "z = " + std::to_string(s.level) + ", " + exact(s.false_positives) +
                  " chance matches expected per data set; " + html(s.search),
              "n-level");
  summary_row(out, "Populations", std::to_string(s.populations), "n-populations");
  summary_row(out, "Random seed (-r)", std::to_string(s.seed), "n-seed");
  out << "</dl>\n<div id=\"flags\">";
  // The pairs to look at again and the cautions of the run.
  if (!s.flags.empty()) {
    out << "<h3>For review</h3><ul class=\"flags\">\n";
    for (const std::string& f : s.flags) out << "<li>" << html(f) << "</li>\n";
    out << "</ul>";
  }
  out << "</div></section>\n";
}

void figures(std::ostream& out, const PageInput& in) {
  out << "<section id=\"levels\"><h2>Recaptures by false-positive level</h2><figure>\n";
  // The file's XML declaration has no place inside a page.
  const std::size_t svg = in.levels_svg.find("<svg");
  out << (svg == std::string::npos ? std::string() : in.levels_svg.substr(svg));
  out << "<figcaption>Corrected recaptures of the data at every level and, at the levels the "
         "search tried, the mean of the simulations with its standard error (hover a point for "
         "the numbers). The dashed line is the level of the reports.</figcaption></figure>"
         "</section>\n";
  out << "<section id=\"scores\"><h2>Pair scores against chance</h2><figure>\n";
  score_plot(out, in.scores);
  out << "<figcaption>Bars: the pairs of samples of the data scoring above the lowest "
         "threshold, by score. Line: the pairs scoring as high among unrelated individuals, "
         "per data set, from the simulations that set the thresholds. Pairs to the right of "
         "the threshold of the level are accepted as samples of one individual."
         "</figcaption></figure></section>\n";
}

void pairs_section(std::ostream& out, const TsvTable& pairs) {
  out << "<section id=\"pairs\"><h2>Accepted pairs</h2>\n";
  const int accepted = table_rows(out, pairs,
                                  {{"Rank", "rank"},
                                   {"Sample 1", "sample_1"},
                                   {"#", "sample_number_1"},
                                   {"Sample 2", "sample_2"},
                                   {"#", "sample_number_2"},
                                   {"Population 1", "population_name_1"},
                                   {"Population 2", "population_name_2"},
                                   {"Loci compared", "loci_compared"},
                                   {"Loci differing", "loci_mismatching"},
                                   {"Alleles differing", "alleles_mismatching"},
                                   {"Dropouts", "dropouts"},
                                   {"LLR", "llr"},
                                   {"Chance matches above", "false_positives"},
                                   {"Flags", "flags"}},
                                  "pairs-table", [&pairs](const std::vector<std::string>& r) {
                                    return field(pairs, r, "accepted") == "1";
                                  });
  if (accepted == 0) out << "<p class=\"note\">No pair was accepted at this level.</p>\n";
  out << "</section>\n";
}

struct Individual {
  std::string number;
  std::vector<std::string> samples;
  std::vector<std::string> numbers;      // of its samples: names may repeat
  std::vector<std::string> populations;  // of its samples, each once
};

std::vector<Individual> individuals_of(const TsvTable& t) {
  std::vector<Individual> list;
  std::map<std::string, std::size_t> at;
  for (const std::vector<std::string>& r : t.rows) {
    const std::string& id = field(t, r, "individual");
    const auto [it, added] = at.emplace(id, list.size());
    if (added) list.push_back({id, {}, {}, {}});
    Individual& one = list[it->second];
    one.samples.push_back(field(t, r, "sample"));
    one.numbers.push_back(field(t, r, "sample_number"));
    const std::string& pop = field(t, r, "population_name");
    const std::string shown = pop.empty() ? field(t, r, "population") : pop;
    if (std::find(one.populations.begin(), one.populations.end(), shown) == one.populations.end())
      one.populations.push_back(shown);
  }
  // In the order of their numbers, as the pairwise report lists the groups.
  std::stable_sort(list.begin(), list.end(), [](const Individual& a, const Individual& b) {
    return std::strtol(a.number.c_str(), nullptr, 10) < std::strtol(b.number.c_str(), nullptr, 10);
  });
  return list;
}

std::string joined(const std::vector<std::string>& names, const char* cls) {
  std::string s;
  for (const std::string& n : names)
    s += std::string(s.empty() ? "" : ", ") + "<span class=\"" + cls + "\">" + html(n) + "</span>";
  return s;
}

// Each sample by name and number, as names may be given to several samples.
std::string numbered(const Individual& one) {
  std::string s;
  for (std::size_t i = 0; i < one.samples.size(); ++i)
    s += std::string(i == 0 ? "" : ", ") + "<span class=\"sample\">" + html(one.samples[i]) +
         "</span> <small>#" + html(one.numbers[i]) + "</small>";
  return s;
}

void individual_rows(std::ostream& out, const std::vector<Individual>& list, bool repeated,
                     const char* id) {
  out << "<table class=\"sortable\" id=\"" << id << "\"><thead><tr><th>Individual</th>"
      << (repeated ? "<th>Samples</th>" : "") << "<th>Sample" << (repeated ? "s" : "")
      << "</th><th>Population</th></tr></thead><tbody>\n";
  for (const Individual& one : list) {
    if ((one.samples.size() > 1) != repeated) continue;
    // The many rows of single samples stay plain, to keep the page small.
    if (!repeated) {
      out << "<tr><td>" << html(one.number) << "</td><td>" << html(one.samples.front())
          << "</td><td>" << html(one.populations.front()) << "</td></tr>\n";
      continue;
    }
    out << "<tr><td class=\"n\">" << html(one.number) << "</td><td class=\"n\">"
        << one.samples.size() << "</td><td>" << numbered(one) << "</td><td>"
        << joined(one.populations, "population") << "</td></tr>\n";
  }
  out << "</tbody></table>\n";
}

void individuals_section(std::ostream& out, const TsvTable& table) {
  const std::vector<Individual> list = individuals_of(table);
  std::size_t repeated = 0;
  for (const Individual& one : list) repeated += one.samples.size() > 1 ? 1 : 0;
  out << "<section id=\"individuals\"><h2>Individuals sampled more than once</h2>\n";
  if (repeated == 0)
    out << "<p class=\"note\">No individual was sampled more than once.</p>\n";
  else
    individual_rows(out, list, true, "individuals-table");
  out << "<details><summary>" << list.size() - repeated << " individuals sampled once</summary>\n";
  individual_rows(out, list, false, "single-table");
  out << "</details></section>\n";
}

void populations_section(std::ostream& out, const TsvTable& table) {
  out << "<section id=\"populations\"><h2>Populations</h2>\n"
         "<p class=\"note\">Each population and each pair of populations with matches: the "
         "estimates from the data and, where simulated, the simulated recaptures with their "
         "standard error.</p>\n";
  (void)table_rows(out, table,
                   {{"Population 1", "population_name_1"},
                    {"Population 2", "population_name_2"},
                    {"Samples 1", "size_1"},
                    {"Samples 2", "size_2"},
                    {"Matches", "matches"},
                    {"Chance matches", "false_positives"},
                    {"Recaptures", "r_hat"},
                    {"Percent", "percent"},
                    {"Simulated recaptures", "sim_r_hat"},
                    {"s.e.", "sim_se"}},
                   "populations-table", [](const std::vector<std::string>&) { return true; });
  out << "</section>\n";
}

void loci_section(std::ostream& out, const TsvTable& table) {
  out << "<section id=\"loci\"><h2>Loci</h2>\n";
  if (table.columns.empty()) {
    out << "<p class=\"note\">Simulated data: no panel power.</p></section>\n";
    return;
  }
  out << "<p class=\"note\">All samples. PID: probability that two unrelated individuals share "
         "the genotype; PIDsib: the same for two siblings; cumulative over the loci ranked from "
         "the most informative.</p>\n";
  (void)table_rows(out, table,
                   {{"Locus", "locus"},
                    {"Alleles", "alleles"},
                    {"Samples scored", "samples_scored"},
                    {"Observed het.", "observed_het"},
                    {"Expected het.", "expected_het"},
                    {"PID", "pid"},
                    {"PIDsib", "pid_sib"},
                    {"Rank", "rank"},
                    {"Cumulative PIDsib", "cumulative_pid_sib"}},
                   "loci-table", [&table](const std::vector<std::string>& r) {
                     return field(table, r, "population_number") == "0";
                   });
  out << "</section>\n";
}

void levels_section(std::ostream& out, const TsvTable& table) {
  out << "<details id=\"levels-details\"><summary>The 50 levels</summary>\n";
  (void)table_rows(out, table,
                   {{"z", "z"},
                    {"LLR threshold", "llr_threshold"},
                    {"Chance matches V", "false_positives"},
                    {"Matches", "matches"},
                    {"Effective size", "effective_size"},
                    {"Recaptures", "r_hat"},
                    {"Simulated recaptures", "sim_r_hat"},
                    {"s.e.", "sim_se"},
                    {"Chosen", "chosen"}},
                   "levels-table", [](const std::vector<std::string>&) { return true; });
  out << "</details>\n";
}

void run_section(std::ostream& out, const PageInput& in) {
  out << "<section id=\"run\"><h2>How this page was made</h2><dl class=\"summary\">\n";
  summary_row(out, "Command line (less -t, which changes no result)",
              "<code>" + html(in.command_line) + "</code>", "command");
  for (const std::string& file : in.inputs) summary_row(out, "Input file", html(file));
  summary_row(out, "Program", html(in.version), "version");
  std::string files;
  for (const std::string& f : in.files) files += (files.empty() ? "" : ", ") + html(f);
  summary_row(out, "Files of the run", files);
  out << "</dl>\n<pre id=\"options\">" << html(in.options_listing) << "</pre></section>\n";
}

}  // namespace

int TsvTable::column(const std::string& name) const {
  for (std::size_t k = 0; k < columns.size(); ++k)
    if (columns[k] == name) return static_cast<int>(k);
  return -1;
}

TsvTable parse_tsv(const std::string& text) {
  TsvTable t;
  std::vector<std::string> row;
  std::string f;
  bool quoted = false, started = false;
  const auto end_line = [&] {
    row.push_back(std::move(f));
    f.clear();
    (t.columns.empty() ? t.columns : t.rows.emplace_back()) = std::move(row);
    row.clear();
    started = false;
  };
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted) {
      if (c != '"')
        f += c;
      else if (i + 1 < text.size() && text[i + 1] == '"')
        f += text[++i];
      else
        quoted = false;
    } else if (c == '\n') {
      end_line();
      continue;
    } else if (c == '\t') {
      row.push_back(std::move(f));
      f.clear();
    } else if (c == '"' && f.empty()) {
      quoted = true;
    } else {
      f += c;
    }
    started = true;
  }
  if (started) end_line();
  for (std::vector<std::string>& r : t.rows) r.resize(t.columns.size());
  return t;
}

std::string shown_number(const std::string& tsv) {
  if (whole_number(tsv) || !numeric(tsv) || tsv == "NA" || tsv == "Inf" || tsv == "-Inf")
    return tsv;
  const double x = std::strtod(tsv.c_str(), nullptr);
  const std::string s = std::fabs(x) >= 1000 ? format("%.1f", x) : format("%.4g", x);
  return s.size() < tsv.size() ? s : tsv;
}

void html_report(std::ostream& out, const PageInput& in) {
  out << "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>"
      << html(in.title) << "</title>\n"
      << STYLE << "</head>\n<body>\n<header><h1>" << html(in.title) << "</h1>\n<p class=\"made\">\n"
      << in.date << "</p></header>\n";
  summary_section(out, in.summary);
  figures(out, in);
  pairs_section(out, parse_tsv(in.tables.pairs));
  individuals_section(out, parse_tsv(in.tables.individuals));
  populations_section(out, parse_tsv(in.tables.populations));
  loci_section(out, parse_tsv(in.tables.loci));
  levels_section(out, parse_tsv(in.tables.levels));
  run_section(out, in);
  out << SCRIPT << "</body>\n</html>\n";
}

}  // namespace tarvo::report
