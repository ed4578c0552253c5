// The compressor's cost vectors: eight 16-bit costs of one position, one
// lane for each count of items already written modulo eight, in one
// vector register. The only code of the compressor that knows the
// processor is here.
#pragma once

#include <cstdint>

#ifdef BNDTOOLS_HAVE_SSE2
#include <emmintrin.h>
#endif

// The vector type passes between the compressor's own functions only, so
// the calling convention GCC warns about on targets without SSE (32-bit
// x86) does not matter.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wpsabi"
#endif

namespace flz0_costs {

using Costs = std::int16_t __attribute__((vector_size(16)));

// lesser -- the lane-by-lane minimum
inline Costs lesser(Costs a, Costs b)
{
    return a < b ? a : b;
}

// next_item -- lane m takes lane m + 1, and lane 7 lane 0
inline Costs next_item(Costs c)
{
#ifdef BNDTOOLS_HAVE_SSE2
    // Two byte shifts; compilers make a lane-by-lane shuffle of the generic form.
    const __m128i v = reinterpret_cast<__m128i>(c);
    return reinterpret_cast<Costs>(_mm_or_si128(_mm_srli_si128(v, 2), _mm_slli_si128(v, 14)));
#else
    return __builtin_shufflevector(c, c, 1, 2, 3, 4, 5, 6, 7, 0);
#endif
}

// store_bytes -- the eight lanes, each from 0 to 255, as eight bytes
inline void store_bytes(Costs c, std::uint8_t* out)
{
#ifdef BNDTOOLS_HAVE_SSE2
    const __m128i v = reinterpret_cast<__m128i>(c);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm_packus_epi16(v, v));
#else
    for (int lane = 0; lane < 8; ++lane)
        out[lane] = static_cast<std::uint8_t>(c[lane]);
#endif
}

}  // namespace flz0_costs
