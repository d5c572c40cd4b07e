#include "platform/qt/qt_japanese.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace srctdy {

bool InstallQtJapanese(QTranslator& translator) {
    // qtbase_ja.qm holds the widgets' texts; Qt's folder is where Debian puts every qt*_ja.qm.
    if (!translator.load(QLocale(QLocale::Japanese, QLocale::Japan), "qtbase", "_",
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return false;
    return QCoreApplication::installTranslator(&translator);
}

} // namespace srctdy
