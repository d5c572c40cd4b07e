#include "app/main_dialog.h"

#include "app/background_run.h"
#include "app/current_folder.h"
#include "app/dialog_units.h"
#include "app/manual_dialog.h"
#include "app/preview_dialog.h"
#include "app/settings_file.h"
#include "batch/batch_run.h"
#include "batch/conversion_preview.h"
#include "batch/display_name.h"
#include "batch/file_list.h"
#include "batch/file_renaming.h"
#include "batch/folder_navigation.h"
#include "batch/run_control.h"
#include "config/option_resolver.h"
#include "engine/format_options.h"
#include "options/options_dialog.h"
#include "platform/desktop.h"
#include "platform/prompter.h"
#include "platform/string_table.h"
#include "ui_main_dialog.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QDropEvent>
#include <QFile>
#include <QIcon>
#include <QMimeData>

#include <sys/stat.h>

namespace srctdy {

namespace {

constexpr const char* kHomePage = "https://orvo.example/";

QString ShowPath(const std::string& bytes) {
    return QFile::decodeName(QByteArray::fromStdString(bytes));
}

// File and folder names are shown decoded as UTF-8 or code page 932, whichever they are; the
// bytes stay with the item (and in folderPath) for every file operation.
QString ShowName(const std::string& bytes) {
    return QString::fromStdString(DisplayName(bytes));
}

std::string PathBytes(const QString& shown) {
    return QFile::encodeName(shown).toStdString();
}

QIcon ProgramIcon() {
    QIcon icon;
    icon.addFile(QStringLiteral(":/images/icon128_32.png"), QSize(32, 32));
    icon.addFile(QStringLiteral(":/images/icon128_16.png"), QSize(16, 16));
    return icon;
}

// The wait cursor for as long as it lives.
class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

QString FromView(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Tab into a group of radio buttons lands on its checked button, as arrow keys then move
// the check: only the checked button takes the focus from the keyboard.
void TabToCheckedButton(QButtonGroup& group) {
    auto follow = [&group] {
        for (QAbstractButton* button : group.buttons())
            button->setFocusPolicy(button->isChecked() ? Qt::StrongFocus : Qt::ClickFocus);
    };
    for (QAbstractButton* button : group.buttons())
        QObject::connect(button, &QAbstractButton::toggled, &group, follow);
    follow();
}

// The list of a message: at most a screenful of names, one a line.
std::string NameLines(const std::vector<std::string>& paths) {
    constexpr size_t kMost = 20;
    std::string lines;
    for (size_t i = 0; i < paths.size() && i < kMost; ++i)
        lines += (i > 0 ? "\n" : "") + paths[i];
    if (paths.size() > kMost)
        lines += "\n...";
    return lines;
}

} // namespace

MainDialog::MainDialog(FormatOptions& options, std::string startupFolder, std::string settingsPath,
                       Prompter& prompter, Desktop& desktop, QWidget* parent)
    : QDialog(parent), ui(new Ui::MainDialog), options_(options),
      startupFolder_(std::move(startupFolder)), settingsPath_(std::move(settingsPath)),
      prompter_(prompter), desktop_(desktop),
      run_(std::make_unique<BackgroundRun>(*this, prompter)), undo_(UndoStore::DefaultRoot()) {
    ui->setupUi(this);
    ApplyDialogUnits(*this);
    // In this font "↑..." and "↓..." fill their 14-unit buttons to the pixel: the dots close
    // up a little so that the last one stays clear of the edge.
    for (QPushButton* button : {ui->folderUpButton, ui->folderDownButton}) {
        QFont tighter = button->font();
        tighter.setLetterSpacing(QFont::AbsoluteSpacing, -0.5);
        button->setFont(tighter);
    }
    setWindowFlag(Qt::WindowMinimizeButtonHint);
    display();

    connect(ui->exitButton, &QPushButton::clicked, this, &MainDialog::accept);
    connect(ui->manualButton, &QPushButton::clicked, this, &MainDialog::onManual);
    connect(ui->startButton, &QPushButton::clicked, this, &MainDialog::onStart);
    connect(ui->homePageButton, &QPushButton::clicked, this, &MainDialog::onHomePage);
    connect(ui->browseFolderButton, &QPushButton::clicked, this, &MainDialog::onBrowseFolder);
    connect(ui->overwriteRadio, &QRadioButton::clicked, this, &MainDialog::onOutputMode);
    connect(ui->subFolderRadio, &QRadioButton::clicked, this, &MainDialog::onOutputMode);
    connect(ui->fileTypeCombo, &QComboBox::activated, this, &MainDialog::onSelchangeFileType);
    connect(ui->fileList, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem* item) { onDblclkFileList(ui->fileList->row(item)); });
    connect(ui->selectedOnlyRadio, &QRadioButton::clicked, this, &MainDialog::onSelectedFilesOnly);
    connect(ui->allFilesRadio, &QRadioButton::clicked, this, &MainDialog::onAllFiles);
    connect(ui->upperCaseButton, &QPushButton::clicked, this,
            [this] { onRename(RenameKind::Upper); });
    connect(ui->lowerCaseButton, &QPushButton::clicked, this,
            [this] { onRename(RenameKind::Lower); });
    connect(ui->cToCppButton, &QPushButton::clicked, this,
            [this] { onRename(RenameKind::CToCpp); });
    connect(ui->cppToCButton, &QPushButton::clicked, this,
            [this] { onRename(RenameKind::CppToC); });
    connect(ui->indentSizeCombo, &QComboBox::activated, this, &MainDialog::onSelchangeIndentSize);
    connect(ui->indentOffRadio, &QRadioButton::clicked, this, &MainDialog::onIndentMode);
    connect(ui->indentOnRadio, &QRadioButton::clicked, this, &MainDialog::onIndentMode);
    connect(ui->optionsButton, &QPushButton::clicked, this, &MainDialog::onOptions);
    connect(ui->subFolderEdit, &QLineEdit::textChanged, this, &MainDialog::onChangeSubFolderName);
    connect(ui->folderDownButton, &QPushButton::clicked, this, &MainDialog::onFolderDown);
    connect(ui->folderUpButton, &QPushButton::clicked, this, &MainDialog::onFolderUp);

