#include "batch/conversion_preview.h"

#include "batch/unified_diff.h"
#include "engine/convert_file.h"
#include "engine/cp932.h"
#include "engine/line_filters.h"

#include <fcntl.h>
#include <unistd.h>

namespace srctdy {

namespace {

std::optional<std::string> ReadWhole(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    std::string bytes;
    char buffer[65536];
    ssize_t n;
    while ((n = ::read(fd, buffer, sizeof buffer)) > 0)
        bytes.append(buffer, static_cast<size_t>(n));
    ::close(fd);
    if (n < 0)
        return std::nullopt;
    return bytes;
}

bool IsUtf8(std::string_view text) {
    size_t i = 0;
    while (i < text.size()) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        size_t length = c < 0x80           ? 1
                        : (c >> 5) == 0x6  ? 2
                        : (c >> 4) == 0xE  ? 3
                        : (c >> 3) == 0x1E ? 4
                                           : 0;
        if (length == 0 || (length == 2 && c < 0xC2) || i + length > text.size())
            return false;
        for (size_t k = 1; k < length; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
                return false;
        }
        i += length;
    }
    return true;
}

} // namespace

std::optional<std::string> ConversionDiff(const std::string& path, std::string_view label,
                                          const FormatOptions& options,
                                          const ConvertSettings& settings, Prompter& prompter) {
    std::optional<std::string> input = ReadWhole(path);
    if (!input)
        return std::nullopt;
    FileContext context{NameOnlyFor(path), TodayText()};
    std::string converted = ConvertText(*input, options, settings, context, prompter);
    return UnifiedDiff(*input, converted, label);
}

std::string DisplayText(std::string_view text) {
    if (IsUtf8(text))
        return std::string(text);
    std::string shown;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        end = end == std::string_view::npos ? text.size() : end + 1;
        std::string_view line = text.substr(start, end - start);
        std::optional<std::string> decoded = cp932::ToUtf8(line);
        shown += decoded ? *decoded : std::string(line);
        start = end;
    }
    return shown;
}

} // namespace srctdy
