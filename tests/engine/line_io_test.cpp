#include "engine/line_reader.h"
#include "engine/line_writer.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <random>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace srctdy {
namespace {

struct Line {
    std::string text;
    std::string end;
};

// Lines of lengths around the edges that matter to the reader: the 64 bytes its LF search
// looks at in one step, and the 256 KiB it reads at a time. Fill bytes include CR and NUL.
std::vector<Line> RandomLines(unsigned seed) {
    std::mt19937 random(seed);
    const size_t edges[] = {63,      64,      65,      127,     128,     129,    131'071,
                            131'072, 131'073, 200'000, 262'143, 262'144, 262'145};
    std::vector<Line> lines(random() % 120);
    for (Line& line : lines) {
        const size_t length =
            random() % 25 == 0 ? edges[random() % std::size(edges)] : random() % 140;
        line.text.resize(length);
        for (char& c : line.text) {
            const unsigned pick = random() % 16;
            c = pick == 0 ? '\r' : pick == 1 ? '\0' : static_cast<char>('a' + pick);
        }
        // A CR at the end of the text would join the line end.
        if (!line.text.empty() && line.text.back() == '\r')
            line.text.back() = 'x';
        if (random() % 2)
            line.end.push_back('\r');
        line.end.push_back('\n');
    }
    // Now and then an empty first line before one longer than any block the reader keeps: the
    // unread bytes then move to the front from offset 1.
    if (lines.size() > 2 && seed % 5 == 0) {
        lines[0] = {"", "\n"};
        lines[1].text.assign(1'100'000, 'b');
    }
    if (!lines.empty() && random() % 2)
        lines.back().end = ""; // a last line without a line end
    if (!lines.empty() && lines.back().end.empty() && lines.back().text.empty())
        lines.pop_back(); // nothing after the last line end is no line
    return lines;
}

std::vector<Line> ReadAll(LineReader& reader) {
    std::vector<Line> read;
    std::string_view text;
    while (reader.next(text))
        read.push_back({std::string(text), std::string(reader.lineEnd())});
    return read;
}

bool operator==(const Line& a, const Line& b) {
    return a.text == b.text && a.end == b.end;
}

// Every line comes back with its own line end, from a file and from memory. The size the file
// had when it was opened ends the reading early only when it is the size read: none, the true
// one, or one a file that grew or shrank since then.
TEST(LineReader, ReturnsEveryLineWithItsEndAcrossReadsAndSearchSteps) {
    testing::TempDir dir;
    for (unsigned seed = 1; seed <= 30; ++seed) {
        SCOPED_TRACE(::testing::Message() << "seed " << seed);
        const std::vector<Line> lines = RandomLines(seed);
        std::string bytes;
        for (const Line& line : lines)
            bytes += line.text + line.end;
        const std::string path = dir / "in.c";
        testing::WriteFile(path, bytes);
        const int fd = ::open(path.c_str(), O_RDONLY);
        ASSERT_GE(fd, 0);
        {
            LineReader fromFile(fd);
            const uint64_t sizes[] = {0, bytes.size(), bytes.size() - 1, bytes.size() + 1};
            fromFile.expectSize(sizes[seed % 4]);
            EXPECT_TRUE(ReadAll(fromFile) == lines);
            EXPECT_FALSE(fromFile.failed());
            EXPECT_EQ(bytes.size(), fromFile.bytesRead());
        }
        ::close(fd);
        LineReader fromMemory(bytes);
        EXPECT_TRUE(ReadAll(fromMemory) == lines);
    }
}

// Each read moves the unread bytes to the front of the block: what the reader had found out
// about the bytes before must not be taken for the bytes now standing there. A packet socket
// returns one packet a read, so the second read comes when the unread bytes are as many as
// the bytes read before them, and they move to where the reader last found a line end.
TEST(LineReader, FindsTheLineEndsOfBytesMovedToTheFront) {
    for (size_t first = 960; first <= 1030; first += 7) {
        for (size_t rest = 0; rest <= 70; rest += 5) {
            SCOPED_TRACE(::testing::Message() << first << " " << rest);
            int fds[2];
            ASSERT_EQ(0, ::socketpair(AF_UNIX, SOCK_SEQPACKET, 0, fds));
            const std::string one = std::string(first, 'a') + "\n" + std::string(first + 1, 'b');
            const std::string two = std::string(rest, 'b') + "\nc\n";
            ASSERT_EQ(static_cast<ssize_t>(one.size()), ::write(fds[1], one.data(), one.size()));
            ASSERT_EQ(static_cast<ssize_t>(two.size()), ::write(fds[1], two.data(), two.size()));
            ::close(fds[1]);
            {
                LineReader reader(fds[0]);
                const std::vector<Line> expected = {{std::string(first, 'a'), "\n"},
                                                    {std::string(first + 1 + rest, 'b'), "\n"},
                                                    {"c", "\n"}};
                EXPECT_TRUE(ReadAll(reader) == expected);
            }
            ::close(fds[0]);
        }
    }
}

// A reader of bytes in memory looks at none past them, not even at a line end right after,
// whether the last line is the first or follows one.
TEST(LineReader, LooksAtNoByteAfterTheBytesInMemory) {
    for (const std::string_view before : {"", "x\n"}) {
        for (size_t size = 1; size <= 200; ++size) {
            SCOPED_TRACE(::testing::Message() << before.size() << " " << size);
            const std::string bytes = std::string(before) + std::string(size, 'a') + "\n";
            LineReader reader(std::string_view(bytes.data(), bytes.size() - 1));
            std::string_view line;
            if (!before.empty()) {
                ASSERT_TRUE(reader.next(line));
                EXPECT_EQ("x", line);
            }
            ASSERT_TRUE(reader.next(line));
            EXPECT_EQ(size, line.size());
            EXPECT_EQ("", reader.lineEnd());
            EXPECT_FALSE(reader.next(line));
        }
    }
}

// The first failed write is sticky: nothing more goes to the sink, a line longer than the
// buffer neither.
TEST(LineWriter, AFailedWriteFailsTheOutputForGood) {
    struct FailingOnce : ByteSink {
        int writes = 0;
        bool write(std::string_view) override { return ++writes > 1; }
    } sink;
    LineWriter writer(sink);
    writer.writeLine("a");
    EXPECT_FALSE(writer.flush());
    writer.writeLine("b");
    writer.writeLine(std::string(200'000, 'c'));
    EXPECT_FALSE(writer.flush());
    EXPECT_FALSE(writer.ok());
    EXPECT_EQ(1, sink.writes);
}

// Heads, texts and line ends of every length up to past the buffer's short copies arrive
// whole and in order.
TEST(LineWriter, WritesPiecesOfEveryShortLengthWhole) {
    std::string expected;
    std::string written;
    StringSink sink(written);
    {
        LineWriter writer(sink, LineEnds::Keep);
        writer.setInputBreaksPossible(false);
        for (size_t head = 0; head <= 40; ++head) {
            for (size_t text = 0; text <= 70; ++text) {
                std::string h, t;
                for (size_t i = 0; i < head; ++i)
                    h += static_cast<char>('A' + (head + i) % 26);
                for (size_t i = 0; i < text; ++i)
                    t += static_cast<char>('a' + (text * 7 + i) % 26);
                const std::string_view end = (head + text) % 3 == 0   ? "\r\n"
                                             : (head + text) % 3 == 1 ? "\n"
                                                                      : "";
                writer.writeInputLine(h, t, end, t, 1);
                expected += h + t + std::string(end);
            }
        }
    }
    EXPECT_EQ(expected, written);
}

} // namespace
} // namespace srctdy
