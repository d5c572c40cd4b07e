#include "batch/conversion_preview.h"

#include "engine/convert_file.h"
#include "engine/format_options.h"
#include "platform/scripted_prompter.h"
#include "platform/string_table.h"
#include "support/nobody_capture.h"
#include "support/test_files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace srctdy {
namespace {

using testing::Box;
using testing::DescribeCalls;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

TEST(ConversionPreview, DiffRunsFromTheFileToItsConversionUnderTheLabel) {
    struct Case {
        const char* bytes;       // of the file a.c; "/": a folder in its place, nullptr: none
        const char* replaceText; // replaces "NAME" when not null
        std::optional<std::string> expected;
        std::string message; // told to the user, if any
        TextEncoding texts = TextEncoding::Cp932;
    };
    const Case cases[] = {
        {"int x;   \n", nullptr,
         "--- a/shown.c\n+++ b/shown.c\n@@ -1 +1 @@\n-int x;   \n+int x;\r\n", ""},
        {"int x;\r\n", nullptr, "", ""}, // nothing to change
        // %filename% is the file's own name, as in a conversion, not the path it was read by.
        {"NAME\r\n", "%filename%", "--- a/shown.c\n+++ b/shown.c\n@@ -1 +1 @@\n-NAME\r\n+a.c\r\n",
         ""},
        // A UTF-8 file is converted as UTF-8: its full-width space becomes two spaces.
        {"// a\xE3\x80\x80"
         "b\r\n",
         nullptr,
         "--- a/shown.c\n+++ b/shown.c\n@@ -1 +1 @@\n-// a\xE3\x80\x80"
         "b\r\n+// a  b\r\n",
         ""},
        // A text the file's encoding cannot hold: refused as a conversion would be.
        {"NAME \x83\x65\r\n", "\xF0\x9F\x98\x80", std::nullopt,
         FormatText(text::kTextNotInCp932, "\xF0\x9F\x98\x80"), TextEncoding::Utf8},
        {"/", nullptr, std::nullopt,
         std::string(text::kInputOpenError)}, // no diff, not an empty one
        {nullptr, nullptr, std::nullopt, std::string(text::kInputOpenError)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(&c - cases);
        TempDir dir;
        const std::string path = dir / "a.c";
        const bool folder = c.bytes && std::string_view(c.bytes) == "/";
        if (folder)
            ASSERT_EQ(0, ::mkdir(path.c_str(), 0755));
        else if (c.bytes)
            WriteFile(path, c.bytes);
        FormatOptions options;
        if (c.replaceText) {
            options.replaceOrDelete = 1;
            options.searchText = "NAME";
            options.replaceText = c.replaceText;
            options.textEncoding = c.texts;
        }
        RecordingPrompter prompter;

        EXPECT_EQ(c.expected,
                  ConversionDiff(path, "shown.c", options, ConvertSettings{}, prompter));

        if (c.message.empty())
            EXPECT_TRUE(prompter.calls().empty());
        else
            EXPECT_EQ(Box(c.message), DescribeCalls(prompter.calls()));
        if (c.bytes && !folder) {
            EXPECT_EQ(c.bytes, ReadFile(path)); // a preview writes nothing
        }
    }
}

TEST(ConversionPreview, DisplayTextTakesUtf8AsItIsAndElseEachLineAsCodePage932) {
    const std::pair<const char*, const char*> cases[] = {
        {"int x;\n", "int x;\n"},
        {"xé", "x\xC3\xA9"}, // UTF-8 up to the last byte
        {"テ\r\nス\n", "\x83\x65\r\n\x83\x58\n"},
        {"ﾁｱ", "\xC1\xB1"},                 // an overlong form is no UTF-8
        {"テ\n\xFF\n", "\x83\x65\n\xFF\n"}, // a line that is neither keeps its bytes
        {"燹ｱ\n", "\xE0\x9F\xB1\n"},        // an overlong three-byte form is no UTF-8 either
    };
    for (const auto& [expected, text] : cases)
        EXPECT_EQ(expected, DisplayText(text)) << text;
}

} // namespace
} // namespace srctdy
