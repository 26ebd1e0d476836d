#include "regex/substitution.h"

#include "regex/syntax.h"

namespace regex::detail {

void process_substitution_escapes(std::u16string& text) {
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t i = text.find(u'\\', pos);
    if (i == std::u16string::npos || i + 1 >= text.size()) return;
    char16_t control = 0;
    switch (text[i + 1]) {
      case u'a': control = 7; break;
      case u'e': control = 27; break;
      case u'f': control = 12; break;
      case u'n': control = 10; break;
      case u'r': control = 13; break;
      case u't': control = 9; break;
      case u'v': control = 11; break;
      case u'\\':
        if (i + 3 < text.size() && text[i + 2] == u'\\' && text[i + 3] == u'\\') text.erase(i, 2);
        break;
      default: break;
    }
    if (control != 0) {
      text.replace(i, 2, 1, control);
      pos = i + 1;
    } else {
      pos = i + 2;
    }
  }
}

void parse_substitution(const std::u16string& text, unsigned visible_groups, std::vector<subst_piece>& pieces,
                        bool& uses_captures) {
  using syntax = perl_syntax<char16_t>;
  const char16_t* const base = text.data();
  const char16_t* const end = base + text.size();
  const unsigned highest = visible_groups == 0 ? 0 : visible_groups - 1;
  std::vector<subst_piece> out;
  bool uses = false;
  const char16_t* run = base;  // start of the pending literal run
  const char16_t* c = base;
  auto flush = [&](const char16_t* run_end) {
    if (run_end > run) {
      out.push_back({subst_piece::literal, static_cast<std::int32_t>(run - base),
                     static_cast<std::uint32_t>(run_end - run)});
    }
  };
  auto operation = [&](std::int32_t op) { out.push_back({subst_piece::operation, op, 0}); };

  while (c != end) {
    const char16_t* token_start = c;
    switch (syntax::next_substitution(c, end)) {
      case substitution_token::none:
        ++c;
        break;
      case substitution_token::capture_number: {
        unsigned value = 0;
        while (c != end && *c >= u'0' && *c <= u'9' && value < highest) {
          value = value * 10 + static_cast<unsigned>(*c - u'0');
          ++c;
        }
        if (value > highest) {
          --c;
          value /= 10;
        }
        if (value == 0) throw bad_regexpr("invalid backreference in substitution");
        flush(token_start);
        out.push_back({subst_piece::capture, static_cast<std::int32_t>(value), 0});
        uses = true;
        run = c;
        break;
      }
      case substitution_token::whole_match:
      case substitution_token::before_match:
      case substitution_token::after_match: {
        const char16_t kind = token_start[1];
        flush(token_start);
        out.push_back({subst_piece::capture,
                       kind == u'&' ? subst_piece::whole_match
                                    : (kind == u'`' ? subst_piece::before_match : subst_piece::after_match),
                       0});
        uses = true;
        run = c;
        break;
      }
      case substitution_token::escape_at_end:
        throw bad_regexpr("expecting escape sequence in substitution string");
      case substitution_token::escape:
        flush(token_start);
        run = c;  // the escaped character starts the next run
        ++c;
        break;
      case substitution_token::quote_start: {
        flush(token_start);
        const char16_t* from = c;
        while (c != end && !(c[0] == u'\\' && c + 1 != end && c[1] == u'E')) ++c;
        run = from;
        flush(c);
        if (c != end) {
          c += 2;
          operation(subst_piece::end_case);
        }
        run = c;
        break;
      }
      case substitution_token::upper_all: flush(token_start); operation(subst_piece::upper_all); run = c; break;
      case substitution_token::upper_one: flush(token_start); operation(subst_piece::upper_one); run = c; break;
      case substitution_token::lower_all: flush(token_start); operation(subst_piece::lower_all); run = c; break;
      case substitution_token::lower_one: flush(token_start); operation(subst_piece::lower_one); run = c; break;
      case substitution_token::quote_end: flush(token_start); operation(subst_piece::end_case); run = c; break;
    }
  }
  flush(end);
  pieces.swap(out);
  uses_captures = uses;
}

}  // namespace regex::detail
