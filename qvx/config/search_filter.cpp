// The block filter of FindInText, written once. The build compiles this file twice: with AVX2
// (32 positions a block) and for the baseline (SSE2, 16 positions a block).

#include <immintrin.h>

#include <cstring>

#include "qvx/config/search_filter.h"

namespace qvx::search {
namespace {

#if defined(__AVX2__)
constexpr std::size_t kBlock = 32;
using Block = unsigned char __attribute__((vector_size(kBlock)));
unsigned LaneMask(Block lanes) {
  return static_cast<unsigned>(_mm256_movemask_epi8(reinterpret_cast<__m256i>(lanes)));
}
#else
constexpr std::size_t kBlock = 16;
using Block = unsigned char __attribute__((vector_size(kBlock)));
unsigned LaneMask(Block lanes) {
  return static_cast<unsigned>(_mm_movemask_epi8(reinterpret_cast<__m128i>(lanes)));
}
#endif

std::size_t FilterBlocks(const Filter& f, std::size_t& i) {
  const std::size_t mid = f.m / 2;
  const Block firstA = Block{} + f.pat[0], firstB = Block{} + kPartner[f.pat[0]];
  const Block midA = Block{} + f.pat[mid], midB = Block{} + kPartner[f.pat[mid]];
  const Block lastA = Block{} + f.pat[f.m - 1], lastB = Block{} + kPartner[f.pat[f.m - 1]];
  for (; i + kBlock <= f.lastCandidate + 1; i += kBlock) {
    Block head, middle, tail;
    std::memcpy(&head, f.hay + i, kBlock);
    std::memcpy(&middle, f.hay + i + mid, kBlock);
    std::memcpy(&tail, f.hay + i + f.m - 1, kBlock);
    // Each lane is all ones where the three characters fit, zero elsewhere.
    const auto hit = ((head == firstA) | (head == firstB)) & ((middle == midA) | (middle == midB)) &
                     ((tail == lastA) | (tail == lastB));
    for (unsigned mask = LaneMask(reinterpret_cast<const Block&>(hit)); mask != 0; mask &= mask - 1) {
      const std::size_t at = i + static_cast<std::size_t>(__builtin_ctz(mask));
      if (MatchesAt(f.hay + at + 1, f.pat + 1, f.m > 2 ? f.m - 2 : 0)) return at;
    }
  }
  return kNone;
}

}  // namespace

#if defined(__AVX2__)
std::size_t FilterBlocksAvx2(const Filter& filter, std::size_t& i) { return FilterBlocks(filter, i); }
#else
std::size_t FilterBlocksBaseline(const Filter& filter, std::size_t& i) { return FilterBlocks(filter, i); }
#endif

}  // namespace qvx::search
