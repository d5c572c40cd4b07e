#include "app/dialog_style.h"
#include "engine/cp932.h"
#include "engine/format_options.h"
#include "options/options_dialog.h"
#include "platform/scripted_desktop.h"
#include "platform/scripted_prompter.h"
#include "platform/string_table.h"
#include "tests/gui/gui_test_support.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <memory>

using namespace srctdy;
using srctdy::testing::Control;

namespace {

enum Id {
    kOk = 1,
    kCancel = 2,
    kTemplatePath = 1000,
    kKeepComments = 1005,
    kBlockToLine = 1006,
    kLineToBlock = 1007,
    kSplitComments = 1008,
    kSearchText = 1009,
    kTrimBlanks = 1019,
    kFullWidth = 1020,
    kDeleteEmpty = 1021,
    kBrowse = 1024,
    kCollapseEmpty = 1025,
    kDefinitions = 1027,
    kTemplate = 1028,
    kEdit = 1029,
    kReplace = 1030,
    kReplaceText = 1031,
    kConditional = 1032,
    kConditionText = 1033,
    kDeleteLines = 1036,
    kFunctionNames = 1037,
};

const std::string kStartup = "/home/user/src";

QString Q(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// "1" ticked and enabled, "0" cleared and enabled, "-" cleared and disabled, "x" ticked and
// disabled; for edit boxes and buttons only "e" (enabled) and "d" (disabled).
QString CheckState(QAbstractButton* box) {
    if (box->isChecked())
        return box->isEnabled() ? "1" : "x";
    return box->isEnabled() ? "0" : "-";
}

} // namespace

class OptionsDialogTest : public QObject {
    Q_OBJECT

private:
    FormatOptions options;
    testing::FailureLog failures;
    std::unique_ptr<ScriptedPrompter> prompter;
    std::unique_ptr<ScriptedDesktop> desktop;
    std::unique_ptr<OptionsDialog> dialog;

    OptionsDialog& open() {
        dialog = std::make_unique<OptionsDialog>(options, kStartup, *prompter, *desktop);
        dialog->show();
        return *dialog;
    }
    template <class W> W* control(int id) { return Control<W>(*dialog, id); }
    void click(int id) { QTest::mouseClick(control<QAbstractButton>(id), Qt::LeftButton); }
    // The flags' boxes in the order 1019 1020 1021 1025 1027 1028 1030 1032 1036 1037.
    QString boxes() {
        QString states;
        for (int id : {kTrimBlanks, kFullWidth, kDeleteEmpty, kCollapseEmpty, kDefinitions,
                       kTemplate, kReplace, kConditional, kDeleteLines, kFunctionNames})
            states += CheckState(control<QAbstractButton>(id));
        return states;
    }
    // The stored flags in the order of boxes().
    QString stored() const {
        QString flags;
        for (int flag : {options.trimBlanks, options.fullWidthToHalfWidth, options.deleteEmptyLines,
                         options.collapseEmptyLines, options.insertDefinitionComments,
                         options.insertHeaderTemplate, options.replaceOrDelete,
                         options.deleteConditionalBlocks, options.deleteMatchingLines,
                         options.insertFunctionNames})
            flags += QString::number(flag);
        return flags;
    }
    // Enabled state of 1000 1024 1029 1009 1031 1033.
    QString fields() {
        QString states;
        for (int id : {kTemplatePath, kBrowse, kEdit, kSearchText, kReplaceText, kConditionText})
            states += control<QWidget>(id)->isEnabled() ? "e" : "d";
        return states;
    }
    void type(int id, const QString& text) {
        auto* box = control<QLineEdit>(id);
        box->selectAll();
        QTest::keyClick(box, Qt::Key_Delete);
        typeAtCursor(box, text);
    }
    // Key presses, one a character; QTest::keyClicks() knows ASCII only.
    static void typeAtCursor(QLineEdit* box, const QString& text) {
        for (char32_t c : text.toUcs4())
            QTest::sendKeyEvent(QTest::Click, box, Qt::Key_unknown, QString::fromUcs4(&c, 1),
                                Qt::NoModifier);
    }
    bool confirm() {
        click(kOk);
        return dialog->result() == QDialog::Accepted && !dialog->isVisible();
    }

private slots:
    void initTestCase() { srctdy::UseDialogStyle(); }

