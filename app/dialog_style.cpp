#include "app/dialog_style.h"

#include <QApplication>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QStyleOption>

namespace srctdy {

namespace {

class DialogStyle : public QProxyStyle {
public:
    DialogStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("windows"))) {}

    QRect subElementRect(SubElement element, const QStyleOption* option,
                         const QWidget* widget) const override {
        if (element == SE_PushButtonContents) {
            const int frame = pixelMetric(PM_DefaultFrameWidth, option, widget);
            return option->rect.adjusted(frame, frame, -frame, -frame);
        }
        return QProxyStyle::subElementRect(element, option, widget);
    }
};

} // namespace

void UseDialogStyle() {
    QApplication::setStyle(new DialogStyle);
}

} // namespace srctdy
