#pragma once

#include <QString>

#include <string>

namespace srctdy {

struct FormatOptions;
class MainDialog;
class Prompter;

// Shows the main dialog, the options dialog, the manual dialog, a question through messages,
// a progress dialog, the preview of main.c in the current folder and the undo message in turn
// and saves each as a PNG file in folder (main_dialog.png, options_dialog.png,
// manual_dialog.png, message_box.png, progress_dialog.png, preview_dialog.png,
// undo_message.png), without waiting for the user. For looking at the layout under a virtual
// display. Returns whether every file was written.
bool SaveScreenshots(const QString& folder, MainDialog& mainDialog, FormatOptions& options,
                     const std::string& startupFolder, Prompter& messages);

} // namespace srctdy
