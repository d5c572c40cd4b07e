#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

// Every text the program shows, shared by the desktop program and the command line. UTF-8;
// the texts that end up inside converted files are turned into code page 932 by the engine.
// A "%s" stands for a file name or a path, filled in with FormatText().
namespace srctdy::text {

// Conversion of one file.
inline constexpr std::string_view kInputOpenError = "ファイルが選択されていません。";
inline constexpr std::string_view kOutputOpenError = "出力ファイル・オープンエラー！";
inline constexpr std::string_view kTemplateMissing =
    "雛形ファイルが存在しません。\n雛形挿入処理は無視されます。";
inline constexpr std::string_view kReadError = "ファイル読み込みエラー！\n[ %s ]";
inline constexpr std::string_view kWriteError = "出力ファイル・書き込みエラー！\n[ %s ]";
inline constexpr std::string_view kReplaceError = "ファイルを置き換えられませんでした。\n[ %s ]";
inline constexpr std::string_view kReadOnlyInput =
    "読み取り専用ファイルは上書きできません。\n[ %s ]";
// "%s": the path, then the input line where the output's tokens part from the input's.
inline constexpr std::string_view kTokensWouldChange =
    "変換するとコンパイラが読むトークンが変わるため、書き出しませんでした。\n[ %s ]\n入力の %s "
    "行目";
inline constexpr std::string_view kEmptySubFolderName = "ｻﾌﾞ・ﾌｫﾙﾀﾞ名が指定されていません。";
inline constexpr std::string_view kBadSubFolderName =
    "ｻﾌﾞ・ﾌｫﾙﾀﾞ名が正しくありません。\n空の部分、「.」、「..」を含まない相対パスを指定して下さい。";
inline constexpr std::string_view kSubFolderIsSource =
    "ｻﾌﾞ・ﾌｫﾙﾀﾞが変換元のフォルダ自身か、その上のフォルダです。\n[ %s ]";
inline constexpr std::string_view kOutsideFolder =
    "リンク先が変換するフォルダの外にあるため、変換しません。\n[ %s ]";
inline constexpr std::string_view kChangedWhileConverting =
    "変換中にファイルが変更されたため、変換結果を書き込みませんでした。\n[ %s ]";
inline constexpr std::string_view kLineTooLong =
    "64 MiB を超える行があるため、変換できません。\n[ %s ]";
inline constexpr std::string_view kOutOfMemory = "メモリが足りないため、変換できません。\n[ %s ]";
// Only texts given on the command line (UTF-8) can fail so; the file is left as it is.
inline constexpr std::string_view kTextNotInCp932 =
    "not converted: the text \"%s\" cannot be written in code page 932, this file's encoding";

// The definition comments written before the first #include line.
inline constexpr std::string_view kDefinitionComments[] = {
    "/* 標準インクルード */", "/* ユーザーインクルード */", "/* 外部関数定義 */",
    "/* DEFINE定義 */",       "/* 構造体定義 */",           "/* グローバル変数定義 */",
};

// Module-header markers.
inline constexpr std::string_view kFunctionNameMarker = "[関数名]";
inline constexpr std::string_view kSummaryMarker = "[概要]";

// Batch run, file list and folders.
inline constexpr std::string_view kNoFolder = "フォルダ選択されていません。";
inline constexpr std::string_view kAllFilesQuestion =
    "全てのﾌｧｲﾙを整形します。\nC,C++ｿｰｽ以外のﾌｧｲﾙはありませんね？";
inline constexpr std::string_view kNoFiles = "変換対象ファイルがありません。";
inline constexpr std::string_view kAllConverted = "全てのファイルを整形しました。";
inline constexpr std::string_view kNoSelection = "選択ファイルがありません。";
inline constexpr std::string_view kSelectedConverted = "指定のファイルを整形しました。";
inline constexpr std::string_view kEditorFailed = "ｴﾃﾞｨﾀが起動できませんでした。";
inline constexpr std::string_view kNoSubFolder = "指定のサブフォルダが存在しません。";
inline constexpr std::string_view kBrowseFolderTitle = "ﾌｫﾙﾀﾞを選択して下さい";

// Runs off the interface thread, the preview and undo.
inline constexpr std::string_view kRunCancelled = "処理を中断しました。";
inline constexpr std::string_view kProgressTitle = "処理中";
// "%1" the file's number, "%2" the run's length, "%3" its name.
inline constexpr std::string_view kProgressLabel = "%1 / %2 ファイル\n%3";
inline constexpr std::string_view kProgressCancel = "ｷｬﾝｾﾙ";
inline constexpr std::string_view kPreviewItem = "変換結果のプレビュー";
inline constexpr std::string_view kPreviewTitle = "変換結果のプレビュー - %s";
inline constexpr std::string_view kPreviewUnchanged = "変換しても内容は変わりません。\n[ %s ]";
inline constexpr std::string_view kPreviewClose = "閉じる";
inline constexpr std::string_view kUndoItem = "元に戻す";
inline constexpr std::string_view kUndoUnavailable =
    "元に戻すための控えを保存できません。\n元に戻せないまま上書きを続けますか？";
inline constexpr std::string_view kNothingToUndo = "元に戻せる上書き出力がありません。";
inline constexpr std::string_view kUndoQuestion =
    "最後の上書き出力（%s ファイル）を元に戻しますか？";
inline constexpr std::string_view kUndoDone = "%s ファイルを元に戻しました。";
inline constexpr std::string_view kUndoChangedSince =
    "次のファイルは上書き出力の後で変更されているため、元に戻しませんでした。\n%s";
inline constexpr std::string_view kUndoFailed =
    "次のファイルを元に戻せませんでした。元の内容は控えに残っています。原因を取り除いてから、"
    "もう一度「元に戻す」を実行してください。\n%s";

// Renaming.
inline constexpr std::string_view kRenameFailed = "リネームできませんでした。\n[ %s ]";
inline constexpr std::string_view kRenameFailedStop =
    "リネームできませんでした。\n[ %s ]\n処理を中断しますか？";
inline constexpr std::string_view kRenameError = "リネームエラー。";
inline constexpr std::string_view kRenameRestored =
    "リネームできませんでした。元の名前に戻しました。\n[ %s ]";
inline constexpr std::string_view kRenameRestoredStop =
    "リネームできませんでした。元の名前に戻しました。\n[ %s ]\n処理を中断しますか？";
inline constexpr std::string_view kRenameStranded =
    "リネームできませんでした。fnswap_temp_name.tmp の名前で残っています。\n[ %s ]";
inline constexpr std::string_view kRenameStrandedStop =
    "リネームできませんでした。fnswap_temp_name.tmp の名前で残っています。\n[ %s ]\n"
    "処理を中断しますか？";

// Dialog data exchange and the options dialog.
inline constexpr std::string_view kMaxChars = "%1 文字以内で入力してください。";
inline constexpr std::string_view kSearchTextTooShort =
    "置き換え元文字列を３文字以上指定して下さい。";
// "%s" is the field's label without its colon.
inline constexpr std::string_view kNotCp932 =
    "「%s」にシフトJISで表せない文字が含まれています。\n別の文字に置き換えて下さい。";
inline constexpr std::string_view kSearchTextField = "置き換え元文字列";
inline constexpr std::string_view kReplaceTextField = "置き換え後文字列";
inline constexpr std::string_view kConditionTextField = "条件";
inline constexpr std::string_view kTemplatePickerTitle = "開く";
inline constexpr std::string_view kTextFilesFilter = "ﾌｧｲﾙ(*.txt)";
inline constexpr std::string_view kAllFilesFilter = "全てのﾌｧｲﾙ(*.*)";

// The desktop program's shell.
inline constexpr std::string_view kButtonOk = "OK";
inline constexpr std::string_view kButtonYes = "はい(&Y)";
inline constexpr std::string_view kButtonNo = "いいえ(&N)";
inline constexpr std::string_view kVersionMenuItem = "SRCTDH のﾊﾞｰｼﾞｮﾝ情報(&A)...";
inline constexpr std::string_view kNoDisplay =
    "srctdy: no display to show the window on (DISPLAY and WAYLAND_DISPLAY are not set)";

// A chosen folder's .srctdy.toml that cannot be used; the file's own message follows.
inline constexpr std::string_view kProjectConfigError =
    "ﾌｫﾙﾀﾞの設定ﾌｧｲﾙ .srctdy.toml に誤りがあります。起動時の変換条件を使います。";

// The command line.
// The command line. Its texts are English: they are the message ids of the catalogue that
// srctdy-cli shows them through (CliText, platform/message_catalogue.h; po/ja.po).
inline constexpr std::string_view kCliUsage = R"(Usage: srctdy-cli [OPTION]... PATH...
Tidies C and C++ source files (code page 932 or UTF-8 text, written with CR LF line ends).
PATH: a file, a folder, or "-". A folder stands for its files that match --type (files
only, no recursion, case-insensitive match, sorted case-insensitively). "-" reads standard
input and writes standard output; --assume-filename=NAME gives the name used for %filename%
and the template's ".c" line there (empty when not given).

Output (default: sub-folder output):
  --subfolder=NAME      sub-folder name, relative to each file's folder (default NewFolder);
                        a relative path without empty, "." or ".." parts
  --overwrite           replace each file in place
  --stdout              write the converted text to standard output instead (files in order)
Indentation:
  --indent=2|4|8|tab|off     default 4 (off: no indentation)
Conversion conditions (defaults: --trim --fullwidth --collapse-empty, comments kept):
  --trim | --no-trim                 remove blanks at both ends of every line
  --fullwidth | --no-fullwidth       turn each full-width space into two ASCII spaces
  --collapse-empty | --no-collapse-empty
                                     reduce runs of empty lines to one
  --delete-empty                     delete every empty line (turns collapse-empty off)
  --delete-lines=PREFIX              delete lines that begin with PREFIX (at least 3 bytes)
  --replace=SEARCH [--with=TEXT]     replace SEARCH by TEXT (default empty: delete it);
                                     TEXT "%filename%" or "%date%" inserts the file's name
                                     (on lines that begin with SEARCH) or today's date
  --delete-if=CONDITION              delete #if ... #endif blocks whose #if line holds it
  --definitions                      insert six section comments before the first #include
  --template[=PATH]                  copy a header template to the top (default ./FileTitle.txt)
  --comments=keep|line|block|split   keep comments; /* */ to //; // to /* */; or put the
                                     comments of lines over 80 bytes on a line of their own
  --function-names                   fill the function name of module-header blocks
  --type=PATTERN[,PATTERN...]        patterns for folder arguments (default *.c)
  --eol=crlf|lf|keep                 line ends of the output: CR LF (default), LF, or each
                                     line's own (added lines take the first line's)
  --encoding=auto|cp932|utf-8        the encoding of the files: auto (default) decides per
                                     file from all of its bytes (a UTF-8 mark, or valid UTF-8
                                     with a non-ASCII character: UTF-8; else code page 932)
