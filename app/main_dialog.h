#pragma once

#include "batch/undo_store.h"

#include <QDialog>
#include <QFileSystemWatcher>
#include <QTimer>

#include <memory>
#include <string>
#include <vector>

namespace Ui {
class MainDialog;
}

namespace srctdy {

struct ConvertSettings;
struct FormatOptions;
class Desktop;
class Prompter;
class BackgroundRun;
enum class RenameKind;

// The program's one window. It owns the chosen folder and the run settings, sets the
// conversion options to their defaults, loads the settings file when it opens and saves it
// whenever it goes away; its buttons start the batch run, the folder and rename commands and
// the other dialogs. The work itself is done by the batch functions; the dialog gathers the
// controls' state for them and shows their results.
class MainDialog : public QDialog {
    Q_OBJECT

public:
    MainDialog(FormatOptions& options, std::string startupFolder, std::string settingsPath,
               Prompter& prompter, Desktop& desktop, QWidget* parent = nullptr);
    ~MainDialog() override;

    // "終了(&E)" and Enter: takes the values back from the controls, then closes.
    void accept() override;
    // Every way of closing ends here: the settings file is written.
    void done(int result) override;

    // The run in progress, for a look at its progress dialog.
    BackgroundRun& backgroundRun() const { return *run_; }

protected:
    // Closing during a run stops it after the current file, then closes.
    void closeEvent(QCloseEvent* event) override;
    // A folder dropped on the window becomes the chosen folder; a file chooses its folder
    // and is selected.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void display();
    void refreshFileList();
    void showEntries(const std::vector<std::string>& names, int selected);
    std::vector<std::string> entries() const;
    int selectedIndex() const;
    ConvertSettings convertSettings() const;

    void onManual();
    void onStart();
    void onHomePage();
    void onBrowseFolder();
    void onOutputMode();
    void onIndentMode();
    void onSelchangeFileType();
    void onDblclkFileList(int index);
    void onSelectedFilesOnly();
    void onAllFiles();
    void onRename(RenameKind kind);
    void onSelchangeIndentSize();
    void onOptions();
    void onChangeSubFolderName();
    void onFolderDown();
    void onFolderUp();
    void onPreview();
    void onUndo();
    void onFolderChanged();
    void chooseFolder(const std::string& folder);
    void refreshKeepingSelection();
    void watchFolder();
    void readFolderOptions();

    std::unique_ptr<Ui::MainDialog> ui;
    FormatOptions& options_;
    std::string startupFolder_;
    std::string settingsPath_;
    Prompter& prompter_;
    Desktop& desktop_;

    std::string folderPath;                  // the chosen folder (file-system bytes); "" none
    std::string subFolderName = "NewFolder"; // output sub-folder, relative to folderPath
    std::string fileType = "*.c";            // pattern of the file list
    int indentSizeIndex = 1;                 // selection of the indentation-size list ("4")

    std::unique_ptr<BackgroundRun> run_;
    UndoStore undo_;
    QFileSystemWatcher watcher_;
    QTimer followDisk_; // gathers a burst of changes into one refresh
    bool changedDuringRun_ = false;
    bool closeAfterRun_ = false;
    std::string folderConfig; // the .srctdy.toml the options came from; "" none
};

} // namespace srctdy
