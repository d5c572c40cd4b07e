#include "platform/qt/qt_prompter.h"

#include "platform/string_table.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>

namespace srctdy {

namespace {

QMessageBox::Icon BoxIcon(PromptIcon icon) {
    switch (icon) {
    case PromptIcon::Stop:
        return QMessageBox::Critical;
    case PromptIcon::Question:
        return QMessageBox::Question;
    case PromptIcon::Information:
        return QMessageBox::Information;
    case PromptIcon::Exclamation:
        break;
    }
    return QMessageBox::Warning;
}

// A question has no answer by default: Esc and the close box leave it open, as "No" can
// mean "go on" ("処理を中断しますか？").
class NoEscape : public QObject {
protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Close) {
            event->ignore();
            return true;
        }
        if (event->type() == QEvent::KeyPress &&
            static_cast<QKeyEvent*>(event)->matches(QKeySequence::Cancel))
            return true;
        return QObject::eventFilter(watched, event);
    }
};

QString FromView(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

PromptAnswer QtPrompter::ask(std::string_view text, PromptIcon icon, PromptButtons buttons) {
    QWidget* parent = QApplication::activeModalWidget();
    if (parent == nullptr)
        parent = owner_;

    QMessageBox box(BoxIcon(icon), QApplication::applicationName(), FromView(text),
                    QMessageBox::NoButton, parent);
    if (buttons == PromptButtons::YesNo) {
        // Qt's own button texts are English unless a translation is installed.
        box.addButton(QMessageBox::Yes)->setText(FromView(text::kButtonYes));
        box.addButton(QMessageBox::No)->setText(FromView(text::kButtonNo));
        box.setDefaultButton(QMessageBox::Yes);
        NoEscape noEscape;
        box.installEventFilter(&noEscape);
        return box.exec() == QMessageBox::Yes ? PromptAnswer::Yes : PromptAnswer::No;
    }
    box.addButton(QMessageBox::Ok)->setText(FromView(text::kButtonOk));
    box.exec();
    return PromptAnswer::Ok;
}

} // namespace srctdy
