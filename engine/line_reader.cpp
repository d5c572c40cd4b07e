#include "engine/line_reader.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace srctdy {

namespace {
constexpr size_t kReadSize = 256 * 1024;
}

LineReader::LineReader(int fd) : fd_(fd) {
    buffer_.reserve(kReadSize);
}

LineReader::LineReader(std::string_view bytes) : buffer_(bytes), eof_(true) {}

bool LineReader::fill() {
    // Keep the unread tail; the buffer grows only while one line is longer than it.
    buffer_.erase(0, pos_);
    pos_ = 0;
    size_t old = buffer_.size();
    buffer_.resize(old + kReadSize);
    ssize_t n;
    do {
        n = ::read(fd_, buffer_.data() + old, kReadSize);
    } while (n < 0 && errno == EINTR);
    if (n <= 0) {
        buffer_.resize(old);
        eof_ = true;
        failed_ = n < 0;
        return false;
    }
    buffer_.resize(old + static_cast<size_t>(n));
    return true;
}

bool LineReader::next(std::string& line) {
    size_t searchFrom = pos_;
    for (;;) {
        const char* start = buffer_.data() + searchFrom;
        const void* nl = std::memchr(start, '\n', buffer_.size() - searchFrom);
        if (nl) {
            size_t end = static_cast<const char*>(nl) - buffer_.data();
            size_t len = end - pos_;
            lineEnd_ = "\n";
            if (len > 0 && buffer_[end - 1] == '\r') {
                --len; // CR LF reads as one line end
                lineEnd_ = "\r\n";
            }
            line.assign(buffer_, pos_, len);
            pos_ = end + 1;
            return true;
        }
        size_t tail = buffer_.size() - pos_;
        if (eof_ || !fill()) {
            if (pos_ >= buffer_.size())
                return false;
            line.assign(buffer_, pos_, std::string::npos); // last line, no line end
            lineEnd_ = "";
            pos_ = buffer_.size();
            return true;
        }
        searchFrom = tail; // fill() moved the unread tail to the front; it holds no LF
    }
}

} // namespace srctdy
