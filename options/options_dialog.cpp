#include "options/options_dialog.h"

#include "app/dialog_units.h"
#include "engine/cp932.h"
#include "engine/format_options.h"
#include "options/byte_limit.h"
#include "platform/desktop.h"
#include "platform/prompter.h"
#include "platform/string_table.h"
#include "ui_options_dialog.h"

#include <QFile>

#include <optional>

namespace srctdy {

namespace {

constexpr int kTemplatePathMax = 256;
constexpr int kSearchTextMax = 128;
constexpr int kReplaceTextMax = 128;
constexpr int kConditionTextMax = 80;

int Flag(int field) {
    return field == 1 ? 1 : 0;
}

void Toggle(int& flag) {
    flag = flag == 1 ? 0 : 1;
}

QString ShowCp932(const std::string& bytes) {
    if (auto utf8 = cp932::ToUtf8(bytes))
        return QString::fromStdString(*utf8);
    return QString::fromStdString(bytes);
}

QString ShowPath(const std::string& bytes) {
    return QFile::decodeName(QByteArray::fromStdString(bytes));
}

// An edit box whose text already equals the member keeps its caret and selection.
void SetText(QLineEdit& box, const QString& text) {
    if (box.text() != text)
        box.setText(text);
}

std::string MaxCharsMessage(int max) {
    std::string message(text::kMaxChars);
    message.replace(message.find("%1"), 2, std::to_string(max));
    return message;
}

} // namespace

OptionsDialog::OptionsDialog(FormatOptions& options, std::string startupFolder, Prompter& prompter,
                             Desktop& desktop, QWidget* parent)
    : QDialog(parent), ui(new Ui::OptionsDialog), options_(options),
      startupFolder_(std::move(startupFolder)), prompter_(prompter), desktop_(desktop) {
    // The working copy: a flag is on only when its field holds exactly 1.
    trimBlanks = Flag(options.trimBlanks);
    fullWidthToHalfWidth = Flag(options.fullWidthToHalfWidth);
    deleteEmptyLines = Flag(options.deleteEmptyLines);
    collapseEmptyLines = Flag(options.collapseEmptyLines);
    insertDefinitionComments = Flag(options.insertDefinitionComments);
    insertHeaderTemplate = Flag(options.insertHeaderTemplate);
    replaceOrDelete = Flag(options.replaceOrDelete);
    deleteConditionalBlocks = Flag(options.deleteConditionalBlocks);
    templatePath = {ShowPath(options.templatePath), options.templatePath};
    searchText = {ShowCp932(options.searchText), options.searchText};
    replaceText = {ShowCp932(options.replaceText), options.replaceText};
    conditionText = {ShowCp932(options.conditionText), options.conditionText};
    deleteMatchingLines = Flag(options.deleteMatchingLines);
    insertFunctionNames = Flag(options.insertFunctionNames);

    ui->setupUi(this);
    ApplyDialogUnits(*this);
    LimitBytes(*ui->templateEdit, kTemplatePathMax, ByteCount::FileSystem);
    LimitBytes(*ui->searchEdit, kSearchTextMax, ByteCount::Cp932);
    LimitBytes(*ui->replaceEdit, kReplaceTextMax, ByteCount::Cp932);
    LimitBytes(*ui->conditionEdit, kConditionTextMax, ByteCount::Cp932);

    connect(ui->okButton, &QPushButton::clicked, this, &OptionsDialog::accept);
    connect(ui->cancelButton, &QPushButton::clicked, this, &OptionsDialog::reject);
    connect(ui->trimBlanksCheck, &QCheckBox::clicked, this, [this] { Toggle(trimBlanks); });
    connect(ui->fullWidthCheck, &QCheckBox::clicked, this,
            [this] { Toggle(fullWidthToHalfWidth); });
    connect(ui->deleteEmptyCheck, &QCheckBox::clicked, this, &OptionsDialog::onDeleteEmptyLines);
    connect(ui->collapseEmptyCheck, &QCheckBox::clicked, this,
            &OptionsDialog::onCollapseEmptyLines);
    connect(ui->definitionsCheck, &QCheckBox::clicked, this,
            [this] { Toggle(insertDefinitionComments); });
    connect(ui->templateCheck, &QCheckBox::clicked, this, &OptionsDialog::onInsertHeaderTemplate);
    connect(ui->replaceCheck, &QCheckBox::clicked, this, &OptionsDialog::onReplaceOrDelete);
    connect(ui->conditionalCheck, &QCheckBox::clicked, this,
            &OptionsDialog::onDeleteConditionalBlocks);
    connect(ui->deleteLinesCheck, &QCheckBox::clicked, this, &OptionsDialog::onDeleteMatchingLines);
    connect(ui->functionNamesCheck, &QCheckBox::clicked, this,
            [this] { Toggle(insertFunctionNames); });
    connect(ui->templateEdit, &QLineEdit::textChanged, this,
            [this] { onTextChanged(templatePath, *ui->templateEdit); });
    connect(ui->searchEdit, &QLineEdit::textChanged, this,
            [this] { onTextChanged(searchText, *ui->searchEdit); });
    connect(ui->replaceEdit, &QLineEdit::textChanged, this,
            [this] { onTextChanged(replaceText, *ui->replaceEdit); });
    connect(ui->conditionEdit, &QLineEdit::textChanged, this,
            [this] { onTextChanged(conditionText, *ui->conditionEdit); });
    connect(ui->browseTemplateButton, &QPushButton::clicked, this,
            &OptionsDialog::onBrowseTemplate);
    connect(ui->editTemplateButton, &QPushButton::clicked, this, &OptionsDialog::onEditTemplate);

    display();
    selectCommentMode(options.commentMode);
    applyOpeningRules();
    // The opening rules may have cleared a flag whose box was already shown ticked.
    display();
    ui->okButton->setFocus();
}

OptionsDialog::~OptionsDialog() = default;

// Members to controls, in the fixed order of the exchange. The boxes' own change
// notifications are not handled meanwhile.
void OptionsDialog::display() {
    exchanging_ = true;
    ui->trimBlanksCheck->setChecked(trimBlanks == 1);
    ui->fullWidthCheck->setChecked(fullWidthToHalfWidth == 1);
    ui->deleteEmptyCheck->setChecked(deleteEmptyLines == 1);
    ui->collapseEmptyCheck->setChecked(collapseEmptyLines == 1);
    ui->definitionsCheck->setChecked(insertDefinitionComments == 1);
    ui->templateCheck->setChecked(insertHeaderTemplate == 1);
    ui->replaceCheck->setChecked(replaceOrDelete == 1);
    ui->conditionalCheck->setChecked(deleteConditionalBlocks == 1);
    SetText(*ui->templateEdit, templatePath.shown);
    SetText(*ui->searchEdit, searchText.shown);
    SetText(*ui->replaceEdit, replaceText.shown);
    SetText(*ui->conditionEdit, conditionText.shown);
    ui->deleteLinesCheck->setChecked(deleteMatchingLines == 1);
    ui->functionNamesCheck->setChecked(insertFunctionNames == 1);
    exchanging_ = false;
}

void OptionsDialog::applyOpeningRules() {
    if (deleteEmptyLines == 1) {
        ui->collapseEmptyCheck->setEnabled(false);
        collapseEmptyLines = 0;
    }
    if (collapseEmptyLines == 1) {
        ui->deleteEmptyCheck->setEnabled(false);
        deleteEmptyLines = 0;
    }
    if (insertHeaderTemplate == 0) {
        ui->templateEdit->setEnabled(false);
        ui->browseTemplateButton->setEnabled(false);
        ui->editTemplateButton->setEnabled(false);
    }
    if (replaceOrDelete == 0 && deleteMatchingLines == 0) {
        ui->searchEdit->setEnabled(false);
        ui->replaceEdit->setEnabled(false);
    }
    if (deleteMatchingLines == 1)
        ui->replaceEdit->setEnabled(false);
    if (deleteConditionalBlocks == 0)
        ui->conditionEdit->setEnabled(false);
}

void OptionsDialog::selectCommentMode(int mode) {
    switch (mode) {
    case 1:
        ui->commentToLineRadio->setChecked(true);
        break;
    case 2:
        ui->commentToBlockRadio->setChecked(true);
        break;
    case 3:
        ui->commentSplitRadio->setChecked(true);
        break;
    default:
        ui->commentKeepRadio->setChecked(true);
        break;
    }
}

// A later checked button wins; with none checked the mode stays as it was.
int OptionsDialog::checkedCommentMode(int current) const {
    const QRadioButton* radios[] = {ui->commentKeepRadio, ui->commentToLineRadio,
                                    ui->commentToBlockRadio, ui->commentSplitRadio};
    for (int mode = 0; mode < 4; ++mode) {
        if (radios[mode]->isChecked())
            current = mode;
    }
    return current;
}

void OptionsDialog::onDeleteEmptyLines() {
    Toggle(deleteEmptyLines);
    ui->collapseEmptyCheck->setEnabled(deleteEmptyLines != 1);
}

void OptionsDialog::onCollapseEmptyLines() {
    Toggle(collapseEmptyLines);
    ui->deleteEmptyCheck->setEnabled(collapseEmptyLines != 1);
}

void OptionsDialog::onInsertHeaderTemplate() {
    Toggle(insertHeaderTemplate);
    const bool on = insertHeaderTemplate == 1;
    ui->templateEdit->setEnabled(on);
    ui->browseTemplateButton->setEnabled(on);
    ui->editTemplateButton->setEnabled(on);
}

void OptionsDialog::onReplaceOrDelete() {
    Toggle(replaceOrDelete);
    if (replaceOrDelete == 1) {
        deleteMatchingLines = 0;
        ui->searchEdit->setEnabled(true);
        ui->replaceEdit->setEnabled(true);
    } else {
        ui->searchEdit->setEnabled(false);
        ui->replaceEdit->setEnabled(false);
    }
    display();
}

void OptionsDialog::onDeleteMatchingLines() {
    Toggle(deleteMatchingLines);
    if (deleteMatchingLines == 1) {
        replaceOrDelete = 0;
        ui->searchEdit->setEnabled(true);
        ui->replaceEdit->setEnabled(false);
    } else {
        ui->searchEdit->setEnabled(false);
        ui->replaceEdit->setEnabled(false);
    }
    display();
}

void OptionsDialog::onDeleteConditionalBlocks() {
    Toggle(deleteConditionalBlocks);
    ui->conditionEdit->setEnabled(deleteConditionalBlocks == 1);
    display();
}

// Reads the box rather than the notification's text: a notification can arrive after the
// byte limit has already shortened the text it carries.
void OptionsDialog::onTextChanged(Text& text, const QLineEdit& box) {
    if (exchanging_)
        return;
    const QString shown = box.text();
    if (text.shown != shown) {
        text.shown = shown;
        text.exact = false;
    }
    display();
}

void OptionsDialog::onBrowseTemplate() {
    const std::vector<FileFilter> filters = {
        {std::string(text::kTextFilesFilter), {"*.txt"}},
        {std::string(text::kAllFilesFilter), {"*"}},
    };
    auto chosen =
        desktop_.pickFile(startupFolder_, std::string(text::kTemplatePickerTitle), filters);
    if (!chosen)
        return;
    templatePath = {ShowPath(*chosen), *chosen};
    display();
}

void OptionsDialog::onEditTemplate() {
    if (!desktop_.openDocument(templateBytes()))
        prompter_.tell(text::kEditorFailed);
}

std::string OptionsDialog::templateBytes() const {
    if (templatePath.exact)
        return templatePath.bytes;
    return QFile::encodeName(templatePath.shown).toStdString();
}

void OptionsDialog::refuse(std::string_view message, QLineEdit* box) {
    prompter_.tell(message);
    box->setFocus();
}

void OptionsDialog::accept() {
    struct Field {
        const Text& text;
        QLineEdit* box;
        std::string_view name;
        int max;
        std::string bytes;
    };
    Field fields[] = {
        {searchText, ui->searchEdit, text::kSearchTextField, kSearchTextMax, {}},
        {replaceText, ui->replaceEdit, text::kReplaceTextField, kReplaceTextMax, {}},
        {conditionText, ui->conditionEdit, text::kConditionTextField, kConditionTextMax, {}},
    };
    for (Field& field : fields) {
        std::optional<std::string> bytes = field.text.bytes;
        if (!field.text.exact)
            bytes = cp932::FromUtf8(field.text.shown.toStdString());
        if (!bytes) {
            refuse(FormatText(text::kNotCp932, field.name), field.box);
            return;
        }
        field.bytes = std::move(*bytes);
    }
    const std::string& search = fields[0].bytes;
    if (deleteMatchingLines != 0 && search.size() < 3) {
        prompter_.tell(text::kSearchTextTooShort);
        return;
    }
    // Typing cannot pass these limits; a long path chosen with "参照" can.
    const std::string path = templateBytes();
    if (path.size() > static_cast<size_t>(kTemplatePathMax)) {
        refuse(MaxCharsMessage(kTemplatePathMax), ui->templateEdit);
        return;
    }
    for (const Field& field : fields) {
        if (field.bytes.size() > static_cast<size_t>(field.max)) {
            refuse(MaxCharsMessage(field.max), field.box);
            return;
        }
    }

    options_.trimBlanks = trimBlanks != 0 ? 1 : 0;
    options_.fullWidthToHalfWidth = fullWidthToHalfWidth != 0 ? 1 : 0;
    options_.deleteEmptyLines = deleteEmptyLines != 0 ? 1 : 0;
    options_.collapseEmptyLines = collapseEmptyLines != 0 ? 1 : 0;
    options_.deleteMatchingLines = deleteMatchingLines != 0 ? 1 : 0;
    options_.insertDefinitionComments = insertDefinitionComments != 0 ? 1 : 0;
    options_.insertHeaderTemplate = insertHeaderTemplate != 0 ? 1 : 0;
    options_.replaceOrDelete = replaceOrDelete != 0 ? 1 : 0;
    options_.deleteConditionalBlocks = deleteConditionalBlocks != 0 ? 1 : 0;
    options_.insertFunctionNames = insertFunctionNames != 0 ? 1 : 0;
    options_.commentMode = checkedCommentMode(options_.commentMode);
    options_.templatePath = path;
    options_.searchText = fields[0].bytes;
    options_.replaceText = fields[1].bytes;
    options_.conditionText = fields[2].bytes;
    QDialog::accept();
}

} // namespace srctdy
