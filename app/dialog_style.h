#pragma once

namespace srctdy {

// Makes the application draw its widgets the way the dialog templates were laid out for: the
// classic look, with group box titles on the frame line (other looks put them above the
// frame, over the controls placed just below it) and push-button captions across the whole
// face inside the frame (the templates have buttons only a glyph or two wide). Call it once,
// after the QApplication exists.
void UseDialogStyle();

} // namespace srctdy
