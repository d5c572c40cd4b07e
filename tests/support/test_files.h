#pragma once

#include <functional>
#include <string>
#include <vector>

namespace srctdy::testing {

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    // path() + "/" + name.
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// Whole-file helpers; ReadFile gives "" for a missing file (check FileExists first).
std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);
// Names in folder (not "." or ".."), sorted.
std::string ListFolder(const std::string& folder);

// Runs body in a forked child that has dropped to uid and gid 65534, so that permission bits
// hold even when the tests run as root. Returns the child's exit status (body's return
// value), or -1 when it did not exit normally.
int RunAsNobody(const std::function<int()>& body);

// Runs a program with arguments, feeding input to its standard input; collects its output.
struct ProcessResult {
    int status = -1;
    std::string out;
    std::string err;
};
ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::string& input = {}, const std::string& workDir = {});

// A folder with a root .editorconfig and an empty .srctdy.toml, so that the files around
// the test run (the source tree's own .editorconfig) take no part in what it converts.
const std::string& NeutralFolder();

// Runs the built srctdy-cli in NeutralFolder() (standard input looks up its configuration
// from the current directory).
inline ProcessResult RunCli(const std::vector<std::string>& args, const std::string& input = {}) {
    return RunProcess(SRCTDY_CLI_PATH, args, input, NeutralFolder());
}

} // namespace srctdy::testing
