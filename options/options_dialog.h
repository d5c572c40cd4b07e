#pragma once

#include <QDialog>
#include <QString>

#include <memory>
#include <string>

class QLineEdit;

namespace Ui {
class OptionsDialog;
}

namespace srctdy {

struct FormatOptions;
class Desktop;
class Prompter;

// The conversion conditions dialog. It edits a working copy taken from options when it is
// constructed and writes it back only when "設　定" is confirmed; cancel, Esc and the close box
// leave options untouched. Messages go through prompter, the template file through desktop.
class OptionsDialog : public QDialog {
    Q_OBJECT

public:
    OptionsDialog(FormatOptions& options, std::string startupFolder, Prompter& prompter,
                  Desktop& desktop, QWidget* parent = nullptr);
    ~OptionsDialog() override;

    // Confirmation: validates, stores the working copy into the options, closes.
    void accept() override;

private:
    // A text of the working copy. The box shows `shown`; `bytes` is what it stands for as
    // long as `exact` holds, so a text that was not edited is stored back byte for byte.
    struct Text {
        QString shown;
        std::string bytes;
        bool exact = true;
    };

    void display();
    void applyOpeningRules();
    void selectCommentMode(int mode);
    int checkedCommentMode(int current) const;

    void onDeleteEmptyLines();
    void onCollapseEmptyLines();
    void onInsertHeaderTemplate();
    void onReplaceOrDelete();
    void onDeleteMatchingLines();
    void onDeleteConditionalBlocks();
    void onTextChanged(Text& text, const QLineEdit& box);
    void onBrowseTemplate();
    void onEditTemplate();

    void refuse(std::string_view message, QLineEdit* box);
    std::string templateBytes() const;

    std::unique_ptr<Ui::OptionsDialog> ui;
    FormatOptions& options_;
    std::string startupFolder_;
    Prompter& prompter_;
    Desktop& desktop_;
    bool exchanging_ = false;

    // The working copy, one member per field of the options.
    int trimBlanks = 0;
    int fullWidthToHalfWidth = 0;
    int deleteEmptyLines = 0;
    int collapseEmptyLines = 0;
    int insertDefinitionComments = 0;
    int insertHeaderTemplate = 0;
    int replaceOrDelete = 0;
    int deleteConditionalBlocks = 0;
    Text templatePath;
    Text searchText;
    Text replaceText;
    Text conditionText;
    int deleteMatchingLines = 0;
    int insertFunctionNames = 0;
};

} // namespace srctdy
