#pragma once

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
inline constexpr std::string_view kEmptySubFolderName = "ｻﾌﾞ・ﾌｫﾙﾀﾞ名が指定されていません。";
inline constexpr std::string_view kSubFolderError = "ｻﾌﾞ・ﾌｫﾙﾀﾞを作成できませんでした。\n[ %s ]";

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

// Renaming.
inline constexpr std::string_view kRenameFailed = "リネームできませんでした。\n[ %s ]";
inline constexpr std::string_view kRenameFailedStop =
    "リネームできませんでした。\n[ %s ]\n処理を中断しますか？";
inline constexpr std::string_view kRenameError = "リネームエラー。";
inline constexpr std::string_view kRenameRestored =
    "リネームできませんでした。元の名前に戻しました。\n[ %s ]";

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

} // namespace srctdy::text

namespace srctdy {

// Replaces the first "%s" of a table text by arg (bytes, unchanged).
std::string FormatText(std::string_view text, std::string_view arg);

} // namespace srctdy