Checking (write nothing; exit 0 when every file is tidy, 1 when any would change, 2 on an
error):
  --check               list on standard error each file that would change
  --diff                like --check, and print a unified diff of each to standard output
Walking folders:
  -r, --recursive       walk folder arguments into their sub-folders (sorted; links to
                        folders are not followed; a folder named like --subfolder is never
                        walked into); in sub-folder mode the tree is mirrored under the
                        sub-folder of the folder argument
  --exclude=GLOB        skip files and folders whose path relative to the folder argument
                        matches GLOB ("*" and "?" stop at "/", "**" spans folders);
                        may be given several times
  --follow-links        convert files that links in a folder argument lead out of it, and
                        write through a sub-folder link that leads out of it (refused by
                        default; a link named as a PATH is always followed)
Configuration (each file's nearest .srctdy.toml and its .editorconfig; the command line
wins over both):
  --config=FILE         use FILE as the .srctdy.toml of every file
  --no-config           read no .srctdy.toml and no .editorconfig
  --print-config PATH   print the options in effect for PATH and where each came from
Running:
  --quiet               report failures only
  --verbose             name every file with its encoding, and end with a summary line
  --fast                skip the token check: by default every output is lexed and compared
                        with the input (with the edits asked for) and is not written when
                        what the compiler sees would change
  -j, --jobs=N          convert N files at once (default: one per processor); messages and
                        --stdout output stay in file order, results are the same as with -j1
  --fsync | --no-fsync  flush each file to disk before it is renamed into place, and its
                        folder after (default: --no-fsync)
  (on a terminal, a run that lasts over a second shows a progress line, erased at the end)
