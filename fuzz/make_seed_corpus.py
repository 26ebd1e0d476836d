#!/usr/bin/env python3
"""Writes the seed inputs of the pattern engine fuzz target into fuzz/corpus/.

Each seed is: a flags byte, a mode byte, the pattern as UTF-16LE, one U+FFFF
code unit, the subject as UTF-16LE (layout in fuzz/match_agreement.h).
Run from any folder: python3 fuzz/make_seed_corpus.py
"""
import hashlib
import os

# flags byte bits: 0 nocase, 1 find_all, 2 multiline, 3 singleline,
# 4 from_right, 5 control_escapes, 6 extended, 7 find_all_whole
# mode byte: bit 7 find_all_groups, bits 0-6 a third mode value
SEEDS = [
    (0x00, 1, r"^\\[0-9a-f]{2}\\[0-9a-f]{2}\\[0-9a-f]{2}\\[0-9a-f]{2}\\.*\.kachle",
     r"\79\82\d8\50\turist_13_79d8000_8250000.kachle"),
    (0x00, 2, r"^\\[0-9]{2}\\[0-9]{2,}\\[0-9]{2,}\.(png|jpg)", r"\16\35312\22050.png"),
    (0x00, 3, r"^\\[0-9]{1,2}\\[0-9]{1,}\\[0-9]{1,}\.(png|jpg)", r"\5\17\11.png"),
    (0x00, 1, r"(a|ab)(c|bcd)", "abcd"),
    (0x00, 2, r"(a*)*b", "aaac"),
    (0x00, 1, r"((a)|b)+", "abab"),
    (0x00, 1, r"(?=(a+))a*b\1", "baaabac"),
    (0x00, 1, r"(?<=a|bc)x(?<!b)", "bcxax"),
    (0x00, 1, r"(?>a+)a|(?>ab|a)c", "aaabc"),
    (0x00, 1, r"(a)?(?(1)b|c)(?(?=d)de|f)", "abdecf"),
    (0x00, 2, r"\((?:[^()]|(?R))*\)", "x(a(b)c)y"),
    (0x00, 1, r"a|(?R)b", "bb"),
    (0x01, 1, r"(?i)ab[c-e]\x41(a)\1", "ABDAaA"),
    (0x04, 1, r"^b$|^$", "a\nb\n"),
    (0x08, 1, r".*x", "a\nbx"),
    (0x10, 1, r"(a)(b)?", "aabab"),
    (0x20, 1, r"\n\t\\\a[\v\n]", "\n\t\\\x07\x0b"),
    (0x40, 1, "a b # comment\nc+ ?", "abcc"),
    (0x82, 1, r"a*", "baab"),
    (0x02, 0x81, r"(a)|(b)", "abc"),
    (0x82, 0x80, r"\b", "ab cd"),
    (0x00, 1, r"\Qa.b\E+", "a.b"),
    (0x00, 1, r"a{2,3}?b{,2}c{x}d{", "aab{x}d{"),
    (0x00, 1, r"(a)(b)(c)(d)(e)(f)(g)(h)(i)(j)\10\11", "abcdefghijj\t"),
    (0x00, 1, r"\0101\x41\cj\e\18\81", "\x081A\n\x1b\x018"),
    (0x00, 1, r"[]a-][^]][\d-z][a-\w][[:alpha:][:^digit:]][[:foo:]]", "]b-zZx[]"),
    (0x01, 1, "[\u017e][[:upper:]]\u00e9", "\u017da\u00c9"),
    (0x00, 1, r"\w+\s\W\S\d\D", "a_\u017e \u00e9x1a"),
    (0x00, 1, r"(?i)a(?-i)b|(?s:.)(?m)^", "ABaB\n"),
    (0x00, 1, r"(a(?i)b)c(?x) d e", "aBcde"),
    (0x00, 1, r"\A\Z\z\B$", ""),
    (0x00, 1, r"(?#comment)(?:)(?=)x", "x"),
    (0x00, 1, r"(ab){2,}?(?:a|b){3}", "ababababa"),
    (0x00, 1, r"()\1{3}x", "x"),
    (0x00, 1, r"(?(1)a|b)(x)", "bx"),
    (0x00, 1, r"(?(?=(a))ab|cd)", "ab"),
    (0x00, 1, r"(?<=a+)b(?<!\d{2})", "aab"),
    (0x00, 1, r"a{4294967295}b{0}c{1,1}?", "a{4294967295}c"),
    (0x00, 1, r"(a", "a"),
    (0x00, 1, r"(?i-m-s)", ""),
    (0x00, 1, r"[z-a]", ""),
    (0x00, 1, r"a\c", "$0"),
    (0x00, 1, r"(a)(b)", r"$2$1\U$&\E$'$`\Q$3\E"),
    (0x20, 1, r"(a)", "\\\\\\\\\\n"),
]


def encode(flags, mode, pattern, subject):
    return (bytes([flags, mode]) + pattern.encode("utf-16-le") + b"\xff\xff" +
            subject.encode("utf-16-le"))


def main():
    folder = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus")
    os.makedirs(folder, exist_ok=True)
    for index, (flags, mode, pattern, subject) in enumerate(SEEDS, start=1):
        data = encode(flags, mode, pattern, subject)
        digest = hashlib.sha1(data).hexdigest()[:12]
        with open(os.path.join(folder, "seed-%02d-%s" % (index, digest)), "wb") as out:
            out.write(data)


if __name__ == "__main__":
    main()
