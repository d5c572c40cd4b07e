#include "platform/qt/qt_desktop.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFile>
#include <QFileDialog>
#include <QStringList>
#include <QUrl>

namespace srctdy {

namespace {

QString Path(const std::string& bytes) {
    return QFile::decodeName(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

std::string Bytes(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

// "description (patterns)": QFileDialog reads the patterns from the parentheses; the dialog
// hides them again, so the user sees the description alone.
QStringList NameFilters(const std::vector<FileFilter>& filters) {
    QStringList out;
    for (const FileFilter& filter : filters) {
        QStringList patterns;
        for (const std::string& pattern : filter.patterns)
            patterns << QString::fromStdString(pattern);
        out << QString::fromStdString(filter.description) + " (" + patterns.join(' ') + ")";
    }
    return out;
}

} // namespace

QWidget* QtDesktop::parentWidget() const {
    QWidget* parent = QApplication::activeModalWidget();
    return parent != nullptr ? parent : owner_.data();
}

bool QtDesktop::openDocument(const std::string& path) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(Path(path)));
}

bool QtDesktop::openUrl(const std::string& url) {
    return QDesktopServices::openUrl(QUrl(QString::fromStdString(url), QUrl::StrictMode));
}

std::optional<std::string> QtDesktop::pickFolder(const std::string& startFolder,
                                                 const std::string& title) {
    QString chosen = QFileDialog::getExistingDirectory(
        parentWidget(), QString::fromStdString(title), Path(startFolder));
    if (chosen.isEmpty())
        return std::nullopt;
    return Bytes(chosen);
}

std::optional<std::string> QtDesktop::pickFile(const std::string& startFolder,
                                               const std::string& title,
                                               const std::vector<FileFilter>& filters) {
    QFileDialog dialog(parentWidget(), QString::fromStdString(title), Path(startFolder));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setNameFilters(NameFilters(filters));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return Bytes(dialog.selectedFiles().constFirst());
}

} // namespace srctdy
