#pragma once

// Text primitives of the configuration store. The configuration is one text of 8-bit
// characters (Windows ANSI); positions are 1-based and 0 means "not found", so the result of
// one search is the start of the next.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qvx {

// The Unicode character of an ANSI (code page 1252) byte. The five bytes the code page leaves
// undefined keep their value (0x81 is U+0081), so that every byte converts back as it was.
char16_t AnsiToUnicode(unsigned char c);

// The ANSI byte of a Unicode character; "?" for one the code page does not have.
char UnicodeToAnsi(char16_t c);

// Lower-case form of one ANSI character (ASCII letters and the Latin-1 letters of code page 1252).
unsigned char FoldCase(unsigned char c);

// Lower-cased copy of a text, folded as FoldCase does.
std::string ToLower(std::string_view text);

// True when both texts are equal ignoring case.
bool EqualsIgnoreCase(std::string_view a, std::string_view b);

// Searches pattern in text from position start (1-based), ignoring case; returns the 1-based
// position just after the match, or 0 when there is none.
std::size_t FindInText(std::string_view pattern, std::string_view text, std::size_t start);

// Value of a key line: the text from pos up to (not including) the next CR, trimmed of blanks.
// The CR search starts one character after pos. Empty optional when no CR follows.
std::optional<std::string> ReadLineValue(std::string_view text, std::size_t pos);

// The text with insertion placed before the character at pos (1-based; size()+1 appends).
std::string InsertText(std::string_view text, std::string_view insertion, std::size_t pos);

// The text without the characters first to last (1-based, both included).
std::string DeleteText(std::string_view text, std::size_t first, std::size_t last);

// True when the text holds a CR or an LF: a name or value with one would split its line.
bool HoldsLineBreak(std::string_view text);

// The text without leading and trailing blanks (spaces; tabs are not blanks).
std::string_view TrimBlanks(std::string_view text);

// The text without leading and trailing white space: spaces, tabs, CR and LF.
std::string_view TrimWhitespace(std::string_view text);

// The decimal digits at the start of a text, up to the first other character, as a number; 0
// when the text starts with no digit. The value stops at `limit` (at least 9), so a long run
// of digits never overflows and callers range-check the result.
long LeadingDigits(std::string_view text, long limit);

// An optional sign ("+" or "-") followed by LeadingDigits: the number at the start of a text,
// its size saturating at `limit`; 0 when no digit follows the sign.
long LeadingInteger(std::string_view text, long limit);

// An integer value of the file: the leading number after blanks and tabs (0 when there is none), as
// a 16-bit signed value; nothing when it lies outside -32768 to 32767.
std::optional<std::int16_t> ReadInteger16(std::string_view text);

// 1-based position of the last occurrence of c at or before pos, or 0.
std::size_t FindBack(std::string_view text, char c, std::size_t pos);

// The text from position first (1-based) up to and including position last; empty when last < first.
std::string_view Between(std::string_view text, std::size_t first, std::size_t last);

// A number as the dialogs write it into the file: with a leading blank when it is not negative.
std::string FormatNumber(long value);

}  // namespace qvx
