#include "app/screenshots.h"

#include "app/background_run.h"
#include "app/current_folder.h"
#include "app/main_dialog.h"
#include "app/manual_dialog.h"
#include "app/preview_dialog.h"
#include "batch/conversion_preview.h"
#include "batch/folder_navigation.h"
#include "engine/format_options.h"
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
bool ShootMessageBox(Prompter& prompter, const QString& path, std::string_view text,
                     PromptIcon icon, PromptButtons buttons) {
    bool saved = false;
    QTimer::singleShot(300, [&saved, path] {
        if (QWidget* box = QApplication::activeModalWidget()) {
            saved = box->grab().save(path);
            if (auto* dialog = qobject_cast<QDialog*>(box))
                dialog->reject();
        }
    });
    prompter.ask(text, icon, buttons);
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

    saved = ShootMessageBox(messages, dir.filePath("message_box.png"), text::kAllFilesQuestion,
                            PromptIcon::Question, PromptButtons::YesNo) &&
            saved;

    // A run half-way, as its progress dialog shows it.
    ProgressDialog progress(&mainDialog);
    progress.showFile(1499, 3000, QStringLiteral("sample_long_file_name.c"));
    saved = Shoot(progress, dir.filePath("progress_dialog.png")) && saved;
    progress.finish();

    // The preview of main.c in the folder shown, which the script makes untidy.
    const std::string project = CurrentFolder();
    std::optional<std::string> diff =
        ConversionDiff(JoinPath(project, "main.c"), "main.c", options, ConvertSettings{}, prompter);
    if (diff && !diff->empty()) {
        PreviewDialog preview(QStringLiteral("変換結果のプレビュー - main.c"), *diff, &mainDialog);
        saved = Shoot(preview, dir.filePath("preview_dialog.png")) && saved;
        preview.reject();
    } else {
        saved = false;
    }

    const std::string undone = FormatText(text::kUndoDone, "3") + "\n\n" +
                               FormatText(text::kUndoChangedSince, JoinPath(project, "display.c"));
    saved = ShootMessageBox(messages, dir.filePath("undo_message.png"), undone,
                            PromptIcon::Exclamation, PromptButtons::Ok) &&
            saved;
    return saved;
}

} // namespace srctdy
