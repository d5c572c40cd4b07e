#include "support/test_files.h"

#include <gtest/gtest.h>

#include <clocale>
#include <regex>
#include <set>

namespace srctdy {
namespace {

using testing::ProcessResult;
using testing::RunProcess;
using testing::TempDir;
using testing::WriteFile;

// Runs srctdy-cli with the locale variables given and every other one removed.
ProcessResult RunCliIn(const std::vector<std::string>& locale, std::vector<std::string> args) {
    std::vector<std::string> env = {"-u", "LC_ALL", "-u", "LC_MESSAGES",
                                    "-u", "LANG",   "-u", "LANGUAGE"};
    env.insert(env.end(), locale.begin(), locale.end());
    env.push_back(SRCTDY_CLI_PATH);
    env.insert(env.end(), args.begin(), args.end());
    return RunProcess("/usr/bin/env", env);
}

bool HasJapaneseLocale() {
    locale_t japanese = ::newlocale(LC_MESSAGES_MASK, "ja_JP.UTF-8", nullptr);
    if (japanese != nullptr)
        ::freelocale(japanese);
    return japanese != nullptr;
}

TEST(CliLocale, MessagesAndHelpFollowTheLocale) {
    ASSERT_TRUE(HasJapaneseLocale()) << "no ja_JP.UTF-8 locale on this machine: `make deps`";
    TempDir dir;
    WriteFile(dir / "tidy.c", "a\r\n");
    const std::string missing = dir / "missing.c";
    struct Case {
        std::vector<std::string> locale;
        std::vector<std::string> args;
        std::string expected; // the start of standard output, or else of standard error
    };
    const std::vector<std::string> ja = {"LANG=ja_JP.UTF-8"};
    const std::vector<std::string> c = {"LANG=C"};
    const Case cases[] = {
        {c, {"--help"}, "Usage: srctdy-cli [OPTION]... PATH...\n"},
        {{}, {"--help"}, "Usage: srctdy-cli [OPTION]... PATH...\n"},
        {{"LANG=C.UTF-8"}, {"--help"}, "Usage: srctdy-cli [OPTION]... PATH...\n"},
        {ja, {"--help"}, "使い方: srctdy-cli [オプション]... パス...\n"},
        {{"LANG=C", "LC_MESSAGES=ja_JP.UTF-8"}, {"--help"}, "使い方: srctdy-cli"},
        {{"LANG=ja_JP.UTF-8", "LC_ALL=C"}, {"--help"}, "Usage: srctdy-cli"},
        // GNU gettext never translates under the C locale, whatever LANGUAGE says.
        {{"LANG=C", "LANGUAGE=ja"}, {"--help"}, "Usage: srctdy-cli"},
        {c,
         {"--bogus"},
         "srctdy-cli: unknown option --bogus\n"
         "Try 'srctdy-cli --help' for more information.\n"},
        {ja,
         {"--bogus"},
         "srctdy-cli: unknown option --bogus\n"
         "詳しくは 'srctdy-cli --help' を実行してください。\n"},
        {c, {missing}, missing + ": cannot open the file\n"},
        {ja, {missing}, missing + ": ファイルが選択されていません。\n"},
        {c,
         {"--check", "--verbose", dir / "tidy.c"},
         dir / "tidy.c" + ": tidy (code page 932)\n0 would change, 1 tidy, 0 failed\n"},
        {ja,
         {"--verbose", dir / "tidy.c"},
         dir / "tidy.c" + ": 変換しました（シフトJIS）\n変換 1 件、"},
        {ja,
         {"--check", "--verbose", dir / "tidy.c"},
         dir / "tidy.c" + ": 整形済み（シフトJIS）\n変更あり 0 件、整形済み 1 件、失敗 0 件\n"},
        {c, {"--rename=upper", missing}, missing + ": cannot rename [ missing.c ]\n"},
        {ja, {"--rename=upper", missing}, missing + ": リネームできませんでした。 [ missing.c ]\n"},
    };
    for (const Case& k : cases) {
        ProcessResult r = RunCliIn(k.locale, k.args);
        const std::string& shown = r.out.empty() ? r.err : r.out;
        EXPECT_EQ(k.expected, shown.substr(0, k.expected.size()))
            << (k.locale.empty() ? "" : k.locale.back()) << " " << k.args[0];
    }
}

// Every option of the English help is in the Japanese one: a new option needs its line in
// po/ja.po too.
TEST(CliLocale, JapaneseHelpListsEveryOption) {
    ASSERT_TRUE(HasJapaneseLocale()) << "no ja_JP.UTF-8 locale on this machine: `make deps`";
    auto options = [](const std::string& help) {
        std::set<std::string> names;
        static const std::regex option("--[a-z][a-z0-9-]*");
        for (std::sregex_iterator it(help.begin(), help.end(), option), end; it != end; ++it)
            names.insert(it->str());
        return names;
    };
    const std::set<std::string> english = options(RunCliIn({"LANG=C"}, {"--help"}).out);
    EXPECT_LT(20u, english.size());
    EXPECT_EQ(english, options(RunCliIn({"LANG=ja_JP.UTF-8"}, {"--help"}).out));
}

} // namespace
} // namespace srctdy
