// .srctdy.toml and .editorconfig through srctdy-cli: the same bytes as flags, the order of the
// layers, the walks, and the errors.
#include "support/test_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

namespace srctdy {
namespace {

using testing::ListFolder;
using testing::ProcessResult;
using testing::ReadFile;
using testing::RunCli;
using testing::TempDir;
using testing::WriteFile;

const std::string kSource = "/* head */\n#include <a.h>\n#if DEBUG\nlog();\n#endif\n"
                            "int f(void)   \n{\n\x81\x40x = 1; /* c */\n\n\n// DEL me\n"
                            "y = OLD;\nreturn 0;\n}\n";

// A tree whose root holds an empty .srctdy.toml and a root .editorconfig, so that nothing
// above the temporary folder takes part.
class ConfigTree : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(dir / "sub/deep");
        WriteFile(dir / ".srctdy.toml", "");
        WriteFile(dir / ".editorconfig", "root = true\n");
        for (const char* name : {"a.c", "sub/b.c", "sub/deep/c.c"})
            WriteFile(dir / name, kSource);
        WriteFile(dir / "sub/hdr.txt", "/* header */\n");
        WriteFile(dir / "sub/FileTitle.txt", "/* title */\n");
    }
    std::string stdoutOf(std::vector<std::string> args, const std::string& file) {
        args.insert(args.end(), {"--stdout", dir / file});
        ProcessResult r = RunCli(args);
        EXPECT_EQ(0, r.status) << r.err;
        return r.out;
    }
    // The line of --print-config for key: its value and where it came from.
    std::string shown(std::vector<std::string> args, const std::string& file,
                      const std::string& key) {
        args.insert(args.end(), {"--print-config", dir / file});
        ProcessResult r = RunCli(args);
        EXPECT_EQ(0, r.status) << r.err;
        size_t at = r.out.find("\n" + key + " = ");
        if (at == std::string::npos)
            return "(no " + key + ")";
        std::string line = r.out.substr(at + 1, r.out.find('\n', at + 1) - at - 1);
        return line.substr(key.size() + 3);
    }
    TempDir dir;
};

TEST_F(ConfigTree, SubFolderConfigurationGivesTheBytesOfTheSameFlags) {
    struct Case {
        std::string toml;
        std::vector<std::string> flags;
    };
    const Case cases[] = {
        {"indent = \"tab\"\ncomments = \"line\"\n", {"--indent=tab", "--comments=line"}},
        {"indent = 2\neol = \"lf\"\n", {"--indent=2", "--eol=lf"}},
        {"indent = \"off\"\neol = \"keep\"\n", {"--indent=off", "--eol=keep"}},
        {"trim = false\nfullwidth = false\ncollapse-empty = false\n",
         {"--no-trim", "--no-fullwidth", "--no-collapse-empty"}},
        {"delete-empty = true\ncomments = \"block\"\n", {"--delete-empty", "--comments=block"}},
        {"delete-lines = \"// DEL\"\ndelete-if = \"DEBUG\"\n",
         {"--delete-lines=// DEL", "--delete-if=DEBUG"}},
        {"replace = \"OLD\"\nwith = \"\xE6\x96\xB0\"\n", {"--replace=OLD", "--with=\xE6\x96\xB0"}},
        {"replace = \"OLD\"\nwith = \"%filename%\"\n", {"--replace=OLD", "--with=%filename%"}},
        {"definitions = true\nfunction-names = true\ncomments = \"split\"\n",
         {"--definitions", "--function-names", "--comments=split"}},
        {"template = \"hdr.txt\"\n", {"--template=" + dir / "sub/hdr.txt"}},
        {"template = \"deep/../hdr.txt\"\n", {"--template=" + dir / "sub/hdr.txt"}},
        {"template = true\n", {"--template=" + dir / "sub/FileTitle.txt"}},
        {"encoding = \"auto\"\n", {"--encoding=auto"}},
    };
    for (const Case& c : cases) {
        WriteFile(dir / "sub/.srctdy.toml", c.toml);
        std::vector<std::string> flags = c.flags;
        flags.push_back("--no-config");
        for (const char* file : {"sub/b.c", "sub/deep/c.c"})
            EXPECT_EQ(stdoutOf(flags, file), stdoutOf({}, file)) << c.toml << file;
        // The file above the configuration keeps the defaults.
        EXPECT_EQ(stdoutOf({"--no-config"}, "a.c"), stdoutOf({}, "a.c")) << c.toml;
        // Standard input looks up from --assume-filename's folder.
        ProcessResult piped = RunCli({"--assume-filename=" + dir / "sub/deep/c.c", "-"}, kSource);
        EXPECT_EQ(stdoutOf(flags, "sub/deep/c.c"), piped.out) << c.toml;
    }
}

