#pragma once

#include <string>
#include <string_view>

// The command line's texts in the language of the locale. The string table holds them in
// English (gettext's message ids); the catalogue "srctdy" (po/ja.po, compiled to srctdy.mo)
// gives the Japanese. The desktop program does not use this: it is Japanese in every locale.
namespace srctdy {

// The catalogue folder of an installed or built program: "../share/locale" from the folder
// of the running executable (/usr/bin -> /usr/share/locale; the build tree mirrors it).
std::string LocaleFolderBesideProgram();

// Takes the message language from the environment (LC_ALL, LC_MESSAGES, LANG, LANGUAGE)
// and reads the catalogue from localeFolder. Only the messages category follows the
// locale: case rules, sorting and dates of the conversion stay the same everywhere.
void OpenMessageCatalogue(const std::string& localeFolder);

// The text srctdy-cli shows for a table text, in the language of the locale. A shared
// text of the desktop program (kReadError, filled in with FormatText or not) is shown in
// the command line's wording of it (kCliWordings); a command-line text is found again after
// it was filled in (kCliFilledTexts); any other text is its own message id.
std::string CliText(std::string_view text);

} // namespace srctdy
