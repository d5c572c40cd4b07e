#include "app/screenshots.h"

#include "app/main_dialog.h"
#include "app/manual_dialog.h"
#include "options/options_dialog.h"
#include "platform/scripted_desktop.h"
#include "platform/scripted_prompter.h"
#include "platform/string_table.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QPixmap>
#include <QTimer>

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

// The box is taken and closed from inside its own event loop.
bool ShootMessageBox(Prompter& prompter, const QString& path) {
    bool saved = false;
    QTimer::singleShot(300, [&saved, path] {
        if (QWidget* box = QApplication::activeModalWidget()) {
            saved = box->grab().save(path);
            if (auto* dialog = qobject_cast<QDialog*>(box))
                dialog->reject();
        }
    });
    prompter.ask(text::kAllFilesQuestion, PromptIcon::Question, PromptButtons::YesNo);
    return saved;
}

} // namespace

bool SaveScreenshots(const QString& folder, MainDialog& mainDialog, FormatOptions& options,
                     const std::string& startupFolder, Prompter& messages) {
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

    saved = ShootMessageBox(messages, dir.filePath("message_box.png")) && saved;
    return saved;
}

} // namespace srctdy
