#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "platform/Markup.h"
#include "rules/PageText.h"

namespace larkspire {
namespace {

// A literal, step-by-step model of the page text operations: every step edits the text in place
// exactly as it is described, however slowly. The real functions must give the same bytes.
namespace reference {

bool IsLineBreak(char c) { return c == '\r' || c == '\n'; }

std::string ReplaceAll(std::string s, const std::string& find, const std::string& replacement) {
  if (find.empty()) return s;
  for (std::size_t p = s.find(find); p != std::string::npos; p = s.find(find, p)) {
    s.replace(p, find.size(), replacement);
    p += replacement.size();
  }
  return s;
}

void RemoveComments(std::string& s) {
  std::size_t p = 0;
  for (;;) {
    const std::size_t open = s.find("<!--", p);
    if (open == std::string::npos) return;
    const std::size_t close = s.find("-->", open + 4);
    if (close == std::string::npos) return;
    s.erase(open, close + 3 - open);
    p = open;
  }
}

void DeleteSpacesAt(std::string& s, std::size_t at) {
  std::size_t end = at;
  while (end < s.size() && s[end] == ' ') ++end;
  s.erase(at, end - at);
}

void TrimLineStarts(std::string& s) {
  DeleteSpacesAt(s, 0);
  std::size_t i = 0;
  while (i < s.size()) {
    if (!IsLineBreak(s[i])) {
      ++i;
      continue;
    }
    while (i < s.size() && IsLineBreak(s[i])) ++i;
    DeleteSpacesAt(s, i);
  }
}

void SimplifyTags(std::string& s) {
  std::size_t p = 0;
  for (;;) {
    std::size_t open = s.find('<', p);
    if (open == std::string::npos) return;
    std::size_t run = open;
    while (run > 0 && (s[run - 1] == ' ' || IsLineBreak(s[run - 1]))) --run;
    s.erase(run, open - run);
    open = run;
    std::size_t close = s.find('>', open + 1);
    if (close == std::string::npos) return;
    // A blank, CR or LF ends the name: a tag broken across lines keeps no attributes.
    const std::size_t space = s.find_first_of(" \r\n", open + 1);
    if (space < close) {
      const std::size_t end = s[close - 1] == '/' ? close - 1 : close;
      s.erase(space, end - space);
      close = s.find('>', open + 1);
    }
    for (std::size_t i = open; i <= close; ++i) {
      if (s[i] >= 'A' && s[i] <= 'Z') s[i] = static_cast<char>(s[i] - 'A' + 'a');
    }
    std::size_t after = close + 1;
    while (after < s.size() && s[after] == ' ') ++after;
    if (after == s.size()) return;
    s.erase(close + 1, after - close - 1);
    p = close + 1;
  }
}

std::string NormalizeTags(std::string s) {
  s = ReplaceAll(s, "<p>", "\r\n<p>");
  s = ReplaceAll(s, "<form>", "\r\n<form>");
  s = ReplaceAll(s, "<input>", "\r\n<input>");
  s = ReplaceAll(s, "<table>", "\r\n<table>");
  s = ReplaceAll(s, "<td>", "\r\n<td>");
  s = ReplaceAll(s, "<br>", "<br>\r\n");
  return ReplaceAll(s, "<br/>", "<br/>\r\n");
}

std::string NormalizePage(std::string s) {
  if (s.find("\r\n") == std::string::npos) s = ReplaceAll(s, "\n", "\r\n");
  RemoveComments(s);
  s = ReplaceAll(s, "&nbsp;", " ");
  s = ReplaceAll(s, "&#160;", " ");
  s = ReplaceAll(s, "\xA0", " ");
  s = ReplaceAll(s, "\t", " ");
  SimplifyTags(s);
  TrimLineStarts(s);
  return NormalizeTags(s);
}

std::string PlainText(std::string s) {
  RemoveComments(s);
  for (;;) {
    const std::size_t open = s.find('<');
    if (open == std::string::npos) break;
    const std::size_t close = s.find('>', open + 1);
    if (close == std::string::npos) break;
    s.erase(open, close + 1 - open);
  }
  s = ReplaceAll(s, "&nbsp;", " ");
  TrimLineStarts(s);
  s = ReplaceAll(s, "&lt;", "<");
  s = ReplaceAll(s, "&gt;", ">");
  s = ReplaceAll(s, "&quot;", "\"");
  s = ReplaceAll(s, "&apos;", "'");
  return ReplaceAll(s, "&amp;", "&");
}

std::string CollapseSpace(const std::string& s) {
  const std::string white(" \t\r\n\xA0");
  std::string out = s;
  const std::size_t first = out.find_first_not_of(white);
  if (first == std::string::npos) return "";
  out = out.substr(first, out.find_last_not_of(white) - first + 1);
  for (std::size_t p = out.find_first_of(white); p != std::string::npos;
       p = out.find_first_of(white, p + 1)) {
    const std::size_t end = out.find_first_not_of(white, p);
    out.replace(p, end - p, " ");
  }
  return out;
}

}  // namespace reference

// Builds pages from the pieces that make normalisation interesting.
class CPageFuzzer {
 public:
  explicit CPageFuzzer(unsigned seed) : random_(seed) {}

