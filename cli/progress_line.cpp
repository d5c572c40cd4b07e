#include "cli/progress_line.h"

#include "platform/message_catalogue.h"
#include "platform/string_table.h"

#include <chrono>
#include <cstdio>

namespace srctdy {

namespace {
constexpr double kShowAfter = 1.0;    // seconds: short runs never show the line
constexpr double kRedrawEvery = 0.25; // seconds
constexpr std::string_view kEraseLine = "\r\033[K";
} // namespace

double ProgressLine::SteadySeconds() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

ProgressLine::ProgressLine(std::ostream& out, size_t total, unsigned width, Clock clock)
    : out_(out), total_(total), width_(width < 20 ? 20 : width), clock_(std::move(clock)),
      start_(clock_()) {}

void ProgressLine::update(size_t done, uint64_t bytes, std::string_view current) {
    const double now = clock_();
    const double elapsed = now - start_;
    if (elapsed < kShowAfter || (drawn_ >= 0 && now - drawn_ < kRedrawEvery))
        return;
    char rate[32];
    std::snprintf(rate, sizeof rate, "%.1f", static_cast<double>(bytes) / 1e6 / elapsed);
    std::string text = FormatText(CliText(text::kCliProgress),
                                  {std::to_string(done), std::to_string(total_), rate});
    // The file name loses its beginning rather than wrap the line.
    const size_t room = width_ - 1 > text.size() + 2 ? width_ - 1 - text.size() - 2 : 0;
    if (!current.empty() && room > 3) {
        text += "  ";
        if (current.size() > room)
            text.append("...").append(current.substr(current.size() - (room - 3)));
        else
            text.append(current);
    }
    out_ << kEraseLine << text << std::flush;
    drawn_ = now;
}

void ProgressLine::erase() {
    if (drawn_ < 0)
        return;
    out_ << kEraseLine << std::flush;
    drawn_ = -1;
}

} // namespace srctdy
