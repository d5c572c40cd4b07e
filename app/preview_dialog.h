#pragma once

#include <QDialog>

#include <string>

class QPlainTextEdit;

namespace srctdy {

// Shows what a conversion would change: a unified diff, read-only, its added, removed and
// hunk lines coloured. The bytes are shown as UTF-8 when they are valid UTF-8, otherwise as
// code page 932.
class PreviewDialog : public QDialog {
    Q_OBJECT

public:
    PreviewDialog(const QString& title, std::string diff, QWidget* parent = nullptr);

    // The diff as given, bytes unchanged.
    const std::string& diff() const { return diff_; }
    QPlainTextEdit* view() const { return view_; }

private:
    std::string diff_;
    QPlainTextEdit* view_;
};

} // namespace srctdy
