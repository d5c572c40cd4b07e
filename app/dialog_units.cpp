#include "app/dialog_units.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QRadioButton>

#include <algorithm>

namespace srctdy {

namespace {

// Rounded a * b / c, as the original platform rounds its unit conversions.
int MulDiv(int a, int b, int c) {
    return (a * b + c / 2) / c;
}

} // namespace

QFont DialogFont() {
    const QString preferred = QStringLiteral("IPAPGothic");
    QFont font(preferred, 9);
    if (QFontInfo(font).family() == preferred)
        return font;
    const QStringList japanese = QFontDatabase::families(QFontDatabase::Japanese);
    for (const QString& family : japanese) {
        if (family.contains(QStringLiteral("Gothic"), Qt::CaseInsensitive) ||
            family.contains(QStringLiteral("Sans"), Qt::CaseInsensitive))
            return QFont(family, 9);
    }
    if (!japanese.isEmpty())
        return QFont(japanese.constFirst(), 9);
    return font;
}

QRect DialogUnits::toPixels(const QRect& dialogUnits) const {
    return QRect(MulDiv(dialogUnits.x(), baseX, 4), MulDiv(dialogUnits.y(), baseY, 8),
                 MulDiv(dialogUnits.width(), baseX, 4), MulDiv(dialogUnits.height(), baseY, 8));
}

DialogUnits DialogUnitsFor(const QFont& font) {
    QFontMetrics metrics(font);
    int letters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return DialogUnits{(letters / 26 + 1) / 2, metrics.height()};
}

void ApplyDialogUnits(QDialog& dialog) {
    const QFont font = DialogFont();
    const DialogUnits units = DialogUnitsFor(font);
    dialog.setFont(font);
    for (QWidget* child : dialog.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (child->isWindow())
            continue;
        QRect rect = units.toPixels(child->geometry());
        if (qobject_cast<QComboBox*>(child) != nullptr)
            rect.setHeight(child->sizeHint().height());
        // The templates' widths were made for another font and another indicator spacing.
        if (qobject_cast<QCheckBox*>(child) != nullptr ||
            qobject_cast<QRadioButton*>(child) != nullptr)
            rect.setWidth(std::max(rect.width(), child->sizeHint().width()));
        child->setGeometry(rect);
    }
    QRect size = units.toPixels(QRect(QPoint(0, 0), dialog.size()));
    dialog.setFixedSize(size.size());
}

} // namespace srctdy
