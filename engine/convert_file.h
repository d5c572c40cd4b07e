#pragma once

#include "engine/format_options.h"
#include "engine/line_filters.h"

#include <string>
#include <string_view>

namespace srctdy {

class Prompter;
class LineReader;
class LineWriter;
class ByteSink;

// Results of ConvertFile.
enum ConvertResult : int {
    kConverted = 0,    // converted (a missing template included)
    kInputFailed = 1,  // the input could not be opened
    kOutputFailed = 2, // the output could not be opened, written or put in place
};

// What a conversion found besides its output.
struct ConvertReport {
    int commentsLeft = 0;    // comments left as they were: converting them would change tokens
    bool guardFailed = false; // the output's tokens differ from the input's: not placed
    long partingLine = 0;    // the input line where they part
};

// Extra inputs and outputs of ConvertFile for the command line.
struct ConvertExtras {
    std::string outputFolder; // sub-folder output goes here (created with its parents)
    bool unchanged = false;   // set: an overwrite found nothing to change and left the file
    int commentsLeft = 0;     // set: comments left as they were (see ConvertReport)
};

// Converts one file. path names the file (relative paths against the process's current
// directory, which is never read or changed here). Sub-folder output goes to
// settings.subFolderName inside the file's folder; overwrite replaces the file atomically
// through a temporary file beside it. Messages go to prompter. Returns a ConvertResult.
int ConvertFile(const std::string& path, bool overwrite, const FormatOptions& options,
                const ConvertSettings& settings, Prompter& prompter,
                ConvertExtras* extras = nullptr);

// Converts the file at path into sink (standard output, memory) instead of a file. Returns
// kInputFailed when the input cannot be opened, kOutputFailed on a read or write error.
int ConvertFileToSink(const std::string& path, ByteSink& sink, const FormatOptions& options,
                      const ConvertSettings& settings, Prompter& prompter,
                      ConvertExtras* extras = nullptr);

// Shows that a file's output was not placed because its tokens differ from the input's.
void TellTokensChanged(Prompter& prompter, const std::string& path, long partingLine);

// The line loop over an open input and output: the template (when enabled), then every line
// through the stages. Shows the template message through prompter. Returns false when the
// input could not be read to its end.
bool ConvertLines(LineReader& in, LineWriter& out, const FormatOptions& options,
                  const ConvertSettings& settings, const FileContext& file, Prompter& prompter,
                  ConvertReport* report = nullptr);

// Converts bytes in memory (no template message is lost: it goes to prompter).
std::string ConvertText(std::string_view input, const FormatOptions& options,
                        const ConvertSettings& settings, const FileContext& file,
                        Prompter& prompter, ConvertReport* report = nullptr);

// The name used for %filename% and the template's ".c" line: the last path component,
// converted from UTF-8 to code page 932 where it can be, its bytes as they are otherwise.
std::string NameOnlyFor(std::string_view path);

} // namespace srctdy
