// FormatterApp: the desktop program. It notes where it was started (the settings file lives
// there), runs the main dialog modally and ends when the dialog closes.

#include "app/current_folder.h"
#include "app/dialog_style.h"
#include "app/dialog_units.h"
#include "app/main_dialog.h"
#include "app/screenshots.h"
#include "app/settings_file.h"
#include "engine/format_options.h"
#include "platform/qt/qt_desktop.h"
#include "platform/qt/qt_japanese.h"
#include "platform/qt/qt_prompter.h"
#include "platform/string_table.h"

#include <QApplication>
#include <QTranslator>

#include <cstdio>
#include <cstdlib>

namespace srctdy {
namespace {

// Without a display Qt would abort with several lines of its own.
bool HasDisplay() {
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0')
            return true;
    }
    return false;
}

class FormatterApp {
public:
    // The application's name, and so the message boxes' caption, is the executable's name.
    FormatterApp(int& argc, char** argv)
        : app_(argc, argv), startupFolder_(CurrentFolder()),
          settingsPath_(SettingsPathFor(startupFolder_)) {
        UseDialogStyle();
        InstallQtJapanese(qtJapanese_);
        // Message boxes and file dialogs too.
        QApplication::setFont(DialogFont());
    }

    int run() {
        MainDialog dialog(options_, startupFolder_, settingsPath_, prompter_, desktop_);
        prompter_.setOwner(&dialog);
        desktop_.setOwner(&dialog);
        const QString shots = qEnvironmentVariable("SRCTDY_SCREENSHOT_DIR");
        if (!shots.isEmpty())
            return SaveScreenshots(shots, dialog, options_, startupFolder_, prompter_) ? 0 : 1;
        dialog.exec();
        return 0;
    }

private:
    QApplication app_;
    QTranslator qtJapanese_;
    std::string startupFolder_;
    std::string settingsPath_;
    FormatOptions options_;
    QtPrompter prompter_;
    QtDesktop desktop_;
};

} // namespace
} // namespace srctdy

int main(int argc, char** argv) {
    if (!srctdy::HasDisplay()) {
        std::fprintf(stderr, "%.*s\n", static_cast<int>(srctdy::text::kNoDisplay.size()),
                     srctdy::text::kNoDisplay.data());
        return 1;
    }
    srctdy::FormatterApp app(argc, argv);
    return app.run();
}
