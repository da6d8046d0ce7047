#include "qvx/config/text.h"

#include <algorithm>
#include <limits>

#include "qvx/config/fold.h"

namespace qvx {

using fold::kFold;
using fold::MatchesAt;

namespace {

// Code page 1252 from 0x80 to 0x9F, where it differs from Latin-1.
constexpr char16_t kAnsi80To9F[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

}  // namespace

char16_t AnsiToUnicode(unsigned char c) {
  return c >= 0x80 && c <= 0x9F ? kAnsi80To9F[c - 0x80] : static_cast<char16_t>(c);
}

char UnicodeToAnsi(char16_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<char>(c);
  for (int i = 0; i < 32; ++i)
    if (kAnsi80To9F[i] == c) return static_cast<char>(0x80 + i);
  return '?';
}

unsigned char FoldCase(unsigned char c) { return kFold[c]; }

std::string ToLower(std::string_view text) {
  std::string lower(text);
  for (auto& c : lower) c = static_cast<char>(kFold[static_cast<unsigned char>(c)]);
  return lower;
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         MatchesAt(reinterpret_cast<const unsigned char*>(a.data()),
                   reinterpret_cast<const unsigned char*>(b.data()), a.size());
}

std::size_t FindInText(std::string_view pattern, std::string_view text, std::size_t start) {
  if (start < 1) start = 1;
  if (start > text.size() + 1) return 0;
  const std::size_t m = pattern.size();
  if (m == 0) return start;
  if (m > text.size() - (start - 1)) return 0;
  // A configuration is a few kilobytes: a plain scan on the folded first character is enough.
  const auto* hay = reinterpret_cast<const unsigned char*>(text.data());
  const auto* pat = reinterpret_cast<const unsigned char*>(pattern.data());
  const unsigned char first = kFold[pat[0]];
  for (std::size_t i = start - 1; i <= text.size() - m; ++i)
    if (kFold[hay[i]] == first && MatchesAt(hay + i + 1, pat + 1, m - 1)) return i + m + 1;
  return 0;
}

std::optional<std::string> ReadLineValue(std::string_view text, std::size_t pos) {
  if (pos < 1 || pos > text.size()) return std::nullopt;
  const std::size_t cr = text.find('\r', pos);  // 0-based index pos is the second character
  if (cr == std::string_view::npos) return std::nullopt;
  return std::string(TrimBlanks(text.substr(pos - 1, cr - (pos - 1))));
}

std::string InsertText(std::string_view text, std::string_view insertion, std::size_t pos) {
  const std::size_t at = std::clamp<std::size_t>(pos, 1, text.size() + 1) - 1;
  std::string result;
  result.reserve(text.size() + insertion.size());
  result.append(text.substr(0, at)).append(insertion).append(text.substr(at));
  return result;
}

std::string DeleteText(std::string_view text, std::size_t first, std::size_t last) {
  if (first < 1) first = 1;
  if (last > text.size()) last = text.size();
  if (first > last) return std::string(text);
  std::string result(text.substr(0, first - 1));
  result.append(text.substr(last));
  return result;
}

bool HoldsLineBreak(std::string_view text) {
  return text.find_first_of("\r\n") != std::string_view::npos;
}

std::string_view TrimBlanks(std::string_view text) {
  const std::size_t begin = text.find_first_not_of(' ');
  if (begin == std::string_view::npos) return {};
  const std::size_t end = text.find_last_not_of(' ');
  return text.substr(begin, end - begin + 1);
}

std::string_view TrimWhitespace(std::string_view text) {
  constexpr std::string_view kWhitespace = " \t\r\n";
  const std::size_t begin = text.find_first_not_of(kWhitespace);
  if (begin == std::string_view::npos) return {};
  return text.substr(begin, text.find_last_not_of(kWhitespace) - begin + 1);
}

long LeadingDigits(std::string_view text, long limit) {
  long value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') break;
    const int digit = c - '0';
    value = value > (limit - digit) / 10 ? limit : value * 10 + digit;
  }
  return value;
}

long LeadingInteger(std::string_view text, long limit) {
  const bool negative = text.starts_with('-');
  if (negative || text.starts_with('+')) text.remove_prefix(1);
  const long value = LeadingDigits(text, limit);
  return negative ? -value : value;
}

std::optional<std::int16_t> ReadInteger16(std::string_view text) {
  constexpr long kBeyond16Bits = 100'000;
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return 0;
  const long value = LeadingInteger(text.substr(first), kBeyond16Bits);
  if (value < std::numeric_limits<std::int16_t>::min() ||
      value > std::numeric_limits<std::int16_t>::max())
    return std::nullopt;
  return static_cast<std::int16_t>(value);
}

std::size_t FindBack(std::string_view text, char c, std::size_t pos) {
  if (pos < 1 || text.empty()) return 0;
  const std::size_t found = text.rfind(c, std::min(pos, text.size()) - 1);
  return found == std::string_view::npos ? 0 : found + 1;
}

std::string_view Between(std::string_view text, std::size_t first, std::size_t last) {
  if (first < 1) first = 1;
  if (last > text.size()) last = text.size();
  if (last < first) return {};
  return text.substr(first - 1, last - first + 1);
}

std::string FormatNumber(long value) {
  return value < 0 ? std::to_string(value) : " " + std::to_string(value);
}

}  // namespace qvx
