#include "app/main_dialog.h"

#include "app/current_folder.h"
#include "app/dialog_units.h"
#include "app/manual_dialog.h"
#include "app/settings_file.h"
#include "batch/batch_run.h"
#include "batch/display_name.h"
#include "batch/file_list.h"
#include "batch/file_renaming.h"
#include "batch/folder_navigation.h"
#include "engine/format_options.h"
#include "options/options_dialog.h"
#include "platform/desktop.h"
#include "platform/prompter.h"
#include "platform/string_table.h"
#include "ui_main_dialog.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QIcon>

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

} // namespace

MainDialog::MainDialog(FormatOptions& options, std::string startupFolder, std::string settingsPath,
                       Prompter& prompter, Desktop& desktop, QWidget* parent)
    : QDialog(parent), ui(new Ui::MainDialog), options_(options),
      startupFolder_(std::move(startupFolder)), settingsPath_(std::move(settingsPath)),
      prompter_(prompter), desktop_(desktop) {
    ui->setupUi(this);
    ApplyDialogUnits(*this);
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

    setWindowIcon(ProgramIcon());
    // The home page opens through the desktop when asked: no browser is looked up here.
    options_ = StartupFormatOptions(startupFolder_);
    ui->indentOnRadio->setChecked(true);
    ui->selectedOnlyRadio->setChecked(true);
    ui->subFolderRadio->setChecked(true);
    ui->fileList->clear();

    folderPath = LoadSettings(settingsPath_);
    FollowFolder(folderPath);
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

void MainDialog::done(int result) {
    // A settings file that cannot be written is passed over in silence.
    SaveSettings(settingsPath_, folderPath);
    QDialog::done(result);
}

void MainDialog::refreshFileList() {
    ui->fileList->clear();
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
    std::unique_ptr<WaitCursor> wait;
    RunBatch(request, options_, convertSettings(), prompter_, [&wait](bool busy) {
        if (busy)
            wait = std::make_unique<WaitCursor>();
        else
            wait.reset();
    });
}

void MainDialog::onHomePage() {
    // Nothing is shown when no browser can be started.
    desktop_.openUrl(kHomePage);
}

void MainDialog::onBrowseFolder() {
    folderPath = BrowseFolder(folderPath, desktop_);
    // A cancelled browse still reads the folder again.
    FollowFolder(folderPath);
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
    RenameResult result = RenameListedFiles(kind, request, prompter_);
    if (!result.refreshed)
        return;
    showEntries(result.entries, result.selectedIndex);
    display();
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

void MainDialog::onFolderDown() {
    std::optional<std::string> below = FolderDown(folderPath, subFolderName, prompter_);
    if (!below)
        return;
    folderPath = *below;
    FollowFolder(folderPath);
    refreshFileList();
    display();
}

void MainDialog::onFolderUp() {
    folderPath = FolderUp(folderPath);
    FollowFolder(folderPath);
    refreshFileList();
    display();
}

} // namespace srctdy
