#pragma once

// Internal to the configuration store: the case tables of FindInText and its block filter,
// which search_filter.cpp implements once and the build compiles twice, for AVX2 and for the
// processor's baseline (see CMakeLists.txt).

#include <array>
#include <cstddef>

namespace qvx::search {

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

// The other character that folds to the same lower case as c (c itself when there is none).
constexpr std::array<unsigned char, 256> MakePartnerTable() {
  std::array<unsigned char, 256> partner{};
  for (int c = 0; c < 256; ++c) partner[c] = static_cast<unsigned char>(c);
  for (int c = 0; c < 256; ++c) {
    const unsigned char lower = kFold[c];
    if (lower != c) {
      partner[c] = lower;
      partner[lower] = static_cast<unsigned char>(c);
    }
  }
  return partner;
}

inline constexpr std::array<unsigned char, 256> kPartner = MakePartnerTable();

// True when `length` characters of text and pattern are equal ignoring case.
inline bool MatchesAt(const unsigned char* text, const unsigned char* pattern, std::size_t length) {
  for (std::size_t i = 0; i < length; ++i)
    if (kFold[text[i]] != kFold[pattern[i]]) return false;
  return true;
}

// A search of pattern[0..m) in hay, at 0-based positions up to lastCandidate.
struct Filter {
  const unsigned char* hay;
  const unsigned char* pat;
  std::size_t m;
  std::size_t lastCandidate;
};

inline constexpr std::size_t kNone = static_cast<std::size_t>(-1);

// Candidate positions are filtered on the first, the middle and the last pattern character (the
// middle one tells apart codes whose lines all start alike), each in both cases, a block of
// positions at a time; only the survivors are compared in full. Each returns the 0-based
// position of the match, or kNone, and leaves i at the first position it did not try. The AVX2
// one may only run where the processor has AVX2.
std::size_t FilterBlocksAvx2(const Filter& filter, std::size_t& i);
std::size_t FilterBlocksBaseline(const Filter& filter, std::size_t& i);

}  // namespace qvx::search
