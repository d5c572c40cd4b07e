#pragma once

#include <string>
#include <string_view>

namespace srctdy {

// Where the converted bytes go. write() returns false on failure (a full disk included).
class ByteSink {
public:
    virtual ~ByteSink() = default;
    virtual bool write(std::string_view bytes) = 0;
};

// Writes to an open file descriptor, retrying short writes.
class FdSink : public ByteSink {
public:
    explicit FdSink(int fd) : fd_(fd) {}
    bool write(std::string_view bytes) override;

private:
    int fd_;
};

// Appends to a string, for conversions in memory.
class StringSink : public ByteSink {
public:
    explicit StringSink(std::string& out) : out_(out) {}
    bool write(std::string_view bytes) override {
        out_.append(bytes);
        return true;
    }

private:
    std::string& out_;
};

// Text-mode output: every line is written with a CR LF line end. Buffered; the first failure
// is sticky and reported by ok().
class LineWriter {
public:
    explicit LineWriter(ByteSink& sink);
    ~LineWriter();
    LineWriter(const LineWriter&) = delete;
    LineWriter& operator=(const LineWriter&) = delete;

    // Writes head, then text, then the line end.
    void writeLine(std::string_view head, std::string_view text = {});
    // Hands everything buffered to the sink; false when any write failed.
    bool flush();
    bool ok() const { return ok_; }

private:
    ByteSink& sink_;
    std::string buffer_;
    bool ok_ = true;
};

} // namespace srctdy
