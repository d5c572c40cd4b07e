#pragma once

#include "engine/format_options.h"
#include "engine/line_filters.h"
#include "engine/text_encoding.h"

#include <string>
#include <string_view>

namespace srctdy {

class Prompter;
class LineReader;
class LineWriter;
class ByteSink;

// Results of ConvertFile.
enum ConvertResult : int {
    kConverted = 0,       // converted (a missing template included)
    kInputFailed = 1,     // the input could not be opened
    kOutputFailed = 2,    // the output could not be opened, written or put in place
    kTextsUnwritable = 3, // a text of the conditions cannot be written in the file's encoding
};

// What a conversion found besides its output.
struct ConvertReport {
    int commentsLeft = 0;     // comments left as they were: converting them would change tokens
    bool guardFailed = false; // the output's tokens differ from the input's: not placed
    long partingLine = 0;     // the input line where they part
};

// Whether a converted file reaches the disk before it replaces the old one (fsync), unless
// the caller says otherwise.
inline constexpr bool kSyncByDefault = false;

// Extra inputs and outputs of ConvertFile.
class FolderChecks;

struct ConvertExtras {
    std::string outputFolder; // sub-folder output goes here (created with its parents)
    // When set, the file (links followed) and its sub-folder output must lie inside this
    // folder, or the file fails: a link in a tree must not lead the conversion out of it.
    std::string treeRoot;
    // When set, the run's folder look-ups, kept from file to file.
    FolderChecks* folderChecks = nullptr;
    bool sync = kSyncByDefault; // flush the file to disk before its rename, its folder after
    bool unchanged = false;     // set: an overwrite found nothing to change and left the file
    TextEncoding encoding = TextEncoding::Cp932; // set: the encoding the file was taken in
    int commentsLeft = 0; // set: comments left as they were (see ConvertReport)
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

// Converts bytes held in memory (standard input, a file read whole) into output, as a file
// named path would be (path gives %filename%; may be empty). The encoding is the one the
// settings force, else the one the bytes show. Returns kConverted; kTextsUnwritable, or
// kOutputFailed when the token check refused the output, with the reason told to prompter and
// output empty.
int ConvertBytes(std::string_view input, std::string_view path, std::string& output,
                 const FormatOptions& options, const ConvertSettings& settings, Prompter& prompter,
                 ConvertExtras* extras = nullptr);

// The context of a file converted in encoding: the name of path (for %filename% and the
// template) and the conditions' texts in that encoding, and today's date. False, with the
// message for the user in message, when a text that a condition uses cannot be written in it.
bool MakeFileContext(std::string_view path, TextEncoding encoding, const FormatOptions& options,
                     FileContext& file, std::string& message);

// The line loop over an open input and output: in a UTF-8 file the mark (when the input has
// one), the template (when enabled), then every line through the stages, in file.encoding. Shows
// the template message through prompter. Returns false when the input could not be read to its end.
// Lets the line loop take plain lines the short way (on by default); a seam for tests that
// compare both ways.
void SetShortWayForTesting(bool on);

bool ConvertLines(LineReader& in, LineWriter& out, const FormatOptions& options,
                  const ConvertSettings& settings, const FileContext& file, Prompter& prompter,
                  ConvertReport* report = nullptr);

// Converts bytes in memory (no template message is lost: it goes to prompter).
std::string ConvertText(std::string_view input, const FormatOptions& options,
                        const ConvertSettings& settings, const FileContext& file,
                        Prompter& prompter, ConvertReport* report = nullptr);

} // namespace srctdy
