#pragma once

#include "platform/desktop.h"

#include <QPointer>

class QWidget;

namespace srctdy {

// Desktop over QDesktopServices and QFileDialog. Nothing goes through a shell command line,
// so names with spaces, quotes or ";" reach the desktop as they are. Paths are converted
// between file-system bytes and QString with QFile::decodeName and encodeName only.
class QtDesktop : public Desktop {
public:
    explicit QtDesktop(QWidget* owner = nullptr) : owner_(owner) {}

    void setOwner(QWidget* owner) { owner_ = owner; }

    bool openDocument(const std::string& path) override;
    bool openUrl(const std::string& url) override;
    std::optional<std::string> pickFolder(const std::string& startFolder,
                                          const std::string& title) override;
    std::optional<std::string> pickFile(const std::string& startFolder, const std::string& title,
                                        const std::vector<FileFilter>& filters) override;

private:
    QWidget* parentWidget() const;

    QPointer<QWidget> owner_;
};

} // namespace srctdy
