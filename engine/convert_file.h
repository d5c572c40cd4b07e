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

// Whether a converted file reaches the disk before it replaces the old one (fsync), unless
// the caller says otherwise.
inline constexpr bool kSyncByDefault = false;

// Extra inputs and outputs of ConvertFile.
struct ConvertExtras {
    std::string outputFolder; // sub-folder output goes here (created with its parents)
    // When set, the file (links followed) and its sub-folder output must lie inside this
    // folder, or the file fails: a link in a tree must not lead the conversion out of it.
    std::string treeRoot;
    bool sync = kSyncByDefault; // flush the file to disk before its rename, its folder after
    bool unchanged = false;     // set: an overwrite found nothing to change and left the file
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
                      const ConvertSettings& settings, Prompter& prompter);

// The line loop over an open input and output: the template (when enabled), then every line
// through the stages. Shows the template message through prompter. Returns false when the
// input could not be read to its end.
bool ConvertLines(LineReader& in, LineWriter& out, const FormatOptions& options,
                  const ConvertSettings& settings, const FileContext& file, Prompter& prompter);

// Converts bytes in memory (no template message is lost: it goes to prompter).
std::string ConvertText(std::string_view input, const FormatOptions& options,
                        const ConvertSettings& settings, const FileContext& file,
                        Prompter& prompter);

// The name used for %filename% and the template's ".c" line: the last path component,
// converted from UTF-8 to code page 932 where it can be, its bytes as they are otherwise.
std::string NameOnlyFor(std::string_view path);

} // namespace srctdy
