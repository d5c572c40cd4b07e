#pragma once

class QTranslator;

namespace srctdy {

// Puts Qt's own texts (the standard file and folder dialogs' "Look in:", "File name:",
// "Cancel"...) into Japanese from Qt's catalogue qtbase_ja.qm (Debian's
// qt6-translations-l10n), like the rest of the desktop program, whatever the locale.
// translator must live as long as the application. False when the catalogue is not
// installed: Qt's texts then stay English.
bool InstallQtJapanese(QTranslator& translator);

} // namespace srctdy