    void init() {
        options = StartupFormatOptions(kStartup);
        failures.clear();
        prompter = std::make_unique<ScriptedPrompter>(failures.handler());
        desktop = std::make_unique<ScriptedDesktop>(failures.handler());
    }

    void cleanup() {
        dialog.reset();
        QVERIFY2(failures.empty(), qPrintable(failures.text()));
        QVERIFY2(prompter->allUsed(), "a scripted message was not shown");
        QVERIFY2(desktop->allUsed(), "a scripted desktop call was not made");
    }

    void opensWithTheStartupDefaults() {
        open();
        QCOMPARE(boxes(), QString("11-1000000"));
        QCOMPARE(fields(), QString("dddddd"));
        QVERIFY(control<QRadioButton>(kKeepComments)->isChecked());
        QCOMPARE(control<QLineEdit>(kTemplatePath)->text(),
                 QString("/home/user/src/FileTitle.txt"));
        QCOMPARE(dialog->focusWidget(), control<QWidget>(kOk));
    }

    void opensWithTheEnablingRulesApplied_data() {
        QTest::addColumn<int>("deleteEmpty");
        QTest::addColumn<int>("collapseEmpty");
        QTest::addColumn<int>("insertTemplate");
        QTest::addColumn<int>("replace");
        QTest::addColumn<int>("deleteLines");
        QTest::addColumn<int>("conditional");
        QTest::addColumn<QString>("boxes");
        QTest::addColumn<QString>("fields");
        QTest::newRow("delete-empty wins over collapse-empty")
            << 1 << 1 << 0 << 0 << 0 << 0 << "111-000000"
            << "dddddd";
        QTest::newRow("neither empty-line flag") << 0 << 0 << 0 << 0 << 0 << 0 << "1100000000"
                                                 << "dddddd";
        QTest::newRow("template on") << 0 << 1 << 1 << 0 << 0 << 0 << "11-1010000"
                                     << "eeeddd";
        QTest::newRow("replace on") << 0 << 1 << 0 << 1 << 0 << 0 << "11-1001000"
                                    << "dddeed";
        QTest::newRow("delete lines on") << 0 << 1 << 0 << 0 << 1 << 0 << "11-1000010"
                                         << "dddedd";
        QTest::newRow("conditional on") << 0 << 1 << 0 << 0 << 0 << 1 << "11-1000100"
                                        << "ddddde";
    }

    void opensWithTheEnablingRulesApplied() {
        QFETCH(int, deleteEmpty);
        QFETCH(int, collapseEmpty);
        QFETCH(int, insertTemplate);
        QFETCH(int, replace);
        QFETCH(int, deleteLines);
        QFETCH(int, conditional);
        options.deleteEmptyLines = deleteEmpty;
        options.collapseEmptyLines = collapseEmpty;
        options.insertHeaderTemplate = insertTemplate;
        options.replaceOrDelete = replace;
        options.deleteMatchingLines = deleteLines;
        options.deleteConditionalBlocks = conditional;
        options.searchText = "abc";
        open();
        QTEST(boxes(), "boxes");
        QTEST(fields(), "fields");
    }

    void storesTheOpeningRuleOfTheEmptyLineFlags() {
        options.deleteEmptyLines = 1;
        options.collapseEmptyLines = 1;
        open();
        QVERIFY(confirm());
        QCOMPARE(options.deleteEmptyLines, 1);
        QCOMPARE(options.collapseEmptyLines, 0);
    }

