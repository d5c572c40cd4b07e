#include "tests/gui/gui_test_support.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QVariant>

namespace srctdy::testing {

QWidget* ControlById(const QWidget& dialog, int id) {
    for (QWidget* widget : dialog.findChildren<QWidget*>()) {
        QVariant value = widget->property("controlId");
        if (value.isValid() && value.toInt() == id)
            return widget;
    }
    qFatal("no control with id %d", id);
}

QString FailureLog::text() const {
    QStringList lines;
    for (const std::string& message : messages_)
        lines << QString::fromStdString(message);
    return lines.join('\n');
}

ModalWatcher::ModalWatcher(std::function<void(QWidget& modal)> action)
    : action_(std::move(action)) {
    timer_.setInterval(10);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
        // Give up after a few seconds: the test then finds ran() false.
        if (++polls_ > 500) {
            timer_.stop();
            return;
        }
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr || !modal->isVisible())
            return;
        timer_.stop();
        ran_ = true;
        action_(*modal);
    });
    timer_.start();
}

namespace {

int TextWidth(const QWidget& widget, const QString& text) {
    int widest = 0;
    for (const QString& line : text.split('\n'))
        widest = std::max(widest, widget.fontMetrics().horizontalAdvance(line));
    return widest;
}

QString Caption(QString text) {
    return text.remove('&');
}

} // namespace

QStringList CutCaptions(const QWidget& dialog) {
    QStringList cut;
    for (QWidget* widget : dialog.findChildren<QWidget*>()) {
        QString text;
        int room = widget->width();
        int needed = 0;
        if (auto* label = qobject_cast<QLabel*>(widget)) {
            text = label->text();
            room = label->contentsRect().width();
            needed = TextWidth(*widget, text);
        } else if (qobject_cast<QCheckBox*>(widget) || qobject_cast<QRadioButton*>(widget)) {
            text = static_cast<QAbstractButton*>(widget)->text();
            needed = widget->sizeHint().width();
        } else if (auto* button = qobject_cast<QPushButton*>(widget)) {
            text = button->text();
            QStyleOptionButton option;
            option.initFrom(button);
            option.text = text;
            if (button->autoDefault())
                option.features |= QStyleOptionButton::AutoDefaultButton;
            if (button->isDefault())
                option.features |= QStyleOptionButton::DefaultButton;
            room = button->style()
                       ->subElementRect(QStyle::SE_PushButtonContents, &option, button)
                       .width();
            // A pixel clear of the edge on either side: a caption that touches it looks cut.
            needed = TextWidth(*widget, Caption(text)) + 2;
        } else if (auto* group = qobject_cast<QGroupBox*>(widget)) {
            text = group->title();
            needed = TextWidth(*widget, text) + 16; // the frame and the gap before the title
        }
        if (!text.isEmpty() && needed > room)
            cut << QString("%1 needs %2 pixels, has %3: %4")
                       .arg(widget->objectName())
                       .arg(needed)
                       .arg(room)
                       .arg(text);
    }
    return cut;
}

QStringList ControlsOutside(const QWidget& dialog) {
    QStringList outside;
    for (QWidget* widget : dialog.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (!widget->isWindow() && !dialog.rect().contains(widget->geometry()))
            outside << widget->objectName();
    }
    return outside;
}

QStringList OverlappingControls(const QWidget& dialog) {
    QList<QWidget*> controls;
    for (QWidget* widget : dialog.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (!widget->isWindow() && !qobject_cast<QLabel*>(widget) &&
            !qobject_cast<QGroupBox*>(widget))
            controls << widget;
    }
    QStringList overlapping;
    for (int i = 0; i < controls.size(); ++i) {
        for (int j = i + 1; j < controls.size(); ++j) {
            if (controls[i]->geometry().intersects(controls[j]->geometry()))
                overlapping << controls[i]->objectName() + " and " + controls[j]->objectName();
        }
    }
    return overlapping;
}

QStringList LayoutProblems(const QWidget& dialog) {
    return CutCaptions(dialog) + ControlsOutside(dialog) + OverlappingControls(dialog);
}

} // namespace srctdy::testing
