#pragma once

#include "engine/text_encoding.h"

#include <optional>
#include <string>

namespace srctdy {

// The conversion conditions. The three texts are in textEncoding (templatePath: file-system
// bytes); each file uses them in its own encoding. Flags hold 0 (off) or 1 (on). Member
// initialisers are the start-up defaults.
struct FormatOptions {
    std::string conditionText;        // #if lines containing it open a block to delete; ""
    std::string replaceText;          // replaces searchText; "" deletes; "%filename%"/"%date%"
    std::string searchText;           // text to replace, or line prefix to delete; ""
    std::string templatePath;         // header template; startupFolder + "/FileTitle.txt"
    int insertFunctionNames = 0;      // fill module-header function names; off
    int deleteConditionalBlocks = 0;  // delete #if ... #endif blocks matching conditionText; off
    int replaceOrDelete = 0;          // replace (or delete) searchText by replaceText; off
    int insertHeaderTemplate = 0;     // copy the template to the top of each output; off
    int insertDefinitionComments = 0; // six section comments before the first #include; off
    int deleteMatchingLines = 0;      // delete lines beginning with searchText; off
    int collapseEmptyLines = 1;       // reduce runs of empty lines to one; on
    int deleteEmptyLines = 0;         // delete every empty line; off
    int fullWidthToHalfWidth = 1;     // full-width space to two ASCII spaces; on
    int trimBlanks = 1;               // remove white space at both ends of a line; on
    int commentMode = 0;              // 0 keep, 1 block to line, 2 line to block, 3 split long
    TextEncoding textEncoding = TextEncoding::Cp932; // of the texts: Cp932 (options dialog),
                                                     // Utf8 (command line)
};

// The start-up defaults, with the template beside the settings file in startupFolder.
FormatOptions StartupFormatOptions(const std::string& startupFolder);

// Line ends of the output: CR LF (the program's own), LF, or each line's own as read.
enum class LineEnds { CrLf, Lf, Keep };

// What the main dialog hands the engine besides the conditions.
struct ConvertSettings {
    bool indentOn = true;                    // indent by brace depth
    int indentSizeIndex = 1;                 // 0: 2 spaces, 1: 4, 2: 8, other: one tab
    std::string subFolderName = "NewFolder"; // sub-folder output, relative to the file's folder
    LineEnds lineEnds = LineEnds::CrLf;      // the command line's --eol; always CR LF in the GUI
    bool guard = true; // compare the output's tokens with the input's before it is placed
    std::optional<TextEncoding> forcedEncoding; // every file in this encoding; unset: per file
    TextEncoding asciiEncoding = TextEncoding::Cp932; // taken for files with no byte above 0x7F
};

} // namespace srctdy
