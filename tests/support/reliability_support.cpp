#include "support/reliability_support.h"

#include "engine/convert_file.h"
#include "platform/scripted_prompter.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <filesystem>
#include <random>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace srctdy::testing {

namespace {

void Walk(const std::string& folder, const std::string& prefix, FolderState& state) {
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return;
    std::vector<std::string> names;
    while (const dirent* e = ::readdir(dir)) {
        std::string name = e->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    ::closedir(dir);
    for (const std::string& name : names) {
        const std::string path = folder + "/" + name;
        struct stat st;
        if (::lstat(path.c_str(), &st) != 0)
            continue;
        EntryState& entry = state[prefix + name];
        entry.mode = st.st_mode & 07777;
        entry.inode = st.st_ino;
        entry.uid = st.st_uid;
        entry.gid = st.st_gid;
        if (S_ISREG(st.st_mode)) {
            entry.kind = 'f';
            entry.bytes = ReadFile(path);
        } else if (S_ISDIR(st.st_mode)) {
            entry.kind = 'd';
            Walk(path, prefix + name + "/", state);
        } else if (S_ISLNK(st.st_mode)) {
            entry.kind = 'l';
            char target[4096];
            ssize_t n = ::readlink(path.c_str(), target, sizeof target);
            entry.bytes.assign(target, n > 0 ? static_cast<size_t>(n) : 0);
        } else if (S_ISFIFO(st.st_mode)) {
            entry.kind = 'p';
        }
    }
}

} // namespace

FolderState Snapshot(const std::string& folder) {
    FolderState state;
    Walk(folder, "", state);
    return state;
}

std::string Differences(const FolderState& before, const FolderState& after, bool compareInodes) {
    std::string out;
    for (const auto& [name, was] : before) {
        auto it = after.find(name);
        if (it == after.end()) {
            out += name + ": gone\n";
            continue;
        }
        const EntryState& is = it->second;
        if (was.kind != is.kind)
            out += name + ": kind " + was.kind + " became " + is.kind + "\n";
        else if (was.bytes != is.bytes)
            out += name + ": bytes changed (" + std::to_string(was.bytes.size()) + " -> " +
                   std::to_string(is.bytes.size()) + ")\n";
        if (was.mode != is.mode)
            out += name + ": mode changed\n";
        if (was.uid != is.uid || was.gid != is.gid)
            out += name + ": owner changed\n";
        if (compareInodes && was.inode != is.inode)
            out += name + ": replaced by another file\n";
    }
    for (const auto& [name, is] : after)
        if (!before.count(name))
            out += name + ": new\n";
    return out;
}

std::vector<std::string> TemporaryFiles(const std::string& folder) {
    std::vector<std::string> found;
    for (const auto& [name, entry] : Snapshot(folder)) {
        const size_t slash = name.find_last_of('/');
        const std::string base = slash == std::string::npos ? name : name.substr(slash + 1);
        if (base.rfind("srctdy_temp.", 0) == 0)
            found.push_back(name);
    }
    return found;
}

std::string FirstDifference(std::string_view expected, std::string_view actual) {
    if (expected == actual)
        return {};
    size_t at = 0;
    while (at < expected.size() && at < actual.size() && expected[at] == actual[at])
        ++at;
    return "expected " + std::to_string(expected.size()) + " bytes, got " +
           std::to_string(actual.size()) + ", first difference at byte " + std::to_string(at);
}

std::string Converted(std::string_view input, std::string_view name, const FormatOptions& options,
                      const ConvertSettings& settings) {
    RecordingPrompter quiet;
    const FileContext file{NameOnlyFor(name), TodayText()};
    return ConvertText(input, options, settings, file, quiet);
}

std::string SourceText(size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string text;
    int depth = 0;
    while (text.size() < size) {
        switch (random() % 6) {
        case 0:
            if (depth < 3) { // shallow, so that indentation does not swell the text
                text += "void f" + std::to_string(random() % 1000) + "(void)   \n{\n";
                ++depth;
            }
            break;
        case 1:
            if (depth > 0) {
                text += "  }\n\n\n";
                --depth;
            }
            break;
        case 2:
            text += "\t/* \x82\xA0 note " + std::to_string(random()) + " */\n";
            break;
        default:
            text += "      int v" + std::to_string(random() % 100000) + " = " +
                    std::to_string(random()) + ";  \n";
        }
    }
    return text;
}

std::optional<std::string> CaptureInChild(const std::function<std::string()>& body,
                                          unsigned seconds) {
    int fds[2];
    if (::pipe(fds) != 0)
        return std::nullopt;
    const pid_t pid = ::fork();
    if (pid < 0)
        return std::nullopt;
    if (pid == 0) {
        ::close(fds[0]);
        ::alarm(seconds); // a hung conversion ends the child, and the test sees no text
        const std::string out = body();
        size_t done = 0;
        while (done < out.size()) {
            ssize_t n = ::write(fds[1], out.data() + done, out.size() - done);
            if (n <= 0)
                ::_exit(1);
            done += static_cast<size_t>(n);
        }
        ::_exit(0); // no exit handlers: the parent's state is the parent's
    }
    ::close(fds[1]);
    std::string out;
    char buffer[4096];
    ssize_t n;
    while ((n = ::read(fds[0], buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR))
        if (n > 0)
            out.append(buffer, static_cast<size_t>(n));
    ::close(fds[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return std::nullopt;
    return out;
}

void SetMode(const std::string& path, mode_t mode) {
    if (::chmod(path.c_str(), mode) != 0)
        ADD_FAILURE() << "chmod " << path << ": " << std::strerror(errno);
}

void SetOwner(const std::string& path, uid_t uid, gid_t gid) {
    if (::lchown(path.c_str(), uid, gid) != 0)
        ADD_FAILURE() << "chown " << path << ": " << std::strerror(errno);
}

std::string ImagePath() {
    return std::filesystem::path(__FILE__).parent_path().parent_path().parent_path() / "res" /
           "bitmap129.png";
}

} // namespace srctdy::testing
