#include "platform/sha_instructions.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <cpuid.h>
#include <immintrin.h>
#define MORBS_SHA_X86 1
#endif

namespace morbs::platform {

#ifdef MORBS_SHA_X86
namespace {

// The instructions keep the state as the pairs ABEF and CDGH and do two
// rounds a call; the message words are scheduled four at a time.
__attribute__((target("sha,sse4.1,ssse3"))) void compress_with_sha_instructions(
    uint32_t* state, const uint8_t* blocks, size_t count, const uint32_t* round_constants) {
  const __m128i byte_swap = _mm_set_epi64x(0x0c0d0e0f08090a0bULL, 0x0405060700010203ULL);
  __m128i dcba = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&state[0]));
  __m128i hgfe = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&state[4]));
  const __m128i cdab = _mm_shuffle_epi32(dcba, 0xB1);
  const __m128i efgh = _mm_shuffle_epi32(hgfe, 0x1B);
  __m128i abef = _mm_alignr_epi8(cdab, efgh, 8);
  __m128i cdgh = _mm_blend_epi16(efgh, cdab, 0xF0);

  for (; count > 0; --count, blocks += 64) {
    const __m128i abef_before = abef, cdgh_before = cdgh;
    __m128i words[4];
    for (int i = 0; i < 4; ++i)
      words[i] = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(blocks + 16 * i)), byte_swap);
    for (int group = 0; group < 16; ++group) {
      __m128i sum = _mm_add_epi32(words[group % 4],
                                  _mm_loadu_si128(reinterpret_cast<const __m128i*>(&round_constants[4 * group])));
      cdgh = _mm_sha256rnds2_epu32(cdgh, abef, sum);
      sum = _mm_shuffle_epi32(sum, 0x0E);
      abef = _mm_sha256rnds2_epu32(abef, cdgh, sum);
      if (group < 12) {
        // The words of group + 4 from those of group .. group + 3.
        __m128i next = _mm_sha256msg1_epu32(words[group % 4], words[(group + 1) % 4]);
        next = _mm_add_epi32(next, _mm_alignr_epi8(words[(group + 3) % 4], words[(group + 2) % 4], 4));
        words[group % 4] = _mm_sha256msg2_epu32(next, words[(group + 3) % 4]);
      }
    }
    abef = _mm_add_epi32(abef, abef_before);
    cdgh = _mm_add_epi32(cdgh, cdgh_before);
  }

  const __m128i feba = _mm_shuffle_epi32(abef, 0x1B);
  const __m128i dchg = _mm_shuffle_epi32(cdgh, 0xB1);
  dcba = _mm_blend_epi16(feba, dchg, 0xF0);
  hgfe = _mm_alignr_epi8(dchg, feba, 8);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(&state[0]), dcba);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(&state[4]), hgfe);
}

// Asked of the processor itself: compilers differ in the feature names
// their built-in check knows.
bool has_sha_instructions() {
  static const bool has = [] {
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (!__get_cpuid(1, &a, &b, &c, &d)) return false;
    const bool ssse3 = (c >> 9) & 1, sse41 = (c >> 19) & 1;
    if (!__get_cpuid_count(7, 0, &a, &b, &c, &d)) return false;
    const bool sha = (b >> 29) & 1;
    return ssse3 && sse41 && sha;
  }();
  return has;
}

}  // namespace

bool sha256_blocks_by_instructions(uint32_t* state, const uint8_t* blocks, size_t count,
                                   const uint32_t* round_constants) {
  if (!has_sha_instructions()) return false;
  compress_with_sha_instructions(state, blocks, count, round_constants);
  return true;
}
#else
bool sha256_blocks_by_instructions(uint32_t*, const uint8_t*, size_t, const uint32_t*) { return false; }
#endif

}  // namespace morbs::platform
