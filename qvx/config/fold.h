#pragma once

// Internal to the configuration store: the case folding of the ANSI code page that every
// comparison of names, keys and codes uses.

#include <array>
#include <cstddef>

namespace qvx::fold {

constexpr std::array<unsigned char, 256> MakeFoldTable() {
  std::array<unsigned char, 256> table{};
  for (int c = 0; c < 256; ++c) table[c] = static_cast<unsigned char>(c);
  for (int c = 'A'; c <= 'Z'; ++c) table[c] = static_cast<unsigned char>(c + 32);
  // Code page 1252: Š Œ Ž Ÿ and the Latin-1 capitals À..Þ except the multiplication sign.
  table[0x8A] = 0x9A;
  table[0x8C] = 0x9C;
  table[0x8E] = 0x9E;
  table[0x9F] = 0xFF;
  for (int c = 0xC0; c <= 0xDE; ++c)
    if (c != 0xD7) table[c] = static_cast<unsigned char>(c + 32);
  return table;
}

// The lower case of every ANSI character.
inline constexpr std::array<unsigned char, 256> kFold = MakeFoldTable();

// True when `length` characters of text and pattern are equal ignoring case.
inline bool MatchesAt(const unsigned char* text, const unsigned char* pattern, std::size_t length) {
  for (std::size_t i = 0; i < length; ++i)
    if (kFold[text[i]] != kFold[pattern[i]]) return false;
  return true;
}

}  // namespace qvx::fold
