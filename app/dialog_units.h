#pragma once

#include <QFont>
#include <QRect>

class QDialog;

namespace srctdy {

// The dialogs are laid out like their templates: every rectangle in the .ui files is in dialog
// units, which become pixels from the dialog font, so the texts fit whatever font is installed.

// "IPAPGothic" 9 pt, or a font with Japanese when that one is not installed.
QFont DialogFont();

// Pixels per dialog unit, in quarters (x) and eighths (y): the average width of the 52 ASCII
// letters, rounded, and the font's height.
struct DialogUnits {
    int baseX = 0;
    int baseY = 0;

    QRect toPixels(const QRect& dialogUnits) const;
};

DialogUnits DialogUnitsFor(const QFont& font);

// Gives dialog the dialog font and turns the geometry of the dialog and of its direct children
// from dialog units into pixels. Call it once, right after setupUi. A drop-down list's height
// in a template is that of its opened list, so it keeps its own height here; a check box or
// radio button is widened when its caption would not fit.
void ApplyDialogUnits(QDialog& dialog);

} // namespace srctdy
