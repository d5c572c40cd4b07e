#pragma once

#include <cstring>
#include <string_view>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// Sixteen bytes at a time over a line, for the scans that ask whether a line holds some byte
// (not where): each block is compared with a few byte values at once.
namespace srctdy::blocks {

#if defined(__SSE2__)
// Calls visit(block) for every sixteen bytes of line. The last part is the line's last sixteen
// bytes, read again where they overlap the block before: a byte seen twice is still one byte
// seen. A line shorter than sixteen bytes is padded with zero bytes, moved by fixed-size
// copies that overlap rather than by a call.
template <class Visit> void ForEachBlock(std::string_view line, Visit visit) {
    const char* p = line.data();
    const size_t n = line.size();
    size_t i = 0;
    for (; i + 16 <= n; i += 16)
        visit(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i)));
    if (i == n)
        return;
    if (n >= 16) {
        visit(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + n - 16)));
        return;
    }
    alignas(16) char padded[16] = {};
    if (n >= 8) {
        std::memcpy(padded, p, 8);
        std::memcpy(padded + n - 8, p + n - 8, 8);
    } else if (n >= 4) {
        std::memcpy(padded, p, 4);
        std::memcpy(padded + n - 4, p + n - 4, 4);
    } else {
        padded[0] = p[0];
        padded[n / 2] = p[n / 2];
        padded[n - 1] = p[n - 1];
    }
    visit(_mm_load_si128(reinterpret_cast<const __m128i*>(padded)));
}

// The bits of the bytes of block equal to c.
inline unsigned Matches(__m128i block, char c) {
    return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(block, _mm_set1_epi8(c))));
}
#endif

} // namespace srctdy::blocks