    void selectsTheRadioOfTheCommentMode_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("radio");
        QTest::addColumn<int>("stored");
        QTest::newRow("0 keeps comments") << 0 << int(kKeepComments) << 0;
        QTest::newRow("1 block to line") << 1 << int(kBlockToLine) << 1;
        QTest::newRow("2 line to block") << 2 << int(kLineToBlock) << 2;
        QTest::newRow("3 splits") << 3 << int(kSplitComments) << 3;
        QTest::newRow("4 is out of range") << 4 << int(kKeepComments) << 0;
        QTest::newRow("-1 is out of range") << -1 << int(kKeepComments) << 0;
    }

    void selectsTheRadioOfTheCommentMode() {
        QFETCH(int, mode);
        QFETCH(int, radio);
        options.commentMode = mode;
        open();
        QVERIFY(control<QRadioButton>(radio)->isChecked());
        QVERIFY(confirm());
        QTEST(options.commentMode, "stored");
    }

    void storesTheClickedCommentMode() {
        open();
        click(kSplitComments);
        QVERIFY(!control<QRadioButton>(kKeepComments)->isChecked());
        QVERIFY(confirm());
        QCOMPARE(options.commentMode, 3);
    }

    void replaceAndDeleteLinesExcludeEachOther() {
        open();
        click(kReplace);
        QCOMPARE(boxes(), QString("11-1001000"));
        QCOMPARE(fields(), QString("dddeed"));
        click(kDeleteLines);
        QCOMPARE(boxes(), QString("11-1000010"));
        QCOMPARE(fields(), QString("dddedd"));
        click(kReplace);
        QCOMPARE(boxes(), QString("11-1001000"));
        QCOMPARE(fields(), QString("dddeed"));
        click(kReplace);
        QCOMPARE(boxes(), QString("11-1000000"));
        QCOMPARE(fields(), QString("dddddd"));
        type(kSearchText, "abc");
        QVERIFY(confirm());
        QCOMPARE(options.replaceOrDelete, 0);
        QCOMPARE(options.deleteMatchingLines, 0);
    }

    void emptyLineBoxesDisableEachOther() {
        open();
        click(kCollapseEmpty);
        QCOMPARE(boxes().left(4), QString("1100"));
        click(kDeleteEmpty);
        QCOMPARE(boxes().left(4), QString("111-"));
        click(kDeleteEmpty);
        QCOMPARE(boxes().left(4), QString("1100"));
        click(kCollapseEmpty);
        QCOMPARE(boxes().left(4), QString("11-1"));
    }

    void templateBoxFollowsItsFlag() {
        open();
        click(kTemplate);
        QCOMPARE(fields().left(3), QString("eee"));
        click(kTemplate);
        QCOMPARE(fields().left(3), QString("ddd"));
    }

    void conditionBoxFollowsItsFlag() {
        open();
        click(kConditional);
        QCOMPARE(fields().right(1), QString("e"));
        click(kConditional);
        QCOMPARE(fields().right(1), QString("d"));
    }

    void deleteLinesNeedsThreeBytesOfSearchText_data() {
        QTest::addColumn<QString>("search");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("ab") << "ab" << false;
        QTest::newRow("abc") << "abc" << true;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("one double-byte character") << "あ" << false;
        QTest::newRow("two double-byte characters") << "あい" << true;
        QTest::newRow("double-byte and ASCII") << "あa" << true;
        QTest::newRow("two half-width katakana") << "ｱｲ" << false;
    }

    void deleteLinesNeedsThreeBytesOfSearchText() {
        QFETCH(QString, search);
        QFETCH(bool, accepted);
        open();
        click(kDeleteLines);
        type(kSearchText, search);
        if (!accepted)
            prompter->expectMessage(text::kSearchTextTooShort);
        QCOMPARE(confirm(), accepted);
        if (accepted) {
            QCOMPARE(options.deleteMatchingLines, 1);
            QCOMPARE(Q(*cp932::ToUtf8(options.searchText)), search);
        } else {
            QVERIFY(dialog->isVisible());
            QCOMPARE(options.deleteMatchingLines, 0);
            QCOMPARE(options.searchText, std::string());
        }
    }

