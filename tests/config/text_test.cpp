#include "qvx/config/text.h"

#include <gtest/gtest.h>

#include <random>


namespace qvx {
namespace {

// Straightforward reference of the search: position after the first case-insensitive match.
std::size_t ReferenceFind(std::string_view pattern, std::string_view text, std::size_t start) {
  for (std::size_t i = start - 1; i + pattern.size() <= text.size(); ++i) {
    bool match = true;
    for (std::size_t k = 0; k < pattern.size() && match; ++k)
      match = FoldCase(static_cast<unsigned char>(text[i + k])) ==
              FoldCase(static_cast<unsigned char>(pattern[k]));
    if (match) return i + pattern.size() + 1;
  }
  return 0;
}

TEST(FindInText, ReturnsPositionAfterMatchIgnoringCase) {
  const std::string text = "[General]\r\nCOMPORT= 1\r\n";
  struct Case {
    std::string pattern;
    std::size_t start;
    std::size_t expected;
  } cases[] = {
      {"[general]", 1, 10}, {"comport=", 1, 20}, {"COMPORT=", 12, 20},
      {"COMPORT=", 13, 0},  {"[End]", 1, 0},     {"", 5, 5},
      {"\r\n", 12, 24},     {"x", 100, 0},       {"[GENERAL]\r\nCOMPORT= 1\r\n+", 1, 0},
  };
  for (const auto& c : cases)
    EXPECT_EQ(FindInText(c.pattern, text, c.start), c.expected) << c.pattern << " from " << c.start;
}

TEST(FindInText, FoldsTheLettersOfTheAnsiCodePage) {
  EXPECT_EQ(FindInText("\xC9t\xC9", "l'\xE9t\xE9", 1), 6u);     // ÉTÉ in été
  EXPECT_EQ(FindInText("\x8A", "\x9A", 1), 2u);                  // Š and š
  EXPECT_EQ(FindInText("\xD7", "\xF7", 1), 0u);                  // × and ÷ are not letters
  EXPECT_EQ(FindInText("[", "{", 1), 0u);                        // 0x5B and 0x7B differ by case bit only
}

TEST(FindInText, AgreesWithReferenceOnRandomTexts) {
  std::mt19937 rng(7);
  const std::string alphabet = "aAbB[],\r\n=G01\xE9\xC9";
  for (int round = 0; round < 3000; ++round) {
    std::string text(rng() % 90, ' ');
    for (auto& c : text) c = alphabet[rng() % alphabet.size()];
    std::string pattern(1 + rng() % 4, ' ');
    for (auto& c : pattern) c = alphabet[rng() % alphabet.size()];
    const std::size_t start = 1 + rng() % (text.size() + 1);
    ASSERT_EQ(FindInText(pattern, text, start), ReferenceFind(pattern, text, start))
        << "pattern '" << pattern << "' in '" << text << "' from " << start;
  }
}

TEST(LeadingInteger, ReadsSignAndDigitsAndSaturates) {
  struct Case {
    std::string_view text;
    long limit, digits, integer;
  } cases[] = {
      {"", 100, 0, 0},          {"12ab", 100, 12, 12},    {"-7", 100, 0, -7},
      {"+7", 100, 0, 7},        {" 7", 100, 0, 0},        {"--7", 100, 0, 0},
      {"99999999999999999999", 65537, 65537, 65537},       {"-123456", 100, 0, -100},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.text));
    EXPECT_EQ(LeadingDigits(c.text, c.limit), c.digits);
    EXPECT_EQ(LeadingInteger(c.text, c.limit), c.integer);
  }
}

TEST(FindInText, FindsMatchesAtEveryOffsetOfALongText) {
  std::string text(200, '.');
  for (std::size_t at = 0; at + 3 <= text.size(); ++at) {
    std::string copy = text;
    copy.replace(at, 3, "G1,");
    ASSERT_EQ(FindInText("g1,", copy, 1), at + 4) << at;
    ASSERT_EQ(FindInText("g1,", copy, at + 2), 0u) << at;
  }
}

TEST(ReadLineValue, TakesTheTrimmedRestOfTheLine) {
  const std::string text = "A= 12 \r\nB=7\r\nC= \r\nD=\r\nE= tail";
  EXPECT_EQ(ReadLineValue(text, 3), "12");
  EXPECT_EQ(ReadLineValue(text, 11), "7");
  EXPECT_EQ(ReadLineValue(text, 16), "");
  EXPECT_EQ(ReadLineValue(text, 25), std::nullopt);  // no CR ends the last line
  // With nothing after "=", the first character is taken without looking for the CR, so the
  // value runs on to the end of the next line: the writers' blank after "=" prevents this.
  EXPECT_EQ(ReadLineValue("D=\r\nE=5\r\n", 3), "\r\nE=5");
}

TEST(EditPrimitives, InsertAndDeleteUseOneBasedInclusivePositions) {
  EXPECT_EQ(InsertText("abcd", "XY", 1), "XYabcd");
  EXPECT_EQ(InsertText("abcd", "XY", 3), "abXYcd");
  EXPECT_EQ(InsertText("abcd", "XY", 5), "abcdXY");
  EXPECT_EQ(DeleteText("abcdef", 2, 4), "aef");
  EXPECT_EQ(DeleteText("abcdef", 6, 6), "abcde");
  EXPECT_EQ(DeleteText("abcdef", 4, 3), "abcdef");
  EXPECT_EQ(TrimBlanks("  a b \t "), "a b \t");
  EXPECT_EQ(TrimWhitespace(" \t\r\na b\r\n\t "), "a b");
  EXPECT_EQ(TrimWhitespace("\r\n"), "");
  EXPECT_EQ(FindBack("a\nb\nc", '\n', 5), 4u);
  EXPECT_EQ(FindBack("a\nb\nc", '\n', 3), 2u);
  EXPECT_EQ(FindBack("abc", '\n', 3), 0u);
}

// The window shows the file's bytes as code page 1252 has them, and every byte comes back as it
// was; a character the code page lacks is written as "?".
TEST(AnsiText, ConvertsThroughCodePage1252) {
  for (int byte = 0; byte < 256; ++byte)
    EXPECT_EQ(static_cast<unsigned char>(UnicodeToAnsi(AnsiToUnicode(static_cast<unsigned char>(byte)))),
              byte);
  const std::pair<unsigned char, char16_t> known[] = {
      {'A', u'A'}, {0x80, u'\u20AC'}, {0x8A, u'\u0160'}, {0x93, u'\u201C'},
      {0x9F, u'\u0178'}, {0x81, u'\u0081'}, {0xE9, u'\u00E9'},
  };
  for (const auto& [byte, unicode] : known) EXPECT_EQ(AnsiToUnicode(byte), unicode) << int{byte};
  EXPECT_EQ(UnicodeToAnsi(u'\u4E00'), '?');
  EXPECT_EQ(UnicodeToAnsi(u'\u0080'), '?');  // the Latin-1 control, not the euro sign
}

}  // namespace
}  // namespace qvx
