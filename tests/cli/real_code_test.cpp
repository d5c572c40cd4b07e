#include "support/c_tokens.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

namespace srctdy {
namespace {

using testing::FileExists;
using testing::ProcessResult;
using testing::ReadFile;
using testing::RunCli;
using testing::RunProcess;
using testing::TempDir;
using testing::WriteFile;

// Real code nobody on this project wrote: the Lua interpreter's sources, vendored.
const std::string kLua = std::string(SRCTDY_TEST_DATA) + "/lua";
const std::string kGcc = "/usr/bin/gcc";

struct OptionSet {
    const char* name;
    std::vector<std::string> args;
    // A second run gives the same bytes. Not so for block to line comments: an opening line is
    // written without indentation and a closing "case" line is no label, so the next run,
    // seeing plain line comments, indents them.
    bool fixedPoint = true;
};

const OptionSet kOptionSets[] = {
    {"Defaults", {}},
    {"IndentTab", {"--indent=tab"}},
    {"CommentsLine", {"--comments=line"}, false},
    {"CommentsBlock", {"--comments=block"}},
    {"CommentsSplit", {"--comments=split"}},
    {"DeleteEmpty", {"--delete-empty"}},
    {"IndentTabDeleteEmpty", {"--indent=tab", "--delete-empty"}},
    {"CommentsLineDeleteEmpty", {"--comments=line", "--delete-empty"}, false},
    {"CommentsBlockDeleteEmpty", {"--comments=block", "--delete-empty"}},
    {"CommentsSplitDeleteEmpty", {"--comments=split", "--delete-empty"}},
};

void PrintTo(const OptionSet& set, std::ostream* os) {
    *os << set.name;
}

// The .c and .h files of the vendored tree, sorted.
std::vector<std::string> LuaFiles() {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(kLua)) {
        const std::string ext = entry.path().extension().string();
        if (ext == ".c" || ext == ".h")
            names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

size_t LineCount(const std::string& text) {
    return static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
}

// Converts every file of folder into folder/subFolder with the option set.
void Convert(const OptionSet& set, const std::string& folder, const std::string& subFolder) {
    std::vector<std::string> args = set.args;
    args.insert(args.end(), {"--type=*.c,*.h", "--quiet", "--subfolder=" + subFolder, folder});
    const ProcessResult r = RunCli(args);
    ASSERT_EQ(0, r.status) << r.err;
    EXPECT_EQ("", r.err);
}

// The first error gcc reports for file in folder, or "" when it compiles.
std::string GccError(const std::string& folder, const std::string& file) {
    const ProcessResult r = RunProcess(kGcc, {"-fsyntax-only", "-std=gnu99", file}, {}, folder);
    if (r.status == 0)
        return "";
    const size_t error = r.err.find("error:");
    const size_t from = error == std::string::npos ? 0 : r.err.rfind('\n', error) + 1;
    return file + ": " + r.err.substr(from, r.err.find('\n', from) - from);
}

std::string Joined(const std::vector<std::string>& lines) {
    std::string out;
    for (const std::string& line : lines)
        out += "\n  " + line;
    return out;
}

class RealCode : public ::testing::TestWithParam<OptionSet> {};

// Each option set keeps the tokens of every file, reaches a fixed point in one run and leaves
// every compiling file compiling (ltests.c needs a configuration header of its own).
TEST_P(RealCode, LuaKeepsItsTokensAndStillCompiles) {
    ASSERT_TRUE(FileExists(kGcc)) << "the C compiler is part of the build packages";
    const std::vector<std::string> files = LuaFiles();
    ASSERT_EQ(63u, files.size());
    TempDir dir;
    for (const std::string& name : files)
        WriteFile(dir / name, ReadFile(kLua + "/" + name));
    ASSERT_NO_FATAL_FAILURE(Convert(GetParam(), dir.path(), "once"));
    ASSERT_NO_FATAL_FAILURE(Convert(GetParam(), dir / "once", "twice"));

    std::vector<std::string> changedTokens, grown, notFixed, broken, sources;
    for (const std::string& name : files) {
        const std::string input = ReadFile(dir / name);
        const std::string once = ReadFile(dir / "once/" + name);
        const std::string twice = ReadFile(dir / "once/twice/" + name);
        const std::string difference = testing::FirstTokenDifference(
            testing::TokenizeC(input, false), testing::TokenizeC(once, false));
        if (!difference.empty())
            changedTokens.push_back(name + ": " + difference);
        if (LineCount(twice) != LineCount(once))
            grown.push_back(name + ": " + std::to_string(LineCount(once)) + " lines, then " +
                            std::to_string(LineCount(twice)));
        else if (GetParam().fixedPoint && twice != once)
            notFixed.push_back(name);
        if (name.ends_with(".c") && name != "ltests.c")
            sources.push_back(name);
    }
    // One compiler run for the whole tree; file by file only to name the broken ones.
    std::vector<std::string> all = {"-fsyntax-only", "-std=gnu99"};
    all.insert(all.end(), sources.begin(), sources.end());
    if (RunProcess(kGcc, all, {}, dir / "once").status != 0) {
        static const bool inputCompiles = RunProcess(kGcc, all, {}, dir.path()).status == 0;
        ASSERT_TRUE(inputCompiles) << "the vendored sources must compile as they are";
        for (const std::string& name : sources)
            if (const std::string error = GccError(dir / "once", name); !error.empty())
                broken.push_back(error);
    }
    EXPECT_TRUE(changedTokens.empty()) << changedTokens.size() << " of " << files.size()
                                       << " files changed their tokens:" << Joined(changedTokens);
    EXPECT_TRUE(grown.empty()) << grown.size() << " files grew on a second run:" << Joined(grown);
    EXPECT_TRUE(notFixed.empty()) << notFixed.size()
                                  << " files changed again on a second run:" << Joined(notFixed);
    EXPECT_TRUE(broken.empty()) << broken.size() << " of " << sources.size()
                                << " sources no longer compile:" << Joined(broken);
}

INSTANTIATE_TEST_SUITE_P(Lua, RealCode, ::testing::ValuesIn(kOptionSets),
                         [](const ::testing::TestParamInfo<OptionSet>& info) {
                             return std::string(info.param.name);
                         });

} // namespace
} // namespace srctdy