    void replaceAcceptsAnEmptySearchText() {
        open();
        click(kReplace);
        QVERIFY(confirm());
        QCOMPARE(options.replaceOrDelete, 1);
    }

    void storesTheTextsInCodePage932() {
        open();
        click(kReplace);
        click(kConditional);
        type(kSearchText, "全角　空白");
        type(kReplaceText, "%filename%");
        type(kConditionText, "ﾃｽﾄ");
        QVERIFY(confirm());
        QCOMPARE(options.searchText, std::string("\x91\x53\x8a\x70\x81\x40\x8b\xf3\x94\x92"));
        QCOMPARE(options.replaceText, std::string("%filename%"));
        QCOMPARE(options.conditionText, std::string("\xc3\xbd\xc4"));
    }

    void refusesACharacterOutsideCodePage932_data() {
        QTest::addColumn<int>("flag");
        QTest::addColumn<int>("box");
        QTest::addColumn<QString>("field");
        QTest::newRow("search text")
            << int(kReplace) << int(kSearchText) << Q(text::kSearchTextField);
        QTest::newRow("replacement")
            << int(kReplace) << int(kReplaceText) << Q(text::kReplaceTextField);
        QTest::newRow("condition")
            << int(kConditional) << int(kConditionText) << Q(text::kConditionTextField);
    }

    void refusesACharacterOutsideCodePage932() {
        QFETCH(int, flag);
        QFETCH(int, box);
        QFETCH(QString, field);
        open();
        click(flag);
        type(box, QString("abc") + QString::fromUcs4(U"\U0001F600"));
        prompter->expectMessage(FormatText(text::kNotCp932, field.toStdString()));
        QVERIFY(!confirm());
        QVERIFY(dialog->isVisible());
        QCOMPARE(dialog->focusWidget(), control<QWidget>(box));
        QCOMPARE(options.replaceOrDelete, 0);
        QCOMPARE(options.deleteConditionalBlocks, 0);
    }

    void boxesStopTypingAtTheirByteLimit_data() {
        QTest::addColumn<int>("flag");
        QTest::addColumn<int>("box");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("kept");
        const QString a127(127, 'a');
        QTest::newRow("search: 130 ASCII keep 128")
            << int(kReplace) << int(kSearchText) << QString(130, 'a') << QString(128, 'a');
        QTest::newRow("search: no half character at the end")
            << int(kReplace) << int(kSearchText) << a127 + "あ" << a127;
        QTest::newRow("replacement: 64 double-byte fit")
            << int(kReplace) << int(kReplaceText) << QString(70, QChar(0x3042))
            << QString(64, QChar(0x3042));
        QTest::newRow("condition: 80 bytes")
            << int(kConditional) << int(kConditionText) << QString(90, 'x') << QString(80, 'x');
        QTest::newRow("template: 256 bytes") << int(kTemplate) << int(kTemplatePath)
                                             << "/" + QString(300, 'p') << "/" + QString(255, 'p');
        QTest::newRow("template: UTF-8 bytes of a path")
            << int(kTemplate) << int(kTemplatePath) << QString(90, QChar(0x3042))
            << QString(85, QChar(0x3042));
        // Outside code page 932 a character counts 2 bytes, and a surrogate pair goes whole.
        QTest::newRow("search: an emoji counts 2 bytes")
            << int(kReplace) << int(kSearchText) << a127 + QString::fromUcs4(U"\U0001F600") << a127;
    }

    void boxesStopTypingAtTheirByteLimit() {
        QFETCH(int, flag);
        QFETCH(int, box);
        QFETCH(QString, typed);
        open();
        click(flag);
        type(box, typed);
        QTEST(control<QLineEdit>(box)->text(), "kept");
        QVERIFY(confirm()); // a text at its limit is not refused
    }

    // A text that came in longer than its box allows is cut at its end by the first edit.
    void firstEditCutsAnOverlongTextAtItsEnd() {
        options.replaceOrDelete = 1;
        options.searchText = std::string(130, 'a');
        open();
        auto* box = control<QLineEdit>(kSearchText);
        box->setCursorPosition(0);
        typeAtCursor(box, "b");
        QCOMPARE(box->text(), QString(128, 'a'));
    }