TEST_F(ConfigTree, LayersFromWeakestToStrongest) {
    struct Case {
        std::string editorconfig; // sub/.editorconfig
        std::string toml;         // sub/.srctdy.toml
        std::vector<std::string> flags;
        std::string key;
        std::string expected; // value  # source ("EC", "TOML" stand for the files)
    };
    const Case cases[] = {
        {"", "", {}, "indent", "\"4\"  # default"},
        {"[*.c]\nindent_style = tab\n",
         "",
         {},
         "indent",
         "\"tab\"  # (.editorconfig indent_style)"},
        {"[*]\nindent_size = 2\n", "", {}, "indent", "\"2\"  # (.editorconfig indent_size)"},
        {"[*]\nindent_style = space\nindent_size = 8\n",
         "",
         {},
         "indent",
         "\"8\"  # (.editorconfig indent_size)"},
        {"[*]\nindent_size = 3\n", "", {}, "indent", "\"4\"  # default"},
        {"[*]\nindent_size = tab\n", "", {}, "indent", "\"tab\"  # (.editorconfig indent_size)"},
        // A style other than space or tab says nothing of the size either.
        {"[*]\nindent_style = wide\nindent_size = 2\n", "", {}, "indent", "\"4\"  # default"},
        {"[*]\nindent_style = tab\n", "indent = 2\n", {}, "indent", "\"2\"  # TOML:1"},
        {"[*]\nindent_style = tab\n",
         "indent = 2\n",
         {"--indent=8"},
         "indent",
         "\"8\"  # command line"},
        {"[*]\nend_of_line = lf\n", "", {}, "eol", "\"lf\"  # (.editorconfig end_of_line)"},
        {"[*]\nend_of_line = crlf\n", "", {}, "eol", "\"crlf\"  # (.editorconfig end_of_line)"},
        {"[*]\nend_of_line = cr\n", "", {}, "eol", "\"crlf\"  # default"},
        {"[*]\nend_of_line = lf\n", "eol = \"keep\"\n", {}, "eol", "\"keep\"  # TOML:1"},
        {"[*]\ntrim_trailing_whitespace = false\n",
         "",
         {},
         "trim",
         "false  # (.editorconfig trim_trailing_whitespace)"},
        {"[*]\ntrim_trailing_whitespace = false\n", "", {"--trim"}, "trim", "true  # command line"},
        {"[*]\ncharset = utf-8\n", "", {}, "encoding", "\"utf-8\"  # (.editorconfig charset)"},
        {"[*]\ncharset = utf-8-bom\n",
         "",
         {},
         "encoding",
         "\"utf-8\" # with the byte order mark  # (.editorconfig charset)"},
        {"[*]\ncharset = utf-8-bom\n",
         "encoding = \"cp932\"\n",
         {},
         "encoding",
         "\"cp932\"  # TOML:1"},
        {"[*]\ncharset = latin1\n", "", {}, "encoding", "\"auto\"  # default"},
        // Globs: a path section, braces, a section for other files.
        {"[deep/**]\nindent_style = tab\n",
         "",
         {},
         "indent",
         "\"tab\"  # (.editorconfig indent_style)"},
        {"[{b,c}.c]\nindent_style = tab\n",
         "",
         {},
         "indent",
         "\"tab\"  # (.editorconfig indent_style)"},
        {"[*.h]\nindent_style = tab\n", "", {}, "indent", "\"4\"  # default"},
        // A size says nothing beside a style of spaces.
        {"[*]\nindent_style = space\nindent_size = tab\n", "", {}, "indent", "\"4\"  # default"},
        {"", "indent = \"off\"\n", {}, "indent", "\"off\"  # TOML:1"},
        {"", "delete-if = false\n", {}, "delete-if", "false  # TOML:1"},
        // Turning one of the pair off leaves the other standing, in the order of the lines.
        {"", "replace = false\ndelete-lines = \"DEL\"\n", {}, "delete-lines", "\"DEL\"  # TOML:2"},
        {"", "delete-lines = \"DEL\"\nreplace = false\n", {}, "replace", "false  # TOML:2"},
        {"", "delete-lines = \"DEL\"\nreplace = false\n", {}, "delete-lines", "\"DEL\"  # TOML:1"},
        {"", "", {"--replace=OLD"}, "delete-lines", "false  # default"},
        // The command line replaces the file's option that excludes its own.
        {"", "replace = \"OLD\"\n", {"--delete-lines=// DEL"}, "replace", "false  # command line"},
        {"",
         "replace = \"OLD\"\n",
         {"--delete-lines=// DEL"},
         "delete-lines",
         "\"// DEL\"  # command line"},
        {"",
         "delete-empty = true\n",
         {"--collapse-empty"},
         "collapse-empty",
         "false  # command line"},
        {"", "replace = \"OLD\"\n", {"--with=NEW"}, "with", "\"NEW\"  # command line"},
        {"", "replace = \"OLD\"\n", {"--no-config"}, "replace", "false  # default"},
        {"[*]\nindent_style = tab\n", "", {"--no-config"}, "indent", "\"4\"  # default"},
    };
    const std::string toml = dir / "sub/.srctdy.toml";
    for (const Case& c : cases) {
        WriteFile(dir / "sub/.editorconfig", c.editorconfig);
        WriteFile(toml, c.toml);
        std::string expected = c.expected;
        if (size_t at = expected.find("TOML"); at != std::string::npos)
            expected.replace(at, 4, toml);
        EXPECT_EQ(expected, shown(c.flags, "sub/deep/c.c", c.key)) << c.editorconfig << c.toml;
    }
}

