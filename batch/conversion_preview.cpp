#include "batch/conversion_preview.h"

#include "batch/unified_diff.h"
#include "engine/convert_file.h"
#include "engine/cp932.h"
#include "engine/utf8.h"
#include "platform/prompter.h"
#include "platform/string_table.h"

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

} // namespace

std::optional<std::string> ConversionDiff(const std::string& path, std::string_view label,
                                          const FormatOptions& options,
                                          const ConvertSettings& settings, Prompter& prompter) {
    std::optional<std::string> input = ReadWhole(path);
    if (!input) {
        prompter.tell(text::kInputOpenError);
        return std::nullopt;
    }
    // As the command line's --diff converts: in the file's own encoding, and only where the
    // tokens stay.
    std::string converted;
    if (ConvertBytes(*input, path, converted, options, settings, prompter) != kConverted)
        return std::nullopt;
    return UnifiedDiff(*input, converted, label);
}

std::string DisplayText(std::string_view text) {
    if (utf8::IsValid(text))
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
