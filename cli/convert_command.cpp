#include "cli/convert_command.h"

#include "batch/file_list.h"
#include "engine/convert_file.h"
#include "engine/cp932.h"
#include "engine/line_reader.h"
#include "engine/line_writer.h"
#include "platform/prompter.h"

#include <set>
#include <sys/stat.h>
#include <utility>

namespace srctdy {

namespace {

// Collects a file's messages so that they can be written prefixed with its path. The command
// line never asks: a question gets the answer that goes on with the work.
class CollectingPrompter : public Prompter {
public:
    PromptAnswer ask(std::string_view text, PromptIcon, PromptButtons buttons) override {
        messages.emplace_back(text);
        return buttons == PromptButtons::Ok ? PromptAnswer::Ok : PromptAnswer::No;
    }
    std::vector<std::string> messages;
};

void Report(std::ostream& err, const std::string& path, const CollectingPrompter& prompter) {
    for (std::string message : prompter.messages) {
        // One line per message, so that tools can read them.
        for (char& c : message)
            if (c == '\n')
                c = ' ';
        err << path << ": " << message << "\n";
    }
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    return folder.back() == '/' ? folder + name : folder + "/" + name;
}

int ConvertStandardInput(const CliOptions& options, std::ostream& err) {
    CollectingPrompter prompter;
    FileContext file{options.assumeFilename ? NameOnlyFor(*options.assumeFilename) : "",
                     TodayText()};
    LineReader reader(0);
    FdSink sink(1);
    bool ok;
    {
        LineWriter writer(sink);
        ok = ConvertLines(reader, writer, options.format, options.settings, file, prompter);
        ok = writer.flush() && ok;
    }
    Report(err, "-", prompter);
    if (!ok)
        err << "-: " << (reader.failed() ? "read error" : "write error") << "\n";
    return ok ? 0 : 1;
}

} // namespace

std::vector<std::string> ExpandPaths(const std::vector<std::string>& paths,
                                     const std::string& fileType) {
    std::vector<std::string> files;
    std::set<std::pair<dev_t, ino_t>> seen;
    std::set<std::string> seenMissing;
    auto add = [&](const std::string& path) {
        struct stat st;
        if (::stat(path.c_str(), &st) == 0) {
            if (!seen.insert({st.st_dev, st.st_ino}).second)
                return;
        } else if (!seenMissing.insert(path).second) {
            return;
        }
        files.push_back(path);
    };
    for (const std::string& path : paths) {
        struct stat st;
        if (path != "-" && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
            for (const std::string& name : ListFiles(path, fileType))
                add(JoinPath(path, name));
        } else if (path == "-") {
            files.push_back(path);
        } else {
            add(path); // a missing file is reported when it is converted
        }
    }
    return files;
}

int RunConversion(const CliOptions& options, std::ostream& err) {
    int status = 0;
    bool stdinDone = false;
    for (const std::string& path : ExpandPaths(options.paths, options.fileType)) {
        if (path == "-") {
            if (!stdinDone && ConvertStandardInput(options, err) != 0)
                status = 1;
            stdinDone = true;
            continue;
        }
        CollectingPrompter prompter;
        int result;
        if (options.toStdout) {
            FdSink sink(1);
            result = ConvertFileToSink(path, sink, options.format, options.settings, prompter);
        } else {
            result =
                ConvertFile(path, options.overwrite, options.format, options.settings, prompter);
        }
        Report(err, path, prompter);
        if (result != kConverted)
            status = 1;
    }
    err.flush();
    return status;
}

} // namespace srctdy
