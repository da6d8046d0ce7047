#include "qvx/config/text.h"

#include <algorithm>
#include <array>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

namespace qvx {
namespace {

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

constexpr std::array<unsigned char, 256> kFold = MakeFoldTable();

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

constexpr std::array<unsigned char, 256> kPartner = MakePartnerTable();

bool MatchesAt(const unsigned char* text, const unsigned char* pattern, std::size_t length) {
  for (std::size_t i = 0; i < length; ++i)
    if (kFold[text[i]] != kFold[pattern[i]]) return false;
  return true;
}

}  // namespace

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

namespace {

// Candidate positions are filtered on the first, the middle and the last pattern character (the
// middle one tells apart codes whose lines all start alike), each in both cases, many positions at a time; only the survivors are compared in full. Each filter returns
// the 0-based position of the match, or npos, and leaves i at the first position it did not try.
struct Filter {
  const unsigned char* hay;
  const unsigned char* pat;
  std::size_t m;
  std::size_t lastCandidate;  // 0-based
};

constexpr std::size_t kNone = static_cast<std::size_t>(-1);

#if defined(__x86_64__) || defined(__i386__)
__attribute__((target("avx2"))) std::size_t FilterAvx2(const Filter& f, std::size_t& i) {
  const auto first = static_cast<char>(f.pat[0]), last = static_cast<char>(f.pat[f.m - 1]);
  const __m256i firstA = _mm256_set1_epi8(first);
  const __m256i firstB = _mm256_set1_epi8(static_cast<char>(kPartner[f.pat[0]]));
  const __m256i lastA = _mm256_set1_epi8(last);
  const __m256i lastB = _mm256_set1_epi8(static_cast<char>(kPartner[f.pat[f.m - 1]]));
  const std::size_t mid = f.m / 2;
  const __m256i midA = _mm256_set1_epi8(static_cast<char>(f.pat[mid]));
  const __m256i midB = _mm256_set1_epi8(static_cast<char>(kPartner[f.pat[mid]]));
  for (; i + 32 <= f.lastCandidate + 1; i += 32) {
    const __m256i head = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(f.hay + i));
    const __m256i middle = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(f.hay + i + mid));
    const __m256i tail = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(f.hay + i + f.m - 1));
    const __m256i hit = _mm256_and_si256(
        _mm256_and_si256(
            _mm256_or_si256(_mm256_cmpeq_epi8(head, firstA), _mm256_cmpeq_epi8(head, firstB)),
            _mm256_or_si256(_mm256_cmpeq_epi8(middle, midA), _mm256_cmpeq_epi8(middle, midB))),
        _mm256_or_si256(_mm256_cmpeq_epi8(tail, lastA), _mm256_cmpeq_epi8(tail, lastB)));
    for (unsigned mask = static_cast<unsigned>(_mm256_movemask_epi8(hit)); mask != 0;
         mask &= mask - 1) {
      const std::size_t at = i + static_cast<std::size_t>(__builtin_ctz(mask));
      if (MatchesAt(f.hay + at + 1, f.pat + 1, f.m > 2 ? f.m - 2 : 0)) return at;
    }
  }
  return kNone;
}

const bool kHasAvx2 = __builtin_cpu_supports("avx2");
#endif

#if defined(__SSE2__)
std::size_t FilterSse2(const Filter& f, std::size_t& i) {
  const auto splat = [](unsigned char c) { return _mm_set1_epi8(static_cast<char>(c)); };
  const __m128i firstA = splat(f.pat[0]), firstB = splat(kPartner[f.pat[0]]);
  const __m128i lastA = splat(f.pat[f.m - 1]), lastB = splat(kPartner[f.pat[f.m - 1]]);
  const std::size_t mid = f.m / 2;
  const __m128i midA = splat(f.pat[mid]), midB = splat(kPartner[f.pat[mid]]);
  for (; i + 16 <= f.lastCandidate + 1; i += 16) {
    const __m128i head = _mm_loadu_si128(reinterpret_cast<const __m128i*>(f.hay + i));
    const __m128i middle = _mm_loadu_si128(reinterpret_cast<const __m128i*>(f.hay + i + mid));
    const __m128i tail = _mm_loadu_si128(reinterpret_cast<const __m128i*>(f.hay + i + f.m - 1));
    const __m128i hit = _mm_and_si128(
        _mm_and_si128(_mm_or_si128(_mm_cmpeq_epi8(head, firstA), _mm_cmpeq_epi8(head, firstB)),
                      _mm_or_si128(_mm_cmpeq_epi8(middle, midA), _mm_cmpeq_epi8(middle, midB))),
        _mm_or_si128(_mm_cmpeq_epi8(tail, lastA), _mm_cmpeq_epi8(tail, lastB)));
    for (unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(hit)); mask != 0;
         mask &= mask - 1) {
      const std::size_t at = i + static_cast<std::size_t>(__builtin_ctz(mask));
      if (MatchesAt(f.hay + at + 1, f.pat + 1, f.m > 2 ? f.m - 2 : 0)) return at;
    }
  }
  return kNone;
}
#endif

}  // namespace

std::size_t FindInText(std::string_view pattern, std::string_view text, std::size_t start) {
  if (start < 1) start = 1;
  if (start > text.size() + 1) return 0;
  const std::size_t m = pattern.size();
  if (m == 0) return start;
  if (m > text.size() - (start - 1)) return 0;

  const Filter filter{reinterpret_cast<const unsigned char*>(text.data()),
                      reinterpret_cast<const unsigned char*>(pattern.data()), m, text.size() - m};
  std::size_t i = start - 1;
#if defined(__x86_64__) || defined(__i386__)
  if (kHasAvx2)
    if (const std::size_t at = FilterAvx2(filter, i); at != kNone) return at + m + 1;
#endif
#if defined(__SSE2__)
  if (const std::size_t at = FilterSse2(filter, i); at != kNone) return at + m + 1;
#endif
  const unsigned char first = kFold[filter.pat[0]];
  for (; i <= filter.lastCandidate; ++i)
    if (kFold[filter.hay[i]] == first && MatchesAt(filter.hay + i + 1, filter.pat + 1, m - 1))
      return i + m + 1;
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

std::string_view TrimBlanks(std::string_view text) {
  const std::size_t begin = text.find_first_not_of(' ');
  if (begin == std::string_view::npos) return {};
  const std::size_t end = text.find_last_not_of(' ');
  return text.substr(begin, end - begin + 1);
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
