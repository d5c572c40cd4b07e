#include "app/screenshots.h"

#include "app/main_dialog.h"
#include "app/manual_dialog.h"
#include "options/options_dialog.h"
#include "platform/scripted_desktop.h"
#include "platform/scripted_prompter.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPixmap>

namespace srctdy {

namespace {

bool Shoot(QWidget& dialog, const QString& path) {
    dialog.show();
    QElapsedTimer shown;
    shown.start();
    while (shown.elapsed() < 300)
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    return dialog.grab().save(path);
}

} // namespace

bool SaveScreenshots(const QString& folder, MainDialog& mainDialog, FormatOptions& options,
                     const std::string& startupFolder) {
    QDir dir(folder);
    bool saved = Shoot(mainDialog, dir.filePath("main_dialog.png"));

    // Nothing is asked of the user here, so nothing may be shown or opened either.
    RecordingPrompter prompter;
    ScriptedDesktop desktop([](const std::string&) {});
    OptionsDialog optionsDialog(options, startupFolder, prompter, desktop, &mainDialog);
    saved = Shoot(optionsDialog, dir.filePath("options_dialog.png")) && saved;
    optionsDialog.reject();

    ManualDialog manualDialog(&mainDialog);
    saved = Shoot(manualDialog, dir.filePath("manual_dialog.png")) && saved;
    manualDialog.reject();
    return saved;
}

} // namespace srctdy