Renaming (renames only; no conversion option may stand beside it):
  --rename=upper|lower|c-to-cpp|cpp-to-c
                                     names to upper or lower case, .c to .cpp, .cpp to .c
  --help                display this help and exit
  --version             output version information and exit

The texts of --delete-lines, --replace, --with and --delete-if are UTF-8 and are used in
each file's encoding; a code page 932 file fails when a text cannot be written in it (with
--encoding=cp932 that is a usage error). Paths are used as they are. Messages go to
standard error, each prefixed with the path of the file it concerns.
In overwrite mode a file whose converted text equals its present text is left untouched.
Exit status: 0 every file converted; 1 one or more files failed; 2 usage error
(with --check or --diff: 0 all tidy; 1 any would change; 2 usage error or a failure);
128 + the signal when interrupted by SIGINT, SIGTERM or SIGHUP (temporary files are removed).
)";
inline constexpr std::string_view kCliWouldChange = "would change";
inline constexpr std::string_view kCliCommentsLeft = "comments left as they were: %s";
inline constexpr std::string_view kCliTidy = "tidy";
inline constexpr std::string_view kCliConverted = "converted";
inline constexpr std::string_view kCliUnchanged = "unchanged";
inline constexpr std::string_view kCliReadError = "read error";
inline constexpr std::string_view kCliCp932 = " (code page 932)"; // after a file's status
inline constexpr std::string_view kCliUtf8 = " (UTF-8)";
inline constexpr std::string_view kCliWriteError = "write error";
inline constexpr std::string_view kCliUnreadableFolder = "folder cannot be read";
inline constexpr std::string_view kCliPathTooLong = "path too long";
inline constexpr std::string_view kCliOutputIsInput = "input file is the output file";
inline constexpr std::string_view kCliTryHelp = "Try 'srctdy-cli --help' for more information.";
// The --verbose summary and the progress line: counts, then a rate in MB/s. The command line
// fills them in itself, after they are translated.
inline constexpr std::string_view kCliSummary = "%s converted, %s unchanged, %s failed";
inline constexpr std::string_view kCliCheckSummary = "%s would change, %s tidy, %s failed";
inline constexpr std::string_view kCliProgress = "%s/%s files, %s MB/s";
// Usage and configuration errors of the command line. They stay English under every locale,
// as option names do; "%s" is filled in with FormatText, one after the other.
inline constexpr std::string_view kCliJNeedsNumber = "-j needs a number";
inline constexpr std::string_view kCliNeedsValue = "%s needs a value (%s=...)";
inline constexpr std::string_view kCliTakesNoValue = "%s takes no value";
inline constexpr std::string_view kCliTypeNeedsPattern = "--type needs at least one pattern";
inline constexpr std::string_view kCliConfigNeedsFile = "--config needs a file";
inline constexpr std::string_view kCliPrintConfigNeedsPath = "--print-config needs a PATH";
inline constexpr std::string_view kCliJobsRange = "--jobs must be a number from 1 to 1024";
inline constexpr std::string_view kCliRenameKinds =
    "--rename must be upper, lower, c-to-cpp or cpp-to-c";