TEST_F(ConfigTree, NearestFileWinsAndRootEditorConfigStopsTheSearch) {
    WriteFile(dir / "sub/.srctdy.toml", "indent = 8\ncomments = \"line\"\n");
    WriteFile(dir / "sub/deep/.srctdy.toml", "indent = 2\n");
    // The nearest file wins whole: the farther one's comments do not come through.
    EXPECT_EQ("\"2\"  # " + dir / "sub/deep/.srctdy.toml:1", shown({}, "sub/deep/c.c", "indent"));
    EXPECT_EQ("\"keep\"  # default", shown({}, "sub/deep/c.c", "comments"));
    // --config names the one file for every file.
    EXPECT_EQ("\"8\"  # " + dir / "sub/.srctdy.toml:1",
              shown({"--config=" + dir / "sub/.srctdy.toml"}, "a.c", "indent"));
    ProcessResult missing = RunCli({"--config=" + dir / "none.toml", "--check", dir / "a.c"});
    EXPECT_EQ(2, missing.status);
    EXPECT_EQ("srctdy-cli: " + dir / "none.toml: cannot be read\n", missing.err);
    WriteFile(dir / "sub/.editorconfig", "[*.c\nindent_style = tab\n");
    ProcessResult broken = RunCli({"--check", dir / "sub/b.c"});
    EXPECT_EQ(2, broken.status);
    EXPECT_EQ("srctdy-cli: " + dir / "sub/.editorconfig:1: cannot be parsed\n", broken.err);

    WriteFile(dir / "sub/.editorconfig", "[*]\nindent_style = tab\nend_of_line = lf\n");
    WriteFile(dir / "sub/deep/.editorconfig",
              "root = true\n[*]\ntrim_trailing_whitespace = false\n");
    EXPECT_EQ("\"crlf\"  # default", shown({}, "sub/deep/c.c", "eol"));
    EXPECT_EQ("false  # (.editorconfig trim_trailing_whitespace)",
              shown({}, "sub/deep/c.c", "trim"));
    EXPECT_EQ("\"lf\"  # (.editorconfig end_of_line)", shown({}, "sub/b.c", "eol"));
    // charset takes an ASCII file as UTF-8: a new character comes out in UTF-8, not code page 932.
    WriteFile(dir / "sub/ascii.c", "y = OLD;\n");
    WriteFile(dir / "sub/.editorconfig", "[*]\ncharset = utf-8\n");
    EXPECT_EQ("y = \xE6\x96\xB0;\r\n",
              stdoutOf({"--replace=OLD", "--with=\xE6\x96\xB0"}, "sub/ascii.c"));
}

