// One row of a tab-separated table, written field by field.
#pragma once

#include <initializer_list>
#include <ostream>
#include <string>

#include "report/report.h"

namespace tarvo::report {

// Writes the fields of one row, tab-separated, ended by a newline.
class Row {
 public:
  explicit Row(std::ostream& out) : out_(out) {}
  Row(const Row&) = delete;
  Row& operator=(const Row&) = delete;
  ~Row() { out_ << '\n'; }
  Row& text(const std::string& s) { return field(tsv_field(s)); }
  Row& real(double x) { return field(tsv_number(x)); }
  Row& whole(long long n) { return field(std::to_string(n)); }
  Row& na() { return field("NA"); }

 private:
  Row& field(const std::string& s) {
    if (!first_) out_ << '\t';
    first_ = false;
    out_ << s;
    return *this;
  }
  std::ostream& out_;
  bool first_ = true;
};

inline void header(std::ostream& out, std::initializer_list<const char*> names) {
  Row row(out);
  for (const char* name : names) row.text(name);
}

}  // namespace tarvo::report