  std::string Page(std::size_t max_tokens) {
    static const std::vector<std::string> kTokens = {"<",
                                                     ">",
                                                     "<!--",
                                                     "-->",
                                                     "&nbsp;",
                                                     "&#160;",
                                                     "\xA0",
                                                     "\t",
                                                     " ",
                                                     " ",
                                                     "\r\n",
                                                     "\n",
                                                     "\r",
                                                     "<TD width=5>",
                                                     "<br class=x />",
                                                     "<P>",
                                                     "<td>",
                                                     "<br>",
                                                     "<Form id=f>",
                                                     "<INPUT type=\"x\">",
                                                     "<table>",
                                                     "</TD>",
                                                     "/",
                                                     "&",
                                                     "&amp;",
                                                     "&lt;",
                                                     "&gt;",
                                                     "&quot;",
                                                     "&apos;",
                                                     "&nb",
                                                     "sp;",
                                                     "-",
                                                     "!",
                                                     "a",
                                                     "B",
                                                     "xyz",
                                                     "Status:",
                                                     "\xE9",
                                                     "<br/>",
                                                     "<p >",
                                                     "<B CLASS=x>",
                                                     "<TD\r\n align=5>",
                                                     "<br\n/>"};
    std::uniform_int_distribution<std::size_t> count(0, max_tokens);
    std::uniform_int_distribution<std::size_t> pick(0, kTokens.size() - 1);
    std::string page;
    for (std::size_t n = count(random_); n > 0; --n) page += kTokens[pick(random_)];
    return page;
  }

 private:
  std::mt19937 random_;
};

std::string Visible(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else if (static_cast<unsigned char>(c) >= 0x80) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned char>(c));
      out += hex;
    } else {
      out += c;
    }
  }
  return out;
}

struct TextCase {
  const char* input;
  const char* expected;
};

class NormalizePageFragments : public ::testing::TestWithParam<TextCase> {};

TEST_P(NormalizePageFragments, GiveTheNormalForm) {
  const TextCase& c = GetParam();
  EXPECT_EQ(Visible(NormalizePage(c.input)), Visible(c.expected)) << Visible(c.input);
  EXPECT_EQ(Visible(reference::NormalizePage(c.input)), Visible(c.expected)) << "reference model";
}

INSTANTIATE_TEST_SUITE_P(
    PageText, NormalizePageFragments,
    ::testing::Values(
        // Bare LF line ends gain CR; one CR LF anywhere leaves the other line ends alone.
        TextCase{"a\nb\n", "a\r\nb\r\n"}, TextCase{"a\r\nb\nc", "a\r\nb\nc"},
        TextCase{"Text  <B CLASS=x>Status:</B>  Pending", "Text<b>Status:</b>Pending"},
        TextCase{"<tr><td  align=left>x</td>", "<tr>\r\n<td>x</td>"},
        TextCase{"<TD width=5>", "\r\n<td>"}, TextCase{"a<br class=x />b", "a<br/>\r\nb"},
        TextCase{"<INPUT type=\"button\" onclick=\"document.ptahist_form.submit()\">",
                 "\r\n<input>"},
        TextCase{"<!-- a --><td>", "\r\n<td>"},
        // Comments close at the first "-->"; the search goes on after the removed one.
        TextCase{"a<!-- b -->c<!-- d -->e", "ace"}, TextCase{"a<!-- b --> c -->", "a c -->"},
        // An unterminated comment stays (and stops tag processing: it has no ">").
        TextCase{"x<!-- never closed", "x<!-- never closed"},
        // The white space before a "<" goes even when no ">" follows.
        TextCase{"<B>x \r\n <c", "<b>x<c"},
        // Blanks after the last tag stay; blanks before a later tag go.
        TextCase{"<B>   ", "<b>   "}, TextCase{"<B>   x", "<b>x"},
        TextCase{"A&nbsp;B&#160;C\xA0"
                 "D\tE",
                 "A B C D E"},
        TextCase{"<P>one\r\n   two\r\n\t<TABLE border=1>", "\r\n<p>one\r\ntwo\r\n<table>"},
        TextCase{"<FORM name=f><BR>", "\r\n<form><br>\r\n"},
        // A line break ends a tag's name as a blank does, so a tag broken across lines loses
        // its attributes and matches the patterns written for it.
        TextCase{"<A\r\nHREF=x>", "<a>"}, TextCase{"<TD\r\n  align=left>x", "\r\n<td>x"},
        TextCase{"<TD\n  align=left>x\n", "\r\n<td>x\r\n"}, TextCase{"<td\ralign=x>", "\r\n<td>"},
        TextCase{"<BR\r\n/>a", "<br/>\r\na"},
        // A stray "<" in text swallows what follows up to the next ">".
        TextCase{"a < b and c > d", "a<>d"}, TextCase{"", ""}));

