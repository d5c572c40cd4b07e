#include "engine/line_writer.h"

#include <cerrno>
#include <unistd.h>

namespace srctdy {

namespace {
constexpr size_t kFlushAt = 128 * 1024;
constexpr std::string_view kLineEnd = "\r\n";
} // namespace

bool FdSink::write(std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t n = ::write(fd_, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

LineWriter::LineWriter(ByteSink& sink) : sink_(sink) {
    buffer_.reserve(kFlushAt + 4096);
}

LineWriter::~LineWriter() {
    flush();
}

void LineWriter::writeLine(std::string_view head, std::string_view text) {
    buffer_.append(head);
    buffer_.append(text);
    buffer_.append(kLineEnd);
    if (buffer_.size() >= kFlushAt)
        flush();
}

bool LineWriter::flush() {
    if (!buffer_.empty()) {
        if (ok_)
            ok_ = sink_.write(buffer_);
        buffer_.clear();
    }
    return ok_;
}

} // namespace srctdy