TEST_F(ConfigTree, TypeAndExcludeRuleTheWalksUnderTheirFolder) {
    WriteFile(dir / "sub/x.h", "x\n");
    WriteFile(dir / "sub/deep/gen.c", "g\n");
    WriteFile(dir / "sub/deep/y.h", "y\n");
    struct Case {
        std::string toml;
        std::vector<std::string> flags;
        std::string files; // as --check --verbose lists them, relative to the tree
    };
    const Case cases[] = {
        {"", {}, "a.c sub/b.c sub/deep/c.c sub/deep/gen.c"},
        {"type = [\"*.c\", \"*.h\"]\n",
         {},
         "a.c sub/b.c sub/x.h sub/deep/c.c sub/deep/gen.c sub/deep/y.h"},
        {"type = \"*.h\"\nexclude = [\"deep/y.h\"]\n", {}, "a.c sub/x.h"},
        {"exclude = [\"deep/gen*\"]\n", {}, "a.c sub/b.c sub/deep/c.c"},
        {"exclude = [\"deep\"]\n", {}, "a.c sub/b.c"},
        {"exclude = []\n", {}, "a.c sub/b.c sub/deep/c.c sub/deep/gen.c"},
        {"exclude = [\"**/*.c\"]\n", {}, "a.c"},
        // The command line's --type and --exclude replace the file's.
        {"type = \"*.h\"\n", {"--type=*.c"}, "a.c sub/b.c sub/deep/c.c sub/deep/gen.c"},
        {"exclude = [\"deep\"]\n", {"--exclude=a.c"}, "sub/b.c sub/deep/c.c sub/deep/gen.c"},
        {"exclude = [\"deep\"]\n", {"--no-config"}, "a.c sub/b.c sub/deep/c.c sub/deep/gen.c"},
    };
    for (const Case& c : cases) {
        WriteFile(dir / "sub/.srctdy.toml", c.toml);
        std::vector<std::string> args = c.flags;
        args.insert(args.end(), {"--check", "--verbose", "-r", dir.path()});
        ProcessResult r = RunCli(args);
        std::string files;
        for (size_t at = 0; (at = r.err.find(dir.path() + "/", at)) != std::string::npos;) {
            at += dir.path().size() + 1;
            std::string_view rest = std::string_view(r.err).substr(at);
            files.append(files.empty() ? "" : " ").append(rest.substr(0, rest.find(':')));
        }
        EXPECT_EQ(c.files, files) << c.toml << r.err;
    }
}

