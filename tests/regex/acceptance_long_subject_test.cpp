// LONG: a million-character subject under a repeated group, under both
// strategies and both subject forms. Each run happens in a child process so
// that a crash (for example a stack overflow) fails the test with its exit
// status instead of ending the whole test program.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "fuzz/match_agreement.h"

namespace {

using corvane_check::subject_form;

constexpr std::size_t kLength = 1'000'000;

// Runs one match in a child and expects the child to find `expected`.
void expect_long_match(const std::u16string& pattern, const std::u16string& subject,
                       const std::string& expected) {
  for (int mode : {0, 1}) {
    for (subject_form form : {subject_form::bounded, subject_form::terminated}) {
      EXPECT_EXIT(
          {
            const auto got = corvane_check::run(pattern, 0, mode, subject, form);
            const std::string text = corvane_check::describe(got);
            std::fprintf(stderr, "got %s\n", text.c_str());
            std::exit(text == expected ? 0 : 1);
          },
          ::testing::ExitedWithCode(0), "")
          << "mode " << mode << ", " << corvane_check::form_name(form);
    }
  }
}

// LONG-1: (ab)* over 500000 repetitions captures the last pass.
TEST(LongSubject, RepeatedCapturingGroup) {
  std::u16string subject;
  subject.reserve(kLength);
  while (subject.size() < kLength) subject += u"ab";
  expect_long_match(u"(ab)*", subject, "0-1000000 999998-1000000");
}

// LONG-2: (?:a|b)*c? over a million seeded a/b characters, ending without c.
TEST(LongSubject, RepeatedAlternation) {
  std::u16string subject(kLength, u'a');
  std::uint32_t state = 12345u;
  for (auto& c : subject) {
    state = state * 1103515245u + 12345u;
    if (state & 0x10000u) c = u'b';
  }
  expect_long_match(u"(?:a|b)*c?", subject, "0-1000000");
}

}  // namespace
