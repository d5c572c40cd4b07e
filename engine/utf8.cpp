#include "engine/utf8.h"

#include <cstdint>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace srctdy::utf8 {

void Validator::feed(std::string_view bytes) {
    for (size_t i = 0; ok_ && i < bytes.size(); ++i) {
        // Source text is mostly ASCII: 64 bytes at a time while no high bit is set.
        if (pending_ == 0) {
#if defined(__SSE2__)
            for (; i + 64 <= bytes.size(); i += 64) {
                const auto* p = reinterpret_cast<const __m128i*>(bytes.data() + i);
                const __m128i any =
                    _mm_or_si128(_mm_or_si128(_mm_loadu_si128(p), _mm_loadu_si128(p + 1)),
                                 _mm_or_si128(_mm_loadu_si128(p + 2), _mm_loadu_si128(p + 3)));
                if (_mm_movemask_epi8(any) != 0)
                    break;
            }
#endif
            uint64_t word[4];
            while (i + 32 <= bytes.size()) {
                std::memcpy(word, bytes.data() + i, 32);
                if ((word[0] | word[1] | word[2] | word[3]) & 0x8080808080808080ULL)
                    break;
                i += 32;
            }
            while (i + 8 <= bytes.size()) {
                std::memcpy(word, bytes.data() + i, 8);
                if (word[0] & 0x8080808080808080ULL)
                    break;
                i += 8;
            }
            if (i >= bytes.size())
                break;
        }
        const unsigned char c = static_cast<unsigned char>(bytes[i]);
        if (pending_ > 0) {
            if (c < low_ || c > high_) {
                ok_ = false;
                break;
            }
            --pending_;
            low_ = 0x80;
            high_ = 0xBF;
            continue;
        }
        if (c < 0x80)
            continue;
        multiByte_ = true;
        // The second byte's range excludes overlong forms, surrogates and code points above
        // U+10FFFF, as the standard does.
        if (c >= 0xC2 && c <= 0xDF) {
            pending_ = 1;
        } else if (c >= 0xE0 && c <= 0xEF) {
            pending_ = 2;
            low_ = c == 0xE0 ? 0xA0 : 0x80;
            high_ = c == 0xED ? 0x9F : 0xBF;
        } else if (c >= 0xF0 && c <= 0xF4) {
            pending_ = 3;
            low_ = c == 0xF0 ? 0x90 : 0x80;
            high_ = c == 0xF4 ? 0x8F : 0xBF;
        } else {
            ok_ = false;
        }
    }
}

bool IsValid(std::string_view text) {
    Validator validator;
    validator.feed(text);
    return validator.complete();
}

size_t CharLength(std::string_view text, size_t at) {
    const unsigned char c = static_cast<unsigned char>(text[at]);
    const size_t length = c >= 0xC2 && c <= 0xDF   ? 2
                          : c >= 0xE0 && c <= 0xEF ? 3
                          : c >= 0xF0 && c <= 0xF4 ? 4
                                                   : 1;
    if (length == 1 || at + length > text.size())
        return 1;
    for (size_t i = 1; i < length; ++i) {
        if ((static_cast<unsigned char>(text[at + i]) & 0xC0) != 0x80)
            return 1;
    }
    return length;
}

} // namespace srctdy::utf8