    // This platform gives a program no window menu: the item goes into a context menu.
    auto* versionItem = new QAction(QString::fromUtf8(text::kVersionMenuItem), this);
    connect(versionItem, &QAction::triggered, this, &MainDialog::onManual);
    addAction(versionItem);
    setContextMenuPolicy(Qt::ActionsContextMenu);

    // The file list's own menu; the keys work while the list has the focus.
    auto* previewItem = new QAction(FromView(text::kPreviewItem), ui->fileList);
    previewItem->setShortcut(Qt::Key_F3);
    previewItem->setShortcutContext(Qt::WidgetShortcut);
    connect(previewItem, &QAction::triggered, this, &MainDialog::onPreview);
    auto* undoItem = new QAction(FromView(text::kUndoItem), ui->fileList);
    undoItem->setShortcut(QKeySequence::Undo);
    undoItem->setShortcutContext(Qt::WidgetShortcut);
    connect(undoItem, &QAction::triggered, this, &MainDialog::onUndo);
    ui->fileList->addAction(previewItem);
    ui->fileList->addAction(undoItem);
    ui->fileList->setContextMenuPolicy(Qt::ActionsContextMenu);

    TabToCheckedButton(*ui->indentGroup);
    TabToCheckedButton(*ui->targetGroup);
    TabToCheckedButton(*ui->outputGroup);

    setAcceptDrops(true);
    ui->folderEdit->setAcceptDrops(false); // read-only: a drop there chooses the folder too
    followDisk_.setSingleShot(true);
    followDisk_.setInterval(100);
    connect(&followDisk_, &QTimer::timeout, this, &MainDialog::refreshKeepingSelection);
    connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, &MainDialog::onFolderChanged);

    setWindowIcon(ProgramIcon());
    // The home page opens through the desktop when asked: no browser is looked up here.
    options_ = StartupFormatOptions(startupFolder_);
    ui->indentOnRadio->setChecked(true);
    ui->selectedOnlyRadio->setChecked(true);
    ui->subFolderRadio->setChecked(true);
    ui->fileList->clear();

    folderPath = LoadSettings(settingsPath_);
    FollowFolder(folderPath);
    readFolderOptions();
    refreshFileList();
    display();
    ui->exitButton->setFocus();
}

MainDialog::~MainDialog() = default;

