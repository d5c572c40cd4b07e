#include "platform/message_catalogue.h"
#include "platform/string_table.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>

namespace srctdy {
namespace {

// Reads the build's catalogues under the given messages locale, and goes back to "C".
class MessagesLocale {
public:
    explicit MessagesLocale(const char* locale) {
        OpenMessageCatalogue(SRCTDY_LOCALE_DIR);
        ok_ = std::setlocale(LC_MESSAGES, locale) != nullptr;
    }
    ~MessagesLocale() { std::setlocale(LC_MESSAGES, "C"); }
    bool ok() const { return ok_; }

private:
    bool ok_ = false;
};

#define ASSERT_JAPANESE_LOCALE(guard)                                                              \
    ASSERT_TRUE((guard).ok()) << "no ja_JP.UTF-8 locale on this machine: `make deps` makes it"

// The text filled in as the engine fills it: the path first, then (if asked) a line number.
std::string Filled(std::string_view pattern, const std::string& path) {
    return FormatText(FormatText(pattern, path), "12");
}

TEST(MessageCatalogue, SharedTextsReadAsTheTableUnderJapaneseAndInCliWordsOtherwise) {
    // Paths at the edges of the "%s" filling: empty, holding the fixed parts of the patterns.
    const std::string paths[] = {"dir/a.c", "", "[ x ]", "%s", "雛.c", "a ]\n入力の b.c"};
    for (const text::CliWording& row : text::kCliWordings) {
        for (const std::string& path : paths) {
            const std::string told = Filled(row.table, path);
            {
                MessagesLocale japanese("ja_JP.UTF-8");
                ASSERT_JAPANESE_LOCALE(japanese);
                EXPECT_EQ(told, CliText(told)) << row.cli;
            }
            MessagesLocale c("C");
            EXPECT_EQ(Filled(row.cli, path), CliText(told)) << row.cli;
        }
    }
}

TEST(MessageCatalogue, EveryCommandLineTextHasItsJapanese) {
    const std::string_view ids[] = {
        text::kCliUsage,        text::kCliWouldChange,   text::kCliTidy,
        text::kCliConverted,    text::kCliUnchanged,     text::kCliReadError,
        text::kCliWriteError,   text::kCliTryHelp,       text::kCliCommentsLeft,
        text::kCliCp932,        text::kCliUtf8,          text::kCliUnreadableFolder,
        text::kCliPathTooLong,  text::kCliOutputIsInput, text::kCliSummary,
        text::kCliCheckSummary, text::kCliProgress};
    MessagesLocale japanese("ja_JP.UTF-8");
    ASSERT_JAPANESE_LOCALE(japanese);
    for (std::string_view id : ids) {
        const std::string shown = CliText(id);
        EXPECT_NE(std::string(id), shown) << "missing from po/ja.po (or out of date): " << id;
        EXPECT_FALSE(shown.empty());
    }
}

TEST(MessageCatalogue, CommandLineTextsAreTranslatedAfterTheyAreFilledIn) {
    const std::string told = FormatText(text::kCliCommentsLeft, "3");
    {
        MessagesLocale c("C");
        EXPECT_EQ("comments left as they were: 3", CliText(told));
    }
    MessagesLocale japanese("ja_JP.UTF-8");
    ASSERT_JAPANESE_LOCALE(japanese);
    EXPECT_EQ("そのままにしたコメント: 3", CliText(told));
}

// Each "%s" of the text takes the next argument; what an argument holds is never filled.
TEST(MessageCatalogue, TextsAreFilledInOrder) {
    EXPECT_EQ("--%s and --b exclude each other",
              FormatText(text::kConfigExcludeEachOther, {"--%s", "--b"}));
    EXPECT_EQ("x needs a value (%s=...)", FormatText(text::kCliNeedsValue, {"x"}));
    EXPECT_EQ("unknown option -z", FormatText(text::kCliUnknownOption, {"-z", "extra"}));
    EXPECT_EQ("no PATH given", FormatText(text::kCliNoPath, {"a"}));
}

TEST(MessageCatalogue, OtherTextsPassUnchanged) {
    const std::string texts[] = {
        "unknown option --bogus",
        "", // gettext's empty id is the catalogue's header: never shown for an empty text
        "\xe3\x83\xaa\xe3\x83\x8d\xe3\x83\xbc\xe3\x83\xa0", // "リネーム": a table text's head
        std::string(text::kRenameError) + " ",              // a table text and a little more
        // The head and the tail of a filled text, overlapping: "[ " then " ]" as "[ ]".
        std::string(text::kReadError.substr(0, text::kReadError.find("%s"))) + "]",
    };
    for (const char* locale : {"C", "ja_JP.UTF-8"}) {
        MessagesLocale guard(locale);
        ASSERT_JAPANESE_LOCALE(guard);
        for (const std::string& t : texts)
            EXPECT_EQ(t, CliText(t)) << locale;
    }
}

} // namespace
} // namespace srctdy