    void pasteStopsAtTheByteLimit() {
        open();
        click(kReplace);
        auto* box = control<QLineEdit>(kSearchText);
        typeAtCursor(box, QString(120, 'a'));
        box->setCursorPosition(60);
        box->insert("ｱいうえお"); // what a paste does: 1 + 2 * 4 bytes, room for 8
        QCOMPARE(box->text(), QString(60, 'a') + "ｱいうえ" + QString(60, 'a'));
        QCOMPARE(box->cursorPosition(), 64);
        QVERIFY(confirm());
        QCOMPARE(options.searchText.size(), size_t(127));
    }

    void cancelAfterBrowseLeavesTheTemplatePath() {
        options.insertHeaderTemplate = 1;
        desktop->expectPick(ScriptedDesktop::Kind::PickFile, "/elsewhere/head.txt");
        open();
        click(kBrowse);
        QCOMPARE(control<QLineEdit>(kTemplatePath)->text(), QString("/elsewhere/head.txt"));
        click(kCancel);
        QVERIFY(!dialog->isVisible());
        QCOMPARE(options.templatePath, kStartup + "/FileTitle.txt");
        QCOMPARE(desktop->calls().size(), size_t(1));
        const auto& call = desktop->calls()[0];
        QCOMPARE(call.target, kStartup);
        QCOMPARE(call.filters.size(), size_t(2));
        QCOMPARE(call.filters[0].description, std::string(text::kTextFilesFilter));
        QCOMPARE(call.filters[0].patterns, std::vector<std::string>{"*.txt"});
        QCOMPARE(call.filters[1].description, std::string(text::kAllFilesFilter));
    }

    void browsedPathIsStoredByteForByteOnConfirm() {
        options.insertHeaderTemplate = 1;
        const std::string chosen = "/tmp/\xff\xfe-not-utf8.txt";
        desktop->expectPick(ScriptedDesktop::Kind::PickFile, chosen);
        open();
        click(kBrowse);
        QVERIFY(confirm());
        QCOMPARE(options.templatePath, chosen);
    }

    void cancelledBrowseChangesNothing() {
        options.insertHeaderTemplate = 1;
        desktop->expectPick(ScriptedDesktop::Kind::PickFile, std::nullopt);
        open();
        click(kBrowse);
        QCOMPARE(control<QLineEdit>(kTemplatePath)->text(),
                 QString("/home/user/src/FileTitle.txt"));
    }

    void refusesABrowsedPathOverTheLimit() {
        options.insertHeaderTemplate = 1;
        desktop->expectPick(ScriptedDesktop::Kind::PickFile, "/" + std::string(300, 'p'));
        open();
        click(kBrowse);
        prompter->expectMessage("256 文字以内で入力してください。");
        QVERIFY(!confirm());
        QCOMPARE(options.templatePath, kStartup + "/FileTitle.txt");
    }

    void editOpensTheEditedPath() {
        options.insertHeaderTemplate = 1;
        desktop->expectOpen(ScriptedDesktop::Kind::OpenDocument, true);
        open();
        type(kTemplatePath, "/tmp/my head.txt");
        click(kEdit);
        QCOMPARE(desktop->calls().size(), size_t(1));
        QCOMPARE(desktop->calls()[0].target, std::string("/tmp/my head.txt"));
        QCOMPARE(options.templatePath, kStartup + "/FileTitle.txt");
    }

    void editReportsAnEditorThatCannotStart() {
        options.insertHeaderTemplate = 1;
        desktop->expectOpen(ScriptedDesktop::Kind::OpenDocument, false);
        prompter->expectMessage(text::kEditorFailed);
        open();
        click(kEdit);
        QVERIFY(dialog->isVisible());
    }

