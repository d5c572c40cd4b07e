#include "engine/encoding_detect.h"

#include "engine/format_options.h"
#include "engine/line_reader.h"

#include <cerrno>
#include <unistd.h>

namespace srctdy {

void EncodingDetector::feed(std::string_view bytes) {
    const std::string_view mark = utf8::kByteOrderMark;
    for (size_t i = 0; !markFailed_ && markMatched_ < mark.size() && i < bytes.size(); ++i) {
        if (bytes[i] == mark[markMatched_])
            ++markMatched_;
        else
            markFailed_ = true;
    }
    validator_.feed(bytes); // the mark is valid UTF-8 itself
}

TextEncoding EncodingDetector::result(TextEncoding asciiEncoding) const {
    // At the end, a character cut off is no UTF-8.
    return hasMark() || validator_.complete() ? guess(asciiEncoding) : TextEncoding::Cp932;
}

TextEncoding EncodingDetector::guess(TextEncoding asciiEncoding) const {
    if (hasMark())
        return TextEncoding::Utf8;
    if (!validator_.ok())
        return TextEncoding::Cp932;
    return validator_.sawMultiByte() ? TextEncoding::Utf8 : asciiEncoding;
}

TextEncoding DetectEncoding(std::string_view bytes, TextEncoding asciiEncoding) {
    EncodingDetector detector;
    detector.feed(bytes);
    return detector.result(asciiEncoding);
}

TextEncoding EncodingFor(std::string_view bytes, const ConvertSettings& settings) {
    if (settings.forcedEncoding)
        return *settings.forcedEncoding;
    return DetectEncoding(bytes, settings.asciiEncoding);
}

bool EncodingOfFile(LineReader& reader, const ConvertSettings& settings, TextEncoding& encoding,
                    EncodingGuess* guess) {
    if (settings.forcedEncoding) {
        encoding = *settings.forcedEncoding;
        return true;
    }
    EncodingDetector detector;
    std::string_view ahead;
    bool whole = false;
    if (!reader.readAhead(ahead, whole))
        return false;
    detector.feed(ahead);
    if (whole) {
        encoding = detector.result(settings.asciiEncoding);
        return true;
    }
    if (guess && !detector.decided()) {
        encoding = detector.guess(settings.asciiEncoding);
        guess->detector = detector;
        guess->tentative = true;
        return true;
    }
    return DecideFromTheRest(reader, settings, detector, encoding);
}

bool DecideFromTheRest(LineReader& reader, const ConvertSettings& settings,
                       EncodingDetector& detector, TextEncoding& encoding) {
    const int fd = reader.fd();
    char buffer[1 << 16];
    while (!detector.decided()) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            break;
        detector.feed(std::string_view(buffer, static_cast<size_t>(n)));
    }
    encoding = detector.result(settings.asciiEncoding);
    return reader.rewind();
}

} // namespace srctdy
