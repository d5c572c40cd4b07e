#pragma once

#include <QString>

#include <string>

namespace srctdy {

struct FormatOptions;
class MainDialog;
class Prompter;

// Shows the main dialog, the options dialog, the manual dialog and a question through
// messages in turn and saves each as a PNG file in folder (main_dialog.png,
// options_dialog.png, manual_dialog.png, message_box.png), without waiting for the user. For
// looking at the layout under a virtual display. Returns whether every file was written.
bool SaveScreenshots(const QString& folder, MainDialog& mainDialog, FormatOptions& options,
                     const std::string& startupFolder, Prompter& messages);

} // namespace srctdy
