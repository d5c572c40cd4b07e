#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// Bytes in blocks of fixed size: short copies without a call, and scans sixteen bytes at a time
// that ask whether a line holds some byte (not where).
namespace srctdy::blocks {

// Copies n bytes, sizeof(Word) <= n <= 2 * sizeof(Word), by two moves of fixed size that
// overlap in the middle: no call, no loop.
template <typename Word> void CopyByTwoMoves(char* out, const char* from, size_t n) {
    Word first, last;
    std::memcpy(&first, from, sizeof first);
    std::memcpy(&last, from + n - sizeof last, sizeof last);
    std::memcpy(out, &first, sizeof first);
    std::memcpy(out + n - sizeof last, &last, sizeof last);
}
struct Bytes16 {
    char bytes[16];
};

// Copies n bytes to out and returns the end: short pieces without a call.
[[gnu::always_inline]] inline char* CopyBytes(char* out, const char* from, size_t n) {
    if (n > 32) {
        std::memcpy(out, from, n);
    } else if (n >= 16) {
        CopyByTwoMoves<Bytes16>(out, from, n);
    } else if (n >= 8) {
        CopyByTwoMoves<uint64_t>(out, from, n);
    } else if (n >= 4) {
        CopyByTwoMoves<uint32_t>(out, from, n);
    } else if (n > 0) {
        out[0] = from[0];
        out[n / 2] = from[n / 2];
        out[n - 1] = from[n - 1];
    }
    return out + n; // n == 0: from may be null, nothing is touched
}

#if defined(__SSE2__)
// Calls visit(block) for every sixteen bytes of line. The last part is the line's last sixteen
// bytes, read again where they overlap the block before: a byte seen twice is still one byte
// seen. A line shorter than sixteen bytes is padded with zero bytes.
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
    CopyBytes(padded, p, n);
    visit(_mm_load_si128(reinterpret_cast<const __m128i*>(padded)));
}

// The sixteen bytes at p, of which only the first n (0 < n < 16) may be read: the caller
// ignores the rest. They are read in place where that cannot cross into the next page, as a
// string function reads; else the n bytes are copied first.
[[gnu::no_sanitize_address]] inline __m128i LoadShort(const char* p, size_t n) {
    if ((reinterpret_cast<uintptr_t>(p) & 4095) <= 4096 - 16)
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    alignas(16) char padded[16] = {};
    std::memcpy(padded, p, n & 15);
    return _mm_load_si128(reinterpret_cast<const __m128i*>(padded));
}

// Whether text holds one of the bytes Cs. Up to 64 bytes sixteen at a time without a call,
// the last sixteen read where they overlap the block before.
template <char... Cs> bool HoldsAnyOf(std::string_view text) {
    const char* p = text.data();
    const size_t n = text.size();
    if (n > 64)
        return ((std::memchr(p, Cs, n) != nullptr) || ...);
    const auto hits = [](__m128i v) {
        return static_cast<unsigned>(
            _mm_movemask_epi8((_mm_cmpeq_epi8(v, _mm_set1_epi8(Cs)) | ...)));
    };
    if (n < 16)
        return n > 0 && (hits(LoadShort(p, n)) & ((1u << n) - 1)) != 0;
    unsigned found = hits(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + n - 16)));
    for (size_t i = 0; i + 16 < n; i += 16)
        found |= hits(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i)));
    return found != 0;
}

// The bits of the bytes of block that are blanks to a line's trimming: space and \t to \r.
inline unsigned Blanks(__m128i block) {
    const __m128i control = _mm_sub_epi8(block, _mm_set1_epi8('\t')); // \t to \r: 0 to 4
    const __m128i blank =
        _mm_or_si128(_mm_cmpeq_epi8(block, _mm_set1_epi8(' ')),
                     _mm_cmpeq_epi8(_mm_min_epu8(control, _mm_set1_epi8(4)), control));
    return static_cast<unsigned>(_mm_movemask_epi8(blank));
}

// The bits of the bytes of block equal to c.
inline unsigned Matches(__m128i block, char c) {
    return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(block, _mm_set1_epi8(c))));
}
#endif

// Copies n bytes to out and returns the end, in moves of sixteen bytes: out must have room
// for fifteen bytes more, which may be overwritten. Only the n bytes at from are read.
[[gnu::always_inline]] inline char* CopyOver(char* out, const char* from, size_t n) {
#if defined(__SSE2__)
    if (n < 16) {
        if (n > 0)
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out), LoadShort(from, n));
        return out + n;
    }
    for (size_t i = 0; i + 16 < n; i += 16)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i),
                         _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i)));
    // The last sixteen bytes, where they may overlap the move before.
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + n - 16),
                     _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + n - 16)));
    return out + n;
#else
    return CopyBytes(out, from, n);
#endif
}

// Copies a line end of at most two bytes to out; the usual CR LF in one move.
[[gnu::always_inline]] inline void CopyLineEnd(char* out, std::string_view end) {
    if (end.size() == 2)
        std::memcpy(out, end.data(), 2);
    else
        CopyBytes(out, end.data(), end.size());
}

// Writes n copies of c to out and returns the end; out must have room for fifteen bytes more.
[[gnu::always_inline]] inline char* FillOver(char* out, char c, size_t n) {
#if defined(__SSE2__)
    const __m128i run = _mm_set1_epi8(c);
    for (size_t i = 0; i < n; i += 16)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), run);
#else
    std::memset(out, c, n);
#endif
    return out + n;
}

} // namespace srctdy::blocks
