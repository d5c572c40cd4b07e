#include "engine/cp932.h"

#include <cerrno>
#include <cstring>
#include <iconv.h>

namespace srctdy::cp932 {

namespace {

size_t NextBoundary(std::string_view text, size_t at) {
    return at + CharLength(text, at);
}

std::optional<std::string> Convert(const char* to, const char* from, std::string_view in) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return std::nullopt;
    std::string out(in.size() * 2 + 16, '\0');
    char* inPtr = const_cast<char*>(in.data());
    size_t inLeft = in.size();
    size_t done = 0;
    bool ok = true;
    while (inLeft > 0) {
        char* outPtr = out.data() + done;
        size_t outLeft = out.size() - done;
        size_t rc = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
        done = out.size() - outLeft;
        if (rc != static_cast<size_t>(-1))
            continue;
        if (errno == E2BIG) {
            out.resize(out.size() * 2);
            continue;
        }
        ok = false; // EILSEQ or EINVAL: not representable, or a broken sequence
        break;
    }
    iconv_close(cd);
    if (!ok)
        return std::nullopt;
    out.resize(done);
    return out;
}

} // namespace

size_t Find(std::string_view text, std::string_view needle, size_t from) {
    if (from > text.size())
        return std::string_view::npos;
    if (needle.empty())
        return from;
    size_t boundary = from;
    size_t pos = from;
    while (pos + needle.size() <= text.size()) {
        // memchr on the first byte is much faster than memmem for the short marks searched
        // for here.
        const void* hit =
            std::memchr(text.data() + pos, needle[0], text.size() - needle.size() + 1 - pos);
        if (!hit)
            return std::string_view::npos;
        size_t at = static_cast<const char*>(hit) - text.data();
        if (needle.size() > 1 &&
            std::memcmp(text.data() + at + 1, needle.data() + 1, needle.size() - 1) != 0) {
            pos = at + 1;
            continue;
        }
        // A character always begins after a byte that cannot lead a pair, and at a byte that
        // cannot be a second byte: the usual cases, decided without walking the line.
        if (at == boundary || !IsLeadByte(static_cast<unsigned char>(text[at - 1])) ||
            !IsSecondByte(static_cast<unsigned char>(text[at])))
            return at;
        while (boundary < at)
            boundary = NextBoundary(text, boundary);
        if (boundary == at)
            return at;
        pos = boundary; // the hit began on a second byte; go on from the next character
    }
    return std::string_view::npos;
}

bool ReplaceAll(std::string& text, std::string_view from, std::string_view to) {
    if (from.empty())
        return false;
    if (from.size() == to.size()) {
        // Same length: in place, no copy of the line.
        bool any = false;
        for (size_t at = Find(text, from); at != std::string_view::npos;
             at = Find(text, from, at + from.size())) {
            text.replace(at, to.size(), to);
            any = true;
        }
        return any;
    }
    size_t at = Find(text, from);
    if (at == std::string_view::npos)
        return false;
    // One scratch buffer per thread keeps its capacity from line to line.
    thread_local std::string result;
    result.clear();
    size_t copied = 0;
    while (at != std::string_view::npos) {
        result.append(text, copied, at - copied);
        result.append(to);
        copied = at + from.size();
        at = Find(text, from, copied);
    }
    result.append(text, copied, std::string::npos);
    text.swap(result);
    return true;
}

std::optional<std::string> FromUtf8(std::string_view utf8) {
    return Convert("CP932", "UTF-8", utf8);
}

std::optional<std::string> ToUtf8(std::string_view text) {
    return Convert("UTF-8", "CP932", text);
}

} // namespace srctdy::cp932
