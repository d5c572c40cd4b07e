#include "cli/progress_line.h"

#include <gtest/gtest.h>

#include <sstream>

namespace srctdy {
namespace {

const std::string kErase = "\r\033[K";

// Steps of one run on a clock the test sets: what the terminal receives at each.
TEST(ProgressLine, ShowsOnlyAfterASecondRedrawsSparinglyAndLeavesNothing) {
    std::ostringstream out;
    double now = 100.0;
    {
        ProgressLine line(out, 4, 40, [&] { return now; });
        struct Step {
            double at;
            size_t done;
            uint64_t bytes;
            std::string current;
            std::string expected; // what this step adds to the terminal
        };
        const Step steps[] = {
            {100.5, 0, 0, "a.c", ""}, // under a second
            {101.0, 1, 2000000, "b.c", kErase + "1/4 files, 2.0 MB/s  b.c"},
            {101.1, 2, 2000000, "c.c", ""},                                   // too soon to redraw
            {101.25, 2, 2000000, "c.c", kErase + "2/4 files, 1.6 MB/s  c.c"}, // just in time
            {102.0, 2, 4000000, "src/a/very/long/folder/name/d.c",
             kErase + "2/4 files, 2.0 MB/s  ...folder/name/d.c"}, // fits 39 columns
        };
        for (const Step& s : steps) {
            now = s.at;
            const size_t before = out.str().size();
            line.update(s.done, s.bytes, s.current);
            EXPECT_EQ(s.expected, out.str().substr(before)) << s.at;
        }
        // A message takes the line off first; the next update draws it again.
        line.erase();
        EXPECT_EQ(kErase, out.str().substr(out.str().size() - kErase.size()));
        const size_t erased = out.str().size();
        line.erase(); // nothing on the screen: nothing written
        EXPECT_EQ(erased, out.str().size());
        now = 102.1;
        line.update(4, 8000000, "");
    }
    // The end of the run erases the last line drawn.
    EXPECT_EQ(kErase + "4/4 files, 3.8 MB/s" + kErase,
              out.str().substr(out.str().rfind(kErase + "4/4")));
}

// The file name takes what room the counts leave on a line one column narrower than the
// terminal, cut at its front, and is left out when no more than its "..." would fit; a
// terminal narrower than 20 columns counts as 20.
TEST(ProgressLine, FileNameTakesTheRoomLeft) {
    const std::string counts = "0/1 files, 0.0 MB/s"; // 19 columns, then two blanks
    struct Row {
        unsigned width;
        std::string current;
        std::string expected;
    };
    const Row rows[] = {
        {29, "abcde.c", counts + "  abcde.c"}, // exactly the room left
        {28, "abcde.c", counts + "  ...e.c"},
        {26, "abcde.c", counts + "  ...c"},
        {25, "abcde.c", counts}, // room for the dots only
        {0, "abcde.c", counts},
    };
    for (const Row& r : rows) {
        std::ostringstream out;
        double now = 0;
        ProgressLine line(out, 1, r.width, [&] { return now; });
        now = 1.0;
        line.update(0, 0, r.current);
        EXPECT_EQ(kErase + r.expected, out.str()) << r.width;
    }
}

TEST(ProgressLine, ShortRunWritesNothing) {
    std::ostringstream out;
    double now = 0;
    {
        ProgressLine line(out, 2, 80, [&] { return now; });
        line.update(0, 0, "a.c");
        now = 0.9;
        line.update(1, 10, "b.c");
    }
    EXPECT_EQ("", out.str());
}

} // namespace
} // namespace srctdy