class PlainTextCases : public ::testing::TestWithParam<TextCase> {};

TEST_P(PlainTextCases, DropMarkupAndDecode) {
  const TextCase& c = GetParam();
  EXPECT_EQ(Visible(PlainText(c.input)), Visible(c.expected)) << Visible(c.input);
}

INSTANTIATE_TEST_SUITE_P(
    PageText, PlainTextCases,
    ::testing::Values(TextCase{"<td>A&amp;B&nbsp;&lt;C&gt;</td>", "A&B <C>"},
                      TextCase{"&amp;lt;", "&lt;"}, TextCase{"&quot;x&apos;", "\"x'"},
                      TextCase{"a<!-- <b>c</b> -->d", "ad"}, TextCase{"a < b", "a < b"},
                      TextCase{"&#160;&eacute;", "&#160;&eacute;"},
                      TextCase{"<b>x</b>\r\n   y", "x\r\ny"}, TextCase{"  &nbsp;z", "z"}));

TEST(PageText, FastFormsMatchTheStepwiseModelOnRandomPages) {
  CPageFuzzer fuzzer(20070105);
  for (int i = 0; i < 20000; ++i) {
    const std::string page = fuzzer.Page(40);
    ASSERT_EQ(Visible(NormalizePage(page)), Visible(reference::NormalizePage(page)))
        << "page: " << Visible(page);
    ASSERT_EQ(Visible(PlainText(page)), Visible(reference::PlainText(page)))
        << "page: " << Visible(page);
    ASSERT_EQ(Visible(NormalizeTags(page)), Visible(reference::NormalizeTags(page)))
        << "page: " << Visible(page);
    ASSERT_EQ(Visible(CollapseSpace(page)), Visible(reference::CollapseSpace(page)))
        << "page: " << Visible(page);
  }
}

TEST(PageText, ReplaceAllMatchesTheModelOnRandomText) {
  std::mt19937 random(42);
  auto text_of_length = [&](int max) {
    std::string text(std::uniform_int_distribution<int>(0, max)(random), 'a');
    for (char& c : text) c = "ab/"[std::uniform_int_distribution<int>(0, 2)(random)];
    return text;
  };
  for (int i = 0; i < 20000; ++i) {
    const std::string text = text_of_length(12);
    const std::string find = text_of_length(3);
    const std::string replacement = text_of_length(3);
    ASSERT_EQ(ReplaceAll(text, find, replacement), reference::ReplaceAll(text, find, replacement))
        << text << " / " << find << " / " << replacement;
  }
}

TEST(PageText, ReplaceAllNeverRescansAReplacement) {
  EXPECT_EQ(ReplaceAll("aaa", "aa", "a"), "aa");
  EXPECT_EQ(ReplaceAll("aa", "a", "aa"), "aaaa");
  EXPECT_EQ(ReplaceAll("x-y-z", "-", ""), "xyz");
  EXPECT_EQ(ReplaceAll("abc", "", "zz"), "abc");
  EXPECT_EQ(ReplaceAll("", "a", "b"), "");
}

TEST(PageText, CollapseSpaceTrimsAndFolds) {
  EXPECT_EQ(CollapseSpace(" \t\r\n\xA0 "), "");
  EXPECT_EQ(CollapseSpace("\xA0"
                          "a \t b\xA0\xA0"
                          "c\r\n"),
            "a b c");
  EXPECT_EQ(CollapseSpace("one"), "one");
}

TEST(PageText, TrimDashTrimsBlanksOnlyAndEmptiesALoneDash) {
  EXPECT_EQ(TrimDash("  -  "), "");
  EXPECT_EQ(TrimDash("-"), "");
  EXPECT_EQ(TrimDash("--"), "--");
  EXPECT_EQ(TrimDash("  a b  "), "a b");
  EXPECT_EQ(TrimDash("\t-"), "\t-");
  EXPECT_EQ(TrimDash("   "), "");
}

