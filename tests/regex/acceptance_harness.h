// Acceptance tables for the pattern engine: each row is one pattern, flags,
// subject and the expected outcome, checked through the public interface
// under both matching strategies (mode 0 and mode 1) and both subject forms.
//
// Expected outcomes are written as text:
//   "nomatch"          the match call reports no match
//   "error:<message>"  the constructor throws bad_regexpr with that message
//   "0-3 1-2 -"        matched; one entry per capture entry, "-" = unmatched
//
// A row whose `fault` is set describes an engine fault that is not fixed
// yet: the row is held back, and the table's test ends skipped with the list
// of held-back rows once all other rows have been checked. Setting the
// environment variable CORVANE_RUN_KNOWN_FAULTS runs those rows too.
//
// Thread-safety: test code, single-threaded.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "fuzz/match_agreement.h"

namespace acceptance {

using corvane_check::outcome;
using corvane_check::subject_form;

// Which subject forms a row runs under.
enum class forms {
  both,        // bounded and terminated (terminated only if the subject has no NUL)
  bounded,     // std::u16string subject only
  terminated,  // zero-terminated subject only
};

struct accept_case {
  const char* id;          // greppable case id, e.g. "ESC-4"
  std::u16string pattern;  // pattern text
  int flags;               // constructor flags
  std::u16string subject;  // subject text (may hold NULs for bounded rows)
  const char* expect;      // expected outcome, see the header comment
  forms where = forms::both;
  const char* fault = nullptr;  // engine fault that holds the row back
};

// Parses an expected-outcome text into an outcome.
inline outcome expected_outcome(const std::string& text) {
  outcome out;
  if (text == "nomatch") return out;
  if (text.rfind("error:", 0) == 0) {
    out.error = text.substr(6);
    return out;
  }
  out.matched = true;
  std::istringstream words(text);
  std::string word;
  while (words >> word) {
    if (word == "-") {
      out.groups.emplace_back();
      continue;
    }
    const auto dash = word.find('-');
    out.groups.push_back(corvane_check::capture_span{std::stoul(word.substr(0, dash)),
                                                     std::stoul(word.substr(dash + 1))});
  }
  return out;
}

// Checks one row under modes 0 and 1 and the forms it names.
inline void check_case(const accept_case& row) {
  const std::string expected = corvane_check::describe(expected_outcome(row.expect));
  const bool has_nul = row.subject.find(u'\0') != std::u16string::npos;
  std::vector<subject_form> run_forms;
  if (row.where != forms::terminated) run_forms.push_back(subject_form::bounded);
  if (row.where == forms::terminated || (row.where == forms::both && !has_nul)) {
    run_forms.push_back(subject_form::terminated);
  }
  for (int mode : {0, 1}) {
    for (subject_form form : run_forms) {
      const outcome got = corvane_check::run(row.pattern, row.flags, mode, row.subject, form);
      EXPECT_EQ(corvane_check::describe(got), expected)
          << row.id << " (mode " << mode << ", " << corvane_check::form_name(form) << ")";
    }
  }
}

// Checks every row of a table; rows with a known engine fault are held back
// and reported by skipping the test after the others have been checked.
inline void run_table(const std::vector<accept_case>& table) {
  const bool run_faults = std::getenv("CORVANE_RUN_KNOWN_FAULTS") != nullptr;
  std::string held_back;
  for (const accept_case& row : table) {
    if (row.fault != nullptr && !run_faults) {
      held_back += std::string("\n  ") + row.id + ": " + row.fault;
      continue;
    }
    check_case(row);
  }
  if (!held_back.empty()) GTEST_SKIP() << "engine fault:" << held_back;
}

}  // namespace acceptance
