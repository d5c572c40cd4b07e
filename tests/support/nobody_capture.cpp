#include "support/nobody_capture.h"

#include "support/test_files.h"

#include <unistd.h>

namespace srctdy::testing {

std::optional<std::string> CaptureAsNobody(const std::function<std::string()>& body) {
    int fds[2];
    if (pipe(fds) != 0)
        return std::nullopt;
    const int status = RunAsNobody([&] {
        close(fds[0]);
        const std::string out = body();
        size_t done = 0;
        while (done < out.size()) {
            ssize_t n = write(fds[1], out.data() + done, out.size() - done);
            if (n <= 0)
                return 1;
            done += static_cast<size_t>(n);
        }
        return 0;
    });
    close(fds[1]);
    std::string out;
    char buffer[4096];
    ssize_t n;
    while ((n = read(fds[0], buffer, sizeof buffer)) > 0)
        out.append(buffer, static_cast<size_t>(n));
    close(fds[0]);
    if (status != 0)
        return std::nullopt;
    return out;
}

std::string Box(std::string_view text, PromptIcon icon, PromptButtons buttons) {
    static constexpr char kIcons[] = {'E', 'S', 'Q', 'I'};
    std::string line;
    line += kIcons[static_cast<int>(icon)];
    line += buttons == PromptButtons::Ok ? 'O' : 'Y';
    line += ' ';
    for (char c : text)
        line += c == '\n' ? '|' : c;
    return line + "\n";
}

std::string DescribeCalls(const std::vector<ScriptedPrompter::Call>& calls) {
    std::string out;
    for (const auto& call : calls)
        out += Box(call.text, call.icon, call.buttons);
    return out;
}

} // namespace srctdy::testing