TEST(PageText, EncodeEntitiesEscapesTheFiveOnce) {
  EXPECT_EQ(EncodeEntities("a<b & c\""), "a&lt;b &amp; c&quot;");
  EXPECT_EQ(EncodeEntities("'>"), "&apos;&gt;");
  EXPECT_EQ(EncodeEntities("&amp;"), "&amp;amp;");
  EXPECT_EQ(PlainText(EncodeEntities("<a href='x'>&\"</a>")), "<a href='x'>&\"</a>");
}

TEST(PageText, SplitHeadTakesTextBeforeTheSeparator) {
  std::string source = "a, b, c";
  EXPECT_EQ(SplitHead(source, ", "), "a");
  EXPECT_EQ(source, "b, c");
  EXPECT_EQ(SplitHead(source, ", "), "b");
  EXPECT_EQ(SplitHead(source, ", "), "c");
  EXPECT_EQ(source, "");

  source = ",x";
  EXPECT_EQ(SplitHead(source, ","), "");
  EXPECT_EQ(source, "x");
}

TEST(PageText, SplitHeadWithoutSeparatorTakesEverything) {
  std::string source = "whole";
  EXPECT_EQ(SplitHead(source, "|"), "whole");
  EXPECT_EQ(source, "");
  // An empty separator must not leave the source unchanged, or a split loop never ends.
  source = "abc";
  EXPECT_EQ(SplitHead(source, ""), "abc");
  EXPECT_EQ(source, "");
}

TEST(PageText, FindTextRetriesUpperCased) {
  EXPECT_EQ(FindText("xx Customer Number: 123", "customer number:"), 3u);
  // An exact hit anywhere wins over an earlier case-insensitive one.
  EXPECT_EQ(FindText("CUSTOMER NUMBER: a customer number: b", "customer number:"), 19u);
  EXPECT_EQ(FindText("abc ABC", "abc", 1), 4u);
  EXPECT_EQ(FindText("r\xC9sum\xC9", "\xE9sum\xE9"), 1u);
  EXPECT_EQ(FindText("abc", "abd"), std::nullopt);
  EXPECT_EQ(FindText("abc", "c", 9), std::nullopt);
}

TEST(PageText, SearchesMatchTheStandardOnesOnRandomText) {
  // Letters of both cases, Windows-1252 letters whose upper case lies elsewhere in the table
  // (0x9A/0x8A, 0xFF/0x9F, 0xE9/0xC9) and the line ends every rules needle starts with.
  const std::string alphabet = "aAbB\r\n<:\x9A\x8A\xFF\x9F\xE9\xC9";
  std::mt19937 random(7);
  auto text_of_length = [&](int max) {
    std::string text(std::uniform_int_distribution<int>(0, max)(random), 'a');
    for (char& c : text) {
      c = alphabet[std::uniform_int_distribution<std::size_t>(0, alphabet.size() - 1)(random)];
    }
    return text;
  };
  for (int i = 0; i < 20000; ++i) {
    const std::string text = text_of_length(14);
    const std::string needle = text_of_length(3);
    const std::size_t start = std::uniform_int_distribution<std::size_t>(0, 16)(random);
    ASSERT_EQ(FindBytes(text, needle, start), text.find(needle, start))
        << Visible(text) << " / " << Visible(needle) << " from " << start;
    std::size_t expected = text.find(needle, start);
    if (expected == std::string::npos) expected = UpperAnsi(text).find(UpperAnsi(needle), start);
    ASSERT_EQ(FindText(text, needle, start).value_or(std::string::npos), expected)
        << Visible(text) << " / " << Visible(needle) << " from " << start;
  }
}

TEST(PageText, UpperAnsiFollowsWindows1252) {
  const struct {
    unsigned char in;
    unsigned char out;
  } kCases[] = {{'a', 'A'},   {'z', 'Z'},   {'A', 'A'},   {'1', '1'},   {0xE0, 0xC0},
                {0xFE, 0xDE}, {0xF7, 0xF7}, {0xFF, 0x9F}, {0x9A, 0x8A}, {0x9C, 0x8C},
                {0x9E, 0x8E}, {0xDF, 0xDF}, {0xB5, 0xB5}, {0xA0, 0xA0}, {0x8A, 0x8A}};
  for (const auto& c : kCases) {
    const std::string in(1, static_cast<char>(c.in));
    EXPECT_EQ(static_cast<unsigned char>(UpperAnsi(in)[0]), c.out) << int{c.in};
  }
}

}  // namespace
}  // namespace larkspire