TEST_F(ConfigTree, ErrorsNameFileLineAndKeyAndConvertNothing) {
    std::filesystem::create_directories(dir / "outside");
    WriteFile(dir / "outside/secret.txt", "secret\n");
    ::symlink((dir / "outside/secret.txt").c_str(), (dir / "sub/link.txt").c_str());
    struct Case {
        std::string toml;
        std::string reason; // after "srctdy-cli: PATH:"
    };
    const Case cases[] = {
        {"indent = 4\nbogus = 1\n", "2: bogus is not an option"},
        {"no-trim = true\n", "1: no-trim is not an option"},
        {"subfolder = \"x\"\n", "1: subfolder is not an option"},
        {"[section]\nindent = 4\n", "1: section is not an option"},
        {"\n\nindent = 3\n", "3: indent must be 2, 4, 8, tab or off"},
        {"indent = 4.0\n", "1: indent must be 2, 4, 8, tab or off"},
        {"trim = \"yes\"\n", "1: trim must be true or false"},
        {"comments = \"all\"\n", "1: comments must be keep, line, block or split"},
        {"eol = \"cr\"\n", "1: eol must be crlf, lf or keep"},
        {"encoding = \"latin1\"\n", "1: encoding must be auto, cp932 or utf-8"},
        {"delete-lines = \"ab\"\n", "1: delete-lines needs a prefix of at least 3 bytes"},
        // One character, two bytes in code page 932.
        {"delete-lines = \"\xE8\xA1\xA8\"\n", "1: delete-lines needs a prefix of at least 3"},
        {"encoding = \"cp932\"\nreplace = \"\xF0\x9F\x98\x80\"\n",
         "2: replace holds a character that code page 932"},
        {"replace = 1\n", "1: replace must be a text"},
        {"replace = \"a\"\ndelete-lines = \"abc\"\n",
         "2: replace and delete-lines exclude each other"},
        {"with = \"x\"\n", "1: with needs replace"},
        {"with = false\n", "1: with must be a text"},
        {"replace = true\n", "1: replace must be a text"},
        // An unused replacement text needs no code page 932 form: the missing replace comes first.
        {"encoding = \"cp932\"\ndelete-lines = \"abc\"\nwith = \"\xF0\x9F\x98\x80\"\n",
         "3: with needs replace"},
        {"exclude = [\"\"]\n", "1: exclude must be a list of patterns"},
        // A sibling whose name begins with the folder's is still outside.
        {"template = \"../subx.txt\"\n", "1: template must name a file at or under"},
        {"type = []\n", "1: type must be a list of patterns"},
        {"exclude = [1]\n", "1: exclude must be a list of patterns"},
        {"template = \"../outside/secret.txt\"\n", "1: template must name a file at or under"},
        {"template = \"link.txt\"\n", "1: template must name a file at or under"},
        {"template = \"/etc/passwd\"\n", "1: template must name a file at or under"},
        {"template = \"missing/../../x.txt\"\n", "1: template must name a file at or under"},
        {"indent = \n", "1: "},
        {"indent = 4\nindent = 2\n", "2: "},
    };
    const std::string toml = dir / "sub/.srctdy.toml";
    for (const Case& c : cases) {
        WriteFile(toml, c.toml);
        for (std::vector<std::string> args : {std::vector<std::string>{"-r", dir.path()},
                                              {"--check", dir / "a.c", dir / "sub/deep/c.c"},
                                              {"--print-config", dir / "sub/b.c"}}) {
            ProcessResult r = RunCli(args);
            EXPECT_EQ(2, r.status) << c.toml;
            EXPECT_EQ(0u, r.err.find("srctdy-cli: " + toml + ":" + c.reason)) << r.err;
            EXPECT_EQ("", r.out);
        }
        EXPECT_EQ(kSource, ReadFile(dir / "a.c")) << c.toml;
        EXPECT_EQ(kSource, ReadFile(dir / "sub/b.c")) << c.toml;
    }
    // A template inside the folder, even through a missing name, is fine; --no-config skips
    // a broken file.
    WriteFile(toml, "template = \"missing.txt\"\n");
    EXPECT_EQ(0, RunCli({"--check", dir / "sub/b.c"}).status & 2);
    WriteFile(toml, "indent = 3\n");
    EXPECT_EQ(1, RunCli({"--no-config", "--check", dir / "sub/b.c"}).status);
    EXPECT_EQ(".editorconfig .srctdy.toml a.c outside sub", ListFolder(dir.path()));
}

} // namespace
} // namespace srctdy