inline constexpr std::string_view kCliUnknownOption = "unknown option %s";
inline constexpr std::string_view kCliRenameAlone =
    "--rename renames only: no conversion option may stand beside it";
inline constexpr std::string_view kCliRenameIgnores =
    "%s does nothing beside --rename, which takes only --type and paths";
inline constexpr std::string_view kCliConfigAndNoConfig =
    "--config and --no-config cannot be used together";
inline constexpr std::string_view kCliQuietAndVerbose =
    "--quiet and --verbose cannot be used together";
inline constexpr std::string_view kCliCheckWritesNothing =
    "--check and --diff write nothing: --overwrite and --stdout do not go with them";
inline constexpr std::string_view kCliOverwriteAlone =
    "--overwrite cannot be used together with --stdout or --subfolder";
inline constexpr std::string_view kCliSubFolderNeedsName = "--subfolder needs a name";
inline constexpr std::string_view kCliBadSubFolder =
    "--subfolder must be a relative path whose parts are neither empty, \".\" nor \"..\"";
inline constexpr std::string_view kCliNoPath = "no PATH given";
// An option's value (after the option's name or "file:line: key").
inline constexpr std::string_view kOptionMustBeBoolean = "must be true or false";
inline constexpr std::string_view kOptionMustBeText = "must be a text";
inline constexpr std::string_view kOptionNotUtf8 = "is not UTF-8";
inline constexpr std::string_view kOptionIndentValues = "must be 2, 4, 8, tab or off";
inline constexpr std::string_view kOptionCommentsValues = "must be keep, line, block or split";
inline constexpr std::string_view kOptionEolValues = "must be crlf, lf or keep";
inline constexpr std::string_view kOptionEncodingValues = "must be auto, cp932 or utf-8";
inline constexpr std::string_view kOptionCharsetValues = "must be utf-8 or utf-8-bom";
inline constexpr std::string_view kOptionShortPrefix = "needs a prefix of at least 3 bytes";
inline constexpr std::string_view kOptionTemplateValue = "must be a path, true or false";
inline constexpr std::string_view kOptionUnknown = "is not an option";
inline constexpr std::string_view kOptionNotCp932 =
    "%s holds a character that code page 932 cannot write";