// Members to controls. Setting a control's value from here does not run the handlers that
// react to the user's choices (they listen to clicks and activations).
void MainDialog::display() {
    const QString folder = ShowName(folderPath);
    if (ui->folderEdit->text() != folder)
        ui->folderEdit->setText(folder);
    const QString subFolder = ShowPath(subFolderName);
    if (ui->subFolderEdit->text() != subFolder)
        ui->subFolderEdit->setText(subFolder);
    // The first item that begins with the type, ignoring case: "*.c" is not "*.cpp".
    const QString type = QString::fromStdString(fileType);
    for (int i = 0; i < ui->fileTypeCombo->count(); ++i) {
        if (ui->fileTypeCombo->itemText(i).startsWith(type, Qt::CaseInsensitive)) {
            ui->fileTypeCombo->setCurrentIndex(i);
            break;
        }
    }
    ui->indentSizeCombo->setCurrentIndex(indentSizeIndex);
}

void MainDialog::accept() {
    // The folder field is read-only and shows folderPath, so only these can have changed.
    // The sub-folder field stops typing at 128 characters and the lists hold short items, so
    // no limit can be exceeded here.
    subFolderName = PathBytes(ui->subFolderEdit->text());
    fileType = ui->fileTypeCombo->currentText().toStdString();
    indentSizeIndex = ui->indentSizeCombo->currentIndex();
    QDialog::accept();
}

