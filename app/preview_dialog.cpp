#include "app/preview_dialog.h"

#include "batch/conversion_preview.h"
#include "platform/string_table.h"

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>
#include <QTextCursor>
#include <QVBoxLayout>

namespace srctdy {

namespace {

struct LineLook {
    QColor background;
    QColor foreground;
    bool bold;
};

LineLook LookOf(const QString& line) {
    if (line.startsWith(QLatin1String("+++")) || line.startsWith(QLatin1String("---")))
        return {QColor(0xf0, 0xf0, 0xf0), QColor(0x20, 0x20, 0x20), true};
    if (line.startsWith(QLatin1String("@@")))
        return {QColor(0xdd, 0xf4, 0xff), QColor(0x05, 0x50, 0xae), false};
    if (line.startsWith('+'))
        return {QColor(0xe6, 0xff, 0xec), QColor(0x11, 0x63, 0x29), false};
    if (line.startsWith('-'))
        return {QColor(0xff, 0xeb, 0xe9), QColor(0x82, 0x07, 0x1e), false};
    return {QColor(Qt::white), QColor(Qt::black), false};
}

} // namespace

PreviewDialog::PreviewDialog(const QString& title, std::string diff, QWidget* parent)
    : QDialog(parent), diff_(std::move(diff)), view_(new QPlainTextEdit(this)) {
    setWindowTitle(title);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setWindowFlag(Qt::WindowMaximizeButtonHint, true);
    view_->setReadOnly(true);
    view_->setLineWrapMode(QPlainTextEdit::NoWrap);
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    fixed.setPointSize(font().pointSize() > 0 ? font().pointSize() + 1 : 10);
    view_->setFont(fixed);

    const QString shown = QString::fromUtf8(DisplayText(diff_));
    QStringList lines = shown.split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    QTextCursor cursor(view_->document());
    bool first = true;
    for (QString line : lines) {
        // CR LF files: the CR is part of the compared line, not something to show.
        if (line.endsWith('\r'))
            line.chop(1);
        const LineLook look = LookOf(line);
        QTextBlockFormat block;
        block.setBackground(look.background);
        QTextCharFormat chars;
        chars.setForeground(look.foreground);
        chars.setFontWeight(look.bold ? QFont::Bold : QFont::Normal);
        if (first)
            cursor.setBlockFormat(block);
        else
            cursor.insertBlock(block);
        cursor.insertText(line, chars);
        first = false;
    }
    view_->moveCursor(QTextCursor::Start);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* close = buttons->addButton(
        QString::fromUtf8(text::kPreviewClose.data(), qsizetype(text::kPreviewClose.size())),
        QDialogButtonBox::RejectRole);
    close->setDefault(true);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(view_);
    layout->addWidget(buttons);
    const QFontMetrics metrics(fixed);
    resize(metrics.horizontalAdvance(QLatin1Char('x')) * 96, metrics.lineSpacing() * 36);
}

} // namespace srctdy