    void flagHoldingTwoOpensClearedAndIsStoredAsZero() {
        options.trimBlanks = 2;
        options.insertFunctionNames = 2;
        open();
        QVERIFY(!control<QCheckBox>(kTrimBlanks)->isChecked());
        QVERIFY(!control<QCheckBox>(kFunctionNames)->isChecked());
        QVERIFY(confirm());
        QCOMPARE(options.trimBlanks, 0);
        QCOMPARE(options.insertFunctionNames, 0);
    }

    void storesEachClickedFlagInItsOwnField_data() {
        QTest::addColumn<QList<int>>("clicks");
        QTest::addColumn<QString>("flags");
        QTest::newRow("trim") << QList<int>{kTrimBlanks} << "0101000000";
        QTest::newRow("full width") << QList<int>{kFullWidth} << "1001000000";
        QTest::newRow("collapse, then delete empty")
            << QList<int>{kCollapseEmpty, kDeleteEmpty} << "1110000000";
        QTest::newRow("definitions") << QList<int>{kDefinitions} << "1101100000";
        QTest::newRow("template") << QList<int>{kTemplate} << "1101010000";
        QTest::newRow("replace") << QList<int>{kReplace} << "1101001000";
        QTest::newRow("conditional") << QList<int>{kConditional} << "1101000100";
        QTest::newRow("delete lines") << QList<int>{kDeleteLines} << "1101000010";
        QTest::newRow("function names") << QList<int>{kFunctionNames} << "1101000001";
    }

    void storesEachClickedFlagInItsOwnField() {
        QFETCH(QList<int>, clicks);
        options.searchText = "abc";
        open();
        for (int id : clicks)
            click(id);
        QVERIFY(confirm());
        QTEST(stored(), "flags");
    }

    void textOfADisabledBoxIsStillStored() {
        open();
        click(kConditional);
        type(kConditionText, "DEBUG");
        click(kConditional);
        QVERIFY(!control<QLineEdit>(kConditionText)->isEnabled());
        QVERIFY(confirm());
        QCOMPARE(options.deleteConditionalBlocks, 0);
        QCOMPARE(options.conditionText, std::string("DEBUG"));
    }

    void confirmingWithoutChangeKeepsEveryField() {
        options.searchText = "\x87\x90"; // a code with a twin: must come back as it was
        options.replaceText = "%date%";
        options.conditionText = "WIN32";
        options.templatePath = "/t/\xff.txt";
        options.replaceOrDelete = 1;
        options.insertHeaderTemplate = 1;
        options.deleteConditionalBlocks = 1;
        options.commentMode = 2;
        const FormatOptions before = options;
        open();
        QVERIFY(confirm());
        QCOMPARE(options.searchText, before.searchText);
        QCOMPARE(options.replaceText, before.replaceText);
        QCOMPARE(options.conditionText, before.conditionText);
        QCOMPARE(options.templatePath, before.templatePath);
        QCOMPARE(options.commentMode, 2);
        QCOMPARE(options.replaceOrDelete, 1);
        QCOMPARE(options.collapseEmptyLines, 1);
    }

    void cancelAndEscLeaveTheOptionsUntouched_data() {
        QTest::addColumn<bool>("escape");
        QTest::newRow("cancel button") << false;
        QTest::newRow("Esc") << true;
    }

    void cancelAndEscLeaveTheOptionsUntouched() {
        QFETCH(bool, escape);
        open();
        click(kTrimBlanks);
        click(kReplace);
        type(kSearchText, "xyz");
        click(kBlockToLine);
        if (escape)
            QTest::keyClick(dialog.get(), Qt::Key_Escape);
        else
            click(kCancel);
        QVERIFY(!dialog->isVisible());
        QCOMPARE(options.trimBlanks, 1);
        QCOMPARE(options.replaceOrDelete, 0);
        QCOMPARE(options.searchText, std::string());
        QCOMPARE(options.commentMode, 0);
    }

    void fitsEveryCaptionIntoItsControl() {
        open();
        const QStringList problems = testing::LayoutProblems(*dialog);
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join('\n')));
    }
};

QTEST_MAIN(OptionsDialogTest)
#include "options_dialog_test.moc"