void MainDialog::closeEvent(QCloseEvent* event) {
    if (run_->active()) {
        run_->cancel();
        closeAfterRun_ = true;
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void MainDialog::done(int result) {
    // A settings file that cannot be written is passed over in silence.
    SaveSettings(settingsPath_, folderPath);
    QDialog::done(result);
}

void MainDialog::refreshFileList() {
    ui->fileList->clear();
    watchFolder();
    if (folderPath.empty())
        return;
    std::vector<std::string> names;
    {
        WaitCursor wait;
        names = ListFiles(folderPath, fileType);
    }
    showEntries(names, -1);
    display();
}

// Entries keep the names' bytes, so what goes back to the batch functions is exactly what
// the folder holds, whatever the text shows.
void MainDialog::showEntries(const std::vector<std::string>& names, int selected) {
    ui->fileList->clear();
    for (const std::string& name : names) {
        auto* item = new QListWidgetItem(ShowName(name), ui->fileList);
        item->setData(Qt::UserRole, QByteArray::fromStdString(name));
    }
    if (selected >= 0 && selected < ui->fileList->count())
        ui->fileList->setCurrentRow(selected);
}

std::vector<std::string> MainDialog::entries() const {
    std::vector<std::string> names;
    for (int i = 0; i < ui->fileList->count(); ++i)
        names.push_back(ui->fileList->item(i)->data(Qt::UserRole).toByteArray().toStdString());
    return names;
}

int MainDialog::selectedIndex() const {
    const QList<QListWidgetItem*> selected = ui->fileList->selectedItems();
    return selected.isEmpty() ? -1 : ui->fileList->row(selected.constFirst());
}

ConvertSettings MainDialog::convertSettings() const {
    ConvertSettings settings;
    settings.indentOn = ui->indentOnRadio->isChecked();
    settings.indentSizeIndex = ui->indentSizeCombo->currentIndex();
    settings.subFolderName = subFolderName;
    return settings;
}

void MainDialog::onManual() {
    ManualDialog dialog(this);
    dialog.exec();
}

void MainDialog::onStart() {
    BatchRequest request;
    request.folderPath = folderPath;
    request.fileType = fileType;
    request.entries = entries();
    request.selectedIndex = selectedIndex();
    request.allFiles = !ui->selectedOnlyRadio->isChecked();
    request.overwrite = ui->overwriteRadio->isChecked();
    const ConvertSettings settings = convertSettings();
    run_->run([&](const RunControl& control, Prompter& prompter) {
        RunBatch(request, options_, settings, prompter, {}, &control, &undo_);
    });
    if (changedDuringRun_)
        refreshKeepingSelection();
    if (closeAfterRun_)
        close();
}

void MainDialog::onHomePage() {
    // Nothing is shown when no browser can be started.
    desktop_.openUrl(kHomePage);
}

void MainDialog::onBrowseFolder() {
    folderPath = BrowseFolder(folderPath, desktop_);
    // A cancelled browse still reads the folder again.
    FollowFolder(folderPath);
    readFolderOptions();
    refreshFileList();
    display();
}

void MainDialog::onOutputMode() {
    const bool subFolder = ui->subFolderRadio->isChecked();
    ui->subFolderLabel->setEnabled(subFolder);
    ui->subFolderEdit->setEnabled(subFolder);
    display();
}

void MainDialog::onIndentMode() {
    const bool indent = ui->indentOnRadio->isChecked();
    ui->indentSizeLabel->setEnabled(indent);
    ui->indentSizeCombo->setEnabled(indent);
    display();
}

void MainDialog::onSelchangeFileType() {
    fileType = ui->fileTypeCombo->currentText().toStdString();
    refreshFileList();
    display();
}

// index is the entry double-clicked, which the click has also selected.
void MainDialog::onDblclkFileList(int index) {
    if (folderPath.empty()) {
        prompter_.tell(text::kNoFolder, PromptIcon::Stop);
        return;
    }
    const std::vector<std::string> names = entries();
    if (index < 0 || index >= static_cast<int>(names.size()))
        return;
    if (!desktop_.openDocument(JoinPath(folderPath, names[index])))
        prompter_.tell(text::kEditorFailed);
}

void MainDialog::onSelectedFilesOnly() {
    if (ui->fileList->count() > 0)
        ui->fileList->setCurrentRow(0);
}

void MainDialog::onAllFiles() {
    ui->fileList->clearSelection();
    ui->fileList->setCurrentRow(-1);
}

void MainDialog::onRename(RenameKind kind) {
    RenameRequest request;
    request.folderPath = folderPath;
    request.fileType = fileType;
    request.entries = entries();
    request.selectedIndex = selectedIndex();
    request.allFiles = !ui->selectedOnlyRadio->isChecked();
    RenameResult result;
    run_->run([&](const RunControl& control, Prompter& prompter) {
        result = RenameListedFiles(kind, request, prompter, &control);
    });
    changedDuringRun_ = false;
    if (result.refreshed) {
        showEntries(result.entries, result.selectedIndex);
        display();
    }
    if (closeAfterRun_)
        close();
}

void MainDialog::onSelchangeIndentSize() {
    indentSizeIndex = ui->indentSizeCombo->currentIndex();
}

void MainDialog::onOptions() {
    OptionsDialog dialog(options_, startupFolder_, prompter_, desktop_, this);
    dialog.exec();
}

void MainDialog::onChangeSubFolderName() {
    subFolderName = PathBytes(ui->subFolderEdit->text());
    display();
}

// Before any folder is chosen, "↑..." and "↓..." start from the current directory.
void MainDialog::onFolderDown() {
    const std::string from = folderPath.empty() ? CurrentFolder() : folderPath;
    std::optional<std::string> below = FolderDown(from, subFolderName, prompter_);
    if (!below)
        return;
    folderPath = *below;
    FollowFolder(folderPath);
    readFolderOptions();
    refreshFileList();
    display();
}

void MainDialog::onFolderUp() {
    folderPath = FolderUp(folderPath.empty() ? CurrentFolder() : folderPath);
    FollowFolder(folderPath);
    readFolderOptions();
    refreshFileList();
    display();
}

void MainDialog::onPreview() {
    if (folderPath.empty()) {
        prompter_.tell(text::kNoFolder, PromptIcon::Stop);
        return;
    }
    const int index = selectedIndex();
    const std::vector<std::string> names = entries();
    if (index < 0 || index >= static_cast<int>(names.size())) {
        prompter_.tell(text::kNoSelection);
        return;
    }
    const std::string& name = names[static_cast<size_t>(index)];
    // The name as the command line prints it when run in the folder on that file.
    std::optional<std::string> diff =
        ConversionDiff(JoinPath(folderPath, name), name, options_, convertSettings(), prompter_);
    if (!diff) // the reason was told
        return;
    if (diff->empty()) {
        prompter_.tell(FormatText(text::kPreviewUnchanged, name), PromptIcon::Information);
        return;
    }
    const QString title = FromView(FormatText(text::kPreviewTitle, "")) + ShowPath(name);
    PreviewDialog preview(title, std::move(*diff), this);
    preview.exec();
}

void MainDialog::onUndo() {
    const size_t files = undo_.lastRunSize();
    if (files == 0) {
        prompter_.tell(text::kNothingToUndo);
        return;
    }
    if (prompter_.ask(FormatText(text::kUndoQuestion, std::to_string(files)), PromptIcon::Question,
                      PromptButtons::YesNo) != PromptAnswer::Yes)
        return;
    UndoStore::UndoReport report;
    run_->run([&](const RunControl& control, Prompter&) {
        report = undo_.undoLastRun(control.progress);
    });
    std::string message = FormatText(text::kUndoDone, std::to_string(report.restored));
    if (!report.changedSince.empty())
        message += "\n\n" + FormatText(text::kUndoChangedSince, NameLines(report.changedSince));
    if (!report.failed.empty())
        message += "\n\n" + FormatText(text::kUndoFailed, NameLines(report.failed));
    prompter_.tell(message, report.changedSince.empty() && report.failed.empty()
                                ? PromptIcon::Information
                                : PromptIcon::Exclamation);
    refreshKeepingSelection();
    if (closeAfterRun_)
        close();
}

void MainDialog::dragEnterEvent(QDragEnterEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    if (!urls.isEmpty() && urls.first().isLocalFile())
        event->acceptProposedAction();
}

void MainDialog::dropEvent(QDropEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.isEmpty() || !urls.first().isLocalFile())
        return;
    event->acceptProposedAction();
    const std::string path = NormalizePath(PathBytes(urls.first().toLocalFile()));
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return;
    if (S_ISDIR(st.st_mode)) {
        chooseFolder(path);
        return;
    }
    const size_t slash = path.rfind('/');
    chooseFolder(slash == 0 ? "/" : path.substr(0, slash));
    const std::string name = path.substr(slash + 1);
    const std::vector<std::string> names = entries();
    for (size_t i = 0; i < names.size(); ++i) {
        if (names[i] == name)
            ui->fileList->setCurrentRow(static_cast<int>(i));
    }
}

void MainDialog::chooseFolder(const std::string& folder) {
    folderPath = folder;
    FollowFolder(folderPath);
    readFolderOptions();
    refreshFileList();
    display();
}

// The list follows the folder on disk, but not while a run comes and goes with its
// temporary files: the change waits for the run's end.
void MainDialog::onFolderChanged() {
    if (run_->active())
        changedDuringRun_ = true;
    else
        followDisk_.start();
}

void MainDialog::refreshKeepingSelection() {
    if (run_->active()) {
        changedDuringRun_ = true;
        return;
    }
    changedDuringRun_ = false;
    if (folderPath.empty())
        return;
    const int index = selectedIndex();
    const std::vector<std::string> before = entries();
    const std::string selected = index >= 0 ? before[static_cast<size_t>(index)] : std::string();
    const std::vector<std::string> names = ListFiles(folderPath, fileType);
    if (names == before)
        return;
    int row = -1;
    for (size_t i = 0; i < names.size() && !selected.empty(); ++i) {
        if (names[i] == selected)
            row = static_cast<int>(i);
    }
    showEntries(names, row);
    watchFolder();
}

void MainDialog::watchFolder() {
    if (!watcher_.directories().isEmpty())
        watcher_.removePaths(watcher_.directories());
    if (!folderPath.empty())
        watcher_.addPath(ShowPath(folderPath));
}

// The chosen folder's .srctdy.toml (the nearest from the folder upward) gives the starting
// conversion options, read again at every change of folder and never written. Leaving a
// configured folder for one without goes back to the start-up defaults; between folders
// without one, the options the user set stay.
void MainDialog::readFolderOptions() {
    if (folderPath.empty())
        return;
    FormatOptions options;
    ConvertSettings settings;
    std::string from;
    const std::string error = LoadFolderOptions(folderPath, StartupFormatOptions(startupFolder_),
                                                options, settings, from);
    if (!error.empty())
        prompter_.tell(std::string(text::kProjectConfigError) + "\n" + error);
    if (from.empty() && folderConfig.empty())
        return;
    folderConfig = from;
    options_ = options;
    ui->indentOnRadio->setChecked(settings.indentOn);
    ui->indentOffRadio->setChecked(!settings.indentOn);
    indentSizeIndex = settings.indentSizeIndex;
    onIndentMode();
}

} // namespace srctdy