inline constexpr std::string_view kOptionPatterns = "must be a list of patterns";
inline constexpr std::string_view kOptionTemplateOutside = "must name a file at or under %s";
// Configuration files and where an option came from.
inline constexpr std::string_view kConfigExcludeEachOther = "%s and %s exclude each other";
inline constexpr std::string_view kConfigCannotRead = "%s: cannot be read";
inline constexpr std::string_view kConfigCannotParse = "%s: cannot be parsed";
inline constexpr std::string_view kConfigOutOfMemory = "%s: out of memory reading .editorconfig";
inline constexpr std::string_view kConfigWithNeedsReplace = "--with needs --replace";
inline constexpr std::string_view kConfigWithNeedsReplaceIn = "%s: with needs replace";
inline constexpr std::string_view kConfigFromCommandLine = "command line";
inline constexpr std::string_view kConfigFromDefault = "default";
inline constexpr std::string_view kConfigFromEditorConfig = "(.editorconfig %s)";
inline constexpr std::string_view kConfigNotRead = "not read (--no-config)";
inline constexpr std::string_view kConfigNone = "none";
inline constexpr std::string_view kConfigOptionsInEffect = "# the options in effect for %s";
// The texts above that reach a message line filled in: CliText finds them by their pattern.
inline constexpr std::string_view kCliFilledTexts[] = {kCliCommentsLeft};

// The command line's wording of the texts above that reach it from the engine and the
// renaming. Under a Japanese locale the catalogue gives back the table text itself.
struct CliWording {
    std::string_view table; // the desktop program's text
    std::string_view cli;   // the command line's message id, "%s" where the table has one
};
inline constexpr CliWording kCliWordings[] = {
    {kInputOpenError, "cannot open the file"},
    {kOutputOpenError, "cannot open the output file"},
    {kTemplateMissing, "the template file does not exist;\nno template is inserted"},
    {kReadError, "cannot read the file\n[ %s ]"},
    {kWriteError, "cannot write the output file\n[ %s ]"},
    {kReplaceError, "cannot replace the file\n[ %s ]"},
    {kReadOnlyInput, "a read-only file is not overwritten\n[ %s ]"},
    {kTokensWouldChange,
     "not written: the tokens the compiler reads would change\n[ %s ]\nat input line %s"},
    {kEmptySubFolderName, "no sub-folder name given"},
    {kSubFolderIsSource, "the sub-folder is the file's own folder or a folder above it\n[ %s ]"},
    {kOutsideFolder, "not converted: a link leads out of the folder being converted\n[ %s ]"},
    {kChangedWhileConverting, "not written: the file changed while being converted\n[ %s ]"},
    {kLineTooLong, "not converted: a line is longer than 64 MiB\n[ %s ]"},
    {kOutOfMemory, "not converted: out of memory\n[ %s ]"},
    {kRenameFailed, "cannot rename\n[ %s ]"},
    {kRenameFailedStop, "cannot rename\n[ %s ]\nStop?"},
    {kRenameError, "rename error"},
    {kRenameRestored, "cannot rename; the old name was restored\n[ %s ]"},
    {kRenameRestoredStop, "cannot rename; the old name was restored\n[ %s ]\nStop?"},
    {kRenameStranded, "cannot rename; the file is left as fnswap_temp_name.tmp\n[ %s ]"},
    {kRenameStrandedStop, "cannot rename; the file is left as fnswap_temp_name.tmp\n[ %s ]\nStop?"},
};

} // namespace srctdy::text

namespace srctdy {

// Replaces the first "%s" of a table text by arg (bytes, unchanged).
std::string FormatText(std::string_view text, std::string_view arg);
// Replaces each "%s" of a table text by the next of args, in order.
std::string FormatText(std::string_view text, std::initializer_list<std::string_view> args);

} // namespace srctdy
