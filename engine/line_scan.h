#pragma once

#include "engine/byte_blocks.h"

#include <bit>
#include <cstddef>
#include <string_view>

namespace srctdy {

// What one pass over a line as read finds. Most lines hold no comment or quote mark and no
// backslash: such a line, met where the tracker stands in plain code, opens no comment or
// literal and continues nothing, so it needs no analysis and leaves the tracker as it was.
struct LineScan {
    bool marks = false; // a comment or quote mark, or a backslash
    bool hash = false;  // a "#"
    bool high = false;  // a byte above 0x7F (a full-width space among them)
    bool open = false;  // a "{"
    bool close = false; // a "}"
    // The line without its blanks at both ends is raw[textBegin, textEnd); an empty range at 0
    // for a line of blanks.
    size_t textBegin = 0;
    size_t textEnd = 0;
};

// Whether c is a blank to a line's trimming: space and \t to \r.
inline bool IsTrimBlank(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// The blanks at the front of raw[0, end).
inline size_t LeadingBlanks(std::string_view raw, size_t end) {
    size_t begin = 0;
#if defined(__SSE2__)
    // Indentation sixteen bytes at a time: the first byte that is not blank ends it.
    while (begin + 16 <= end) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(raw.data() + begin));
        const unsigned other = ~blocks::Blanks(x) & 0xFFFFu;
        if (other)
            return begin + static_cast<size_t>(std::countr_zero(other));
        begin += 16;
    }
#endif
    while (begin < end && IsTrimBlank(raw[begin]))
        ++begin;
    return begin;
}

// The end of raw without its trailing blanks, not before floor.
inline size_t TrimmedEnd(std::string_view raw, size_t floor) {
    size_t end = raw.size();
    while (end > floor && IsTrimBlank(raw[end - 1]))
        --end;
    return end;
}

// The scan of a line, in one pass. The line loop calls it for every line: it is defined here
// so that the loop can take it in whole.
[[gnu::always_inline]] inline LineScan ScanLine(std::string_view raw) {
    LineScan scan;
    const char* p = raw.data();
    const size_t n = raw.size();
    if (n == 0)
        return scan;
#if defined(__SSE2__)
    // One pass, sixteen bytes at a time: each kind of byte is gathered in a vector of its own,
    // and the blanks' places give the text's ends.
    const __m128i zero = _mm_setzero_si128();
    __m128i marks = zero, hash = zero, high = zero, open = zero, close = zero;
    bool found = false;
    auto visit = [&](__m128i x, size_t at, unsigned valid) __attribute__((always_inline)) {
        auto is = [x](char c) __attribute__((always_inline)) {
            return _mm_cmpeq_epi8(x, _mm_set1_epi8(c));
        };
        marks = _mm_or_si128(
            marks, _mm_or_si128(_mm_or_si128(is('/'), is('"')), _mm_or_si128(is('\''), is('\\'))));
        hash = _mm_or_si128(hash, is('#'));
        high = _mm_or_si128(high, x);
        open = _mm_or_si128(open, is('{'));
        close = _mm_or_si128(close, is('}'));
        const unsigned text = ~blocks::Blanks(x) & valid;
        if (text) {
            if (!found)
                scan.textBegin = at + static_cast<size_t>(std::countr_zero(text));
            found = true;
            scan.textEnd = at + 32 - static_cast<size_t>(std::countl_zero(text));
        }
    };
    unsigned valid = 0xFFFF;
    if (n < 16) {
        valid = (1u << n) - 1;
        visit(blocks::LoadShort(p, n), 0, valid);
    } else {
        size_t i = 0;
        for (; i + 16 <= n; i += 16)
            visit(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i)), i, valid);
        // The last bytes again where they overlap the block before: a byte seen twice is
        // still one byte seen.
        if (i < n)
            visit(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + n - 16)), n - 16, valid);
    }
    auto any = [valid](__m128i m) __attribute__((always_inline)) {
        return (_mm_movemask_epi8(m) & valid) != 0;
    };
    scan.marks = any(marks);
    scan.hash = any(hash);
    scan.high = any(high);
    scan.open = any(open);
    scan.close = any(close);
#else
    for (const char c : raw) {
        scan.marks = scan.marks || c == '/' || c == '"' || c == '\'' || c == '\\';
        scan.hash = scan.hash || c == '#';
        scan.high = scan.high || static_cast<unsigned char>(c) >= 0x80;
        scan.open = scan.open || c == '{';
        scan.close = scan.close || c == '}';
    }
    scan.textEnd = TrimmedEnd(raw, 0);
    scan.textBegin = scan.textEnd == 0 ? 0 : LeadingBlanks(raw, scan.textEnd);
#endif
    return scan;
}

} // namespace srctdy
