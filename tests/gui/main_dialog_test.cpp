#include "app/background_run.h"
#include "app/dialog_style.h"
#include "app/main_dialog.h"
#include "app/manual_dialog.h"
#include "app/preview_dialog.h"
#include "batch/conversion_preview.h"
#include "engine/format_options.h"
#include "options/options_dialog.h"
#include "platform/scripted_desktop.h"
#include "platform/scripted_prompter.h"
#include "platform/string_table.h"
#include "tests/gui/gui_test_support.h"

#include <QAction>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QThread>
#include <QUrl>

#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <sys/stat.h>

using namespace srctdy;
using srctdy::testing::Control;

namespace {

enum Id {
    kExit = 1,
    kFolder = 1000,
    kStart = 1001,
    kBrowse = 1002,
    kFileList = 1003,
    kFileType = 1004,
    kIndentOff = 1005,
    kIndentOn = 1006,
    kSelectedOnly = 1007,
    kAllFiles = 1008,
    kSubFolderName = 1009,
    kOverwrite = 1010,
    kSubFolderOutput = 1011,
    kHomePage = 1012,
    kSubFolderLabel = 1013,
    kUpperCase = 1014,
    kLowerCase = 1015,
    kCToCpp = 1016,
    kCppToC = 1017,
    kIndentSize = 1018,
    kIndentSizeLabel = 1023,
    kOptions = 1024,
    kFolderDown = 1034,
    kFolderUp = 1035,
    kManual = 57670,
};

// Untidy enough that every converted file differs from its source.
const QByteArray kSource = "int x;   \n\n\n{\nreturn;\n}\n";
const QByteArray kConverted = "int x;\r\n\r\n{\r\n    return;\r\n}\r\n";

QByteArray Read(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
}

void Write(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QStringList Sorted(QStringList names) {
    names.sort();
    return names;
}

QString Q(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

mode_t ModeOf(const QString& path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 07777 : 0;
}

// Answers every message of a run. At the stopAt-th message that a header template is
// missing (one comes per file), it stops the run the way the row says, from the progress
// dialog that must be showing by then.
class StoppingPrompter : public Prompter {
public:
    int stopAt = 0;
    std::function<void()> stop;
    int templateMessages = 0;
    QStringList others;
    bool offInterfaceThread = false;

    PromptAnswer ask(std::string_view text, PromptIcon, PromptButtons) override {
        if (QThread::currentThread() != qApp->thread())
            offInterfaceThread = true;
        if (text == text::kTemplateMissing) {
            if (++templateMessages == stopAt)
                stop();
        } else {
            others << Q(text);
        }
        return PromptAnswer::Ok;
    }
};

// The captions of a dialog: its title, then every text of its labels (pictures aside),
// buttons, group boxes and drop-down items, sorted.
QStringList Captions(const QWidget& dialog) {
    QStringList texts;
    for (QWidget* widget : dialog.findChildren<QWidget*>()) {
        if (auto* label = qobject_cast<QLabel*>(widget); label && label->pixmap().isNull())
            texts << label->text();
        else if (auto* button = qobject_cast<QAbstractButton*>(widget))
            texts << button->text();
        else if (auto* group = qobject_cast<QGroupBox*>(widget))
            texts << group->title();
        else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
            for (int i = 0; i < combo->count(); ++i)
                texts << combo->itemText(i);
        }
    }
    texts.sort();
    return QStringList{dialog.windowTitle()} + texts;
}

} // namespace

class MainDialogTest : public QObject {
    Q_OBJECT

private:
    QString startDirectory;
    std::unique_ptr<QTemporaryDir> startup; // where the program starts; holds SRCTDY.INI
    std::unique_ptr<QTemporaryDir> project; // the folder the user works on
    std::unique_ptr<QTemporaryDir> state;   // $XDG_STATE_HOME, where undo keeps its files
    FormatOptions options;
    testing::FailureLog failures;
    std::unique_ptr<ScriptedPrompter> prompter;
    std::unique_ptr<ScriptedDesktop> desktop;
    std::unique_ptr<MainDialog> dialog;

    QString settingsPath() const { return startup->filePath("SRCTDY.INI"); }
    std::string projectPath() const { return project->path().toStdString(); }

    MainDialog& open(Prompter* messages = nullptr) {
        const std::string folder = startup->path().toStdString();
        dialog = std::make_unique<MainDialog>(options, folder, settingsPath().toStdString(),
                                              messages ? *messages : *prompter, *desktop);
        dialog->show();
        return *dialog;
    }
    // Starts with SRCTDY.INI naming the project folder, which holds files.
    MainDialog& openProject(std::initializer_list<const char*> files,
                            Prompter* messages = nullptr) {
        for (const char* name : files)
            Write(project->filePath(name), kSource);
        Write(settingsPath(), project->path().toUtf8() + "\r\n");
        return open(messages);
    }
    QAction* listAction(std::string_view text) {
        for (QAction* action : control<QListWidget>(kFileList)->actions()) {
            if (action->text() == Q(text))
                return action;
        }
        qFatal("the file list has no such menu item");
    }
    template <class W> W* control(int id) { return Control<W>(*dialog, id); }
    void click(int id) { QTest::mouseClick(control<QAbstractButton>(id), Qt::LeftButton); }
    QStringList listed() {
        QStringList names;
        auto* list = control<QListWidget>(kFileList);
        for (int i = 0; i < list->count(); ++i)
            names << list->item(i)->text();
        return names;
    }
    int selectedRow() {
        auto selected = control<QListWidget>(kFileList)->selectedItems();
        return selected.isEmpty() ? -1 : control<QListWidget>(kFileList)->row(selected.first());
    }
    void select(int row) {
        auto* list = control<QListWidget>(kFileList);
        QRect item = list->visualItemRect(list->item(row));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, item.center());
    }
    QStringList projectFiles(const QString& sub = {}) {
        QDir dir(project->filePath(sub));
        return Sorted(dir.entryList(QDir::Files));
    }
    // Enabled state of 1013 1009 1023 1018: "e" or "d" each.
    QString pairs() {
        QString states;
        for (int id : {kSubFolderLabel, kSubFolderName, kIndentSizeLabel, kIndentSize})
            states += control<QWidget>(id)->isEnabled() ? "e" : "d";
        return states;
    }

private slots:
    void initTestCase() {
        UseDialogStyle();
        startDirectory = QDir::currentPath();
    }

    void init() {
        startup = std::make_unique<QTemporaryDir>();
        project = std::make_unique<QTemporaryDir>();
        state = std::make_unique<QTemporaryDir>();
        QVERIFY(startup->isValid() && project->isValid() && state->isValid());
        qputenv("XDG_STATE_HOME", QFile::encodeName(state->path()));
        options = FormatOptions{};
        options.trimBlanks = 0;
        options.commentMode = 3;
        options.searchText = "left over";
        failures.clear();
        prompter = std::make_unique<ScriptedPrompter>(failures.handler());
        desktop = std::make_unique<ScriptedDesktop>(failures.handler());
    }

    void cleanup() {
        dialog.reset();
        QDir::setCurrent(startDirectory);
        QVERIFY2(failures.empty(), qPrintable(failures.text()));
        QVERIFY2(prompter->allUsed(), "a scripted message was not shown");
        QVERIFY2(desktop->allUsed(), "a scripted desktop call was not made");
    }

    void freshStartShowsEveryDefault() {
        open();
        QCOMPARE(control<QLineEdit>(kFolder)->text(), QString());
        QVERIFY(control<QLineEdit>(kFolder)->isReadOnly());
        QCOMPARE(listed(), QStringList());
        QCOMPARE(control<QComboBox>(kFileType)->currentText(), QString("*.c"));
        QCOMPARE(control<QComboBox>(kIndentSize)->currentText(), QString("4"));
        QVERIFY(control<QRadioButton>(kIndentOn)->isChecked());
        QVERIFY(control<QRadioButton>(kSelectedOnly)->isChecked());
        QVERIFY(control<QRadioButton>(kSubFolderOutput)->isChecked());
        QCOMPARE(control<QLineEdit>(kSubFolderName)->text(), QString("NewFolder"));
        for (QWidget* widget : dialog->findChildren<QWidget*>()) {
            if (widget->property("controlId").isValid())
                QVERIFY2(widget->isEnabled(), qPrintable(widget->objectName()));
        }
        QCOMPARE(dialog->focusWidget(), control<QWidget>(kExit));
        QVERIFY(control<QPushButton>(kExit)->isDefault());
    }

    void freshStartSetsTheConversionDefaults() {
        open();
        const FormatOptions expected = StartupFormatOptions(startup->path().toStdString());
        QCOMPARE(options.trimBlanks, 1);
        QCOMPARE(options.commentMode, 0);
        QCOMPARE(options.searchText, std::string());
        QCOMPARE(options.templatePath, expected.templatePath);
    }

    void enablingPairsFollowTheLastClick_data() {
        QTest::addColumn<QList<int>>("clicks");
        QTest::addColumn<QString>("states");
        QTest::newRow("indentation off") << QList<int>{kIndentOff} << "eedd";
        QTest::newRow("indentation off, then on") << QList<int>{kIndentOff, kIndentOn} << "eeee";
        QTest::newRow("overwrite") << QList<int>{kOverwrite} << "ddee";
        QTest::newRow("overwrite, then sub-folder")
            << QList<int>{kOverwrite, kSubFolderOutput} << "eeee";
        QTest::newRow("both off") << QList<int>{kOverwrite, kIndentOff} << "dddd";
        QTest::newRow("other radios change nothing")
            << QList<int>{kOverwrite, kAllFiles, kSelectedOnly} << "ddee";
    }

    void enablingPairsFollowTheLastClick() {
        QFETCH(QList<int>, clicks);
        open();
        auto* size = control<QComboBox>(kIndentSize);
        size->setFocus();
        QTest::keyClick(size, Qt::Key_Down); // "8"
        for (int id : clicks)
            click(id);
        QTEST(pairs(), "states");
        QCOMPARE(control<QLineEdit>(kSubFolderName)->text(), QString("NewFolder"));
        QCOMPARE(size->currentText(), QString("8"));
    }

    void loadsTheSettingsFileAtStart() {
        QDir(project->path()).mkdir("src.c");
        openProject({"b.c", "A.c", "c.cpp"});
        QCOMPARE(control<QLineEdit>(kFolder)->text(), project->path());
        QCOMPARE(listed(), (QStringList{"A.c", "b.c"}));
        QCOMPARE(selectedRow(), -1);
        QCOMPARE(QDir::currentPath(), QDir(project->path()).canonicalPath());
    }

    // Shift-JIS and UTF-8 names side by side are shown decoded; every file operation and the
    // settings file keep the bytes.
    void showsShiftJisAndUtf8NamesDecodedAndKeepsTheirBytes() {
        const QByteArray sjis = "\x83\x65\x83\x58\x83\x67"; // "テスト" in code page 932
        const QByteArray folder = QFile::encodeName(project->path()) + "/" + sjis;
        QVERIFY(::mkdir(folder.constData(), 0755) == 0);
        for (const QByteArray& name :
             {QByteArray("sjis_") + sjis + ".c", QByteArray("utf8_\xE3\x83\x86.c")}) {
            const QByteArray path = folder + "/" + name;
            FILE* file = std::fopen(path.constData(), "wb");
            QVERIFY(file);
            std::fwrite(kSource.constData(), 1, static_cast<size_t>(kSource.size()), file);
            std::fclose(file);
        }
        Write(settingsPath(), folder + "\r\n");
        open();
        QCOMPARE(control<QLineEdit>(kFolder)->text(), project->path() + "/テスト");
        QCOMPARE(listed(), (QStringList{"sjis_テスト.c", "utf8_テ.c"}));
        click(kAllFiles);
        prompter->expectMessage(text::kAllConverted);
        click(kStart);
        const QByteArray converted = folder + "/NewFolder/sjis_" + sjis + ".c";
        FILE* file = std::fopen(converted.constData(), "rb");
        QVERIFY(file);
        std::fclose(file);
        click(kExit);
        QCOMPARE(Read(settingsPath()), folder + "\r\n");
        std::filesystem::remove_all(folder.toStdString()); // a name Qt could not decode
    }

    void writesTheSettingsFileWhenClosed_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("result");
        QTest::newRow("終了 button") << "exit" << int(QDialog::Accepted);
        QTest::newRow("Enter") << "enter" << int(QDialog::Accepted);
        QTest::newRow("Esc") << "escape" << int(QDialog::Rejected);
        QTest::newRow("close box") << "close" << int(QDialog::Rejected);
    }

    void writesTheSettingsFileWhenClosed() {
        QFETCH(QString, how);
        desktop->expectPick(ScriptedDesktop::Kind::PickFolder, projectPath());
        open();
        click(kBrowse);
        QVERIFY(!QFile::exists(settingsPath()));
        if (how == "exit")
            click(kExit);
        else if (how == "enter")
            QTest::keyClick(control<QWidget>(kSubFolderName), Qt::Key_Return);
        else if (how == "escape")
            QTest::keyClick(dialog.get(), Qt::Key_Escape);
        else
            dialog->close();
        QVERIFY(!dialog->isVisible());
        QTEST(dialog->result(), "result");
        QCOMPARE(Read(settingsPath()), project->path().toUtf8() + "\r\n");
    }

    void freshStartWritesAnEmptyLine() {
        open();
        click(kExit);
        QCOMPARE(Read(settingsPath()), QByteArray("\r\n"));
    }

    void browseChoosesTheFolder() {
        Write(project->filePath("x.c"), kSource);
        desktop->expectPick(ScriptedDesktop::Kind::PickFolder, projectPath());
        open();
        click(kBrowse);
        QCOMPARE(desktop->calls().size(), size_t(1));
        QCOMPARE(desktop->calls()[0].target, std::string());
        QCOMPARE(desktop->calls()[0].title, std::string(text::kBrowseFolderTitle));
        QCOMPARE(control<QLineEdit>(kFolder)->text(), project->path());
        QCOMPARE(listed(), QStringList{"x.c"});
        QCOMPARE(QDir::currentPath(), QDir(project->path()).canonicalPath());
    }

    void startConvertsTheSelectedFileThenAll() {
        openProject({"a.c", "b.c"});
        select(1);
        prompter->expectMessage(text::kSelectedConverted);
        click(kStart);
        QCOMPARE(projectFiles("NewFolder"), QStringList{"b.c"});
        QCOMPARE(Read(project->filePath("NewFolder/b.c")), kConverted);
        QCOMPARE(Read(project->filePath("b.c")), kSource);

        click(kAllFiles);
        QCOMPARE(selectedRow(), -1);
        prompter->expectMessage(text::kAllConverted);
        click(kStart);
        QCOMPARE(projectFiles("NewFolder"), (QStringList{"a.c", "b.c"}));
        QCOMPARE(Read(project->filePath("NewFolder/a.c")), kConverted);
        QCOMPARE(listed(), (QStringList{"a.c", "b.c"}));
    }

    void startOverwritesWithTheChosenIndentation_data() {
        QTest::addColumn<bool>("off");
        QTest::addColumn<QByteArray>("converted");
        QTest::newRow("2") << false << QByteArray("int x;\r\n\r\n{\r\n  return;\r\n}\r\n");
        QTest::newRow("off") << true << QByteArray("int x;\r\n\r\n{\r\nreturn;\r\n}\r\n");
    }

    void startOverwritesWithTheChosenIndentation() {
        QFETCH(bool, off);
        openProject({"a.c"});
        click(kOverwrite);
        auto* size = control<QComboBox>(kIndentSize);
        size->setFocus();
        QTest::keyClick(size, Qt::Key_Up); // "2"
        if (off)
            click(kIndentOff);
        click(kSelectedOnly);
        QCOMPARE(selectedRow(), 0);
        prompter->expectMessage(text::kSelectedConverted);
        click(kStart);
        QTEST(Read(project->filePath("a.c")), "converted");
        QVERIFY(!QDir(project->filePath("NewFolder")).exists());
    }

    void startTellsWhatIsMissing_data() {
        QTest::addColumn<bool>("folder");
        QTest::addColumn<bool>("allFiles");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("icon");
        QTest::addColumn<bool>("preview");
        QTest::newRow("no folder")
            << false << false << Q(text::kNoFolder) << int(PromptIcon::Stop) << false;
        QTest::newRow("no selection")
            << true << false << Q(text::kNoSelection) << int(PromptIcon::Exclamation) << false;
        QTest::newRow("no files") << true << true << Q(text::kNoFiles)
                                  << int(PromptIcon::Exclamation) << false;
        QTest::newRow("preview, no folder")
            << false << false << Q(text::kNoFolder) << int(PromptIcon::Stop) << true;
        QTest::newRow("preview, no selection")
            << true << false << Q(text::kNoSelection) << int(PromptIcon::Exclamation) << true;
    }

    void startTellsWhatIsMissing() {
        QFETCH(bool, folder);
        QFETCH(bool, allFiles);
        QFETCH(QString, message);
        QFETCH(int, icon);
        QFETCH(bool, preview);
        if (folder)
            openProject({"a.h"});
        else
            open();
        if (allFiles)
            click(kAllFiles);
        prompter->expectMessage(message.toStdString(), PromptIcon(icon));
        if (preview)
            listAction(text::kPreviewItem)->trigger();
        else
            click(kStart);
        QVERIFY(!QDir(project->filePath("NewFolder")).exists());
    }

    void allTypesAskFirst() {
        openProject({"a.c", "notes.txt"});
        auto* type = control<QComboBox>(kFileType);
        type->setFocus();
        QTest::keyClick(type, Qt::Key_End); // "*.*"
        click(kAllFiles);
        prompter->expect(text::kAllFilesQuestion, PromptIcon::Question, PromptButtons::YesNo,
                         PromptAnswer::No);
        click(kStart);
        QVERIFY(!QDir(project->filePath("NewFolder")).exists());
    }

    void fileTypeChangeRefillsTheList() {
        openProject({"a.c", "b.h", "c.cpp", "d.H"});
        select(0);
        auto* type = control<QComboBox>(kFileType);
        type->setFocus();
        QTest::keyClick(type, Qt::Key_Down);
        QTest::keyClick(type, Qt::Key_Down);
        QCOMPARE(type->currentText(), QString("*.h"));
        QCOMPARE(listed(), (QStringList{"b.h", "d.H"}));
        QCOMPARE(selectedRow(), -1);
    }

    void targetRadiosSetTheSelection() {
        openProject({"b.c", "a.c"});
        click(kAllFiles);
        QCOMPARE(selectedRow(), -1);
        click(kSelectedOnly);
        QCOMPARE(selectedRow(), 0);
        QCOMPARE(listed().first(), QString("a.c"));
    }

    void caseButtonsRenameTheSelectedFile() {
        openProject({"main.c", "zed.c"});
        select(0);
        click(kUpperCase);
        QCOMPARE(projectFiles(), (QStringList{"MAIN.C", "zed.c"}));
        QCOMPARE(listed(), (QStringList{"MAIN.C", "zed.c"}));
        QCOMPARE(selectedRow(), 0);
        click(kLowerCase);
        QCOMPARE(projectFiles(), (QStringList{"main.c", "zed.c"}));
        QCOMPARE(selectedRow(), 0);
    }

    void extensionButtonsRenameAllFiles() {
        openProject({"a.c", "B.C", "keep.h"});
        click(kAllFiles);
        click(kCToCpp);
        QCOMPARE(projectFiles(), (QStringList{"B.cpp", "a.cpp", "keep.h"}));
        QCOMPARE(listed(), QStringList());
        auto* type = control<QComboBox>(kFileType);
        type->setFocus();
        QTest::keyClick(type, Qt::Key_Down); // "*.cpp"
        QCOMPARE(listed(), (QStringList{"a.cpp", "B.cpp"}));
        click(kCppToC);
        QCOMPARE(projectFiles(), (QStringList{"B.c", "a.c", "keep.h"}));
        QCOMPARE(selectedRow(), -1);
    }

    void renameWithoutFolderTellsSo() {
        open();
        prompter->expectMessage(text::kNoFolder, PromptIcon::Stop);
        click(kLowerCase);
    }

    void folderDownAndUp() {
        QDir(project->path()).mkdir("NewFolder");
        Write(project->filePath("NewFolder/inner.c"), kSource);
        openProject({"outer.c"});
        click(kFolderDown);
        const QString below = project->path() + "/NewFolder";
        QCOMPARE(control<QLineEdit>(kFolder)->text(), below);
        QCOMPARE(listed(), QStringList{"inner.c"});
        QCOMPARE(QDir::currentPath(), QDir(below).canonicalPath());
        click(kFolderUp);
        QCOMPARE(control<QLineEdit>(kFolder)->text(), project->path());
        QCOMPARE(listed(), QStringList{"outer.c"});
        QCOMPARE(QDir::currentPath(), QDir(project->path()).canonicalPath());
    }

    // The chosen folder's .srctdy.toml gives the starting options, read again at every change
    // of folder and never written; leaving it goes back to the start-up defaults.
    void folderConfigurationGivesTheStartingOptions() {
        QDir(project->path()).mkdir("NewFolder");
        const QByteArray config = "comments = \"line\"\nindent = \"off\"\ntrim = false\n";
        Write(project->filePath("NewFolder/.srctdy.toml"), config);
        openProject({"outer.c"});
        QCOMPARE(options.commentMode, 0);
        click(kFolderDown);
        QCOMPARE(options.commentMode, 1);
        QCOMPARE(options.trimBlanks, 0);
        QCOMPARE(options.fullWidthToHalfWidth, 1);
        QVERIFY(control<QRadioButton>(kIndentOff)->isChecked());
        QCOMPARE(pairs(), QString("eedd"));
        click(kFolderUp);
        QCOMPARE(options.commentMode, 0);
        QCOMPARE(options.trimBlanks, 1);
        QVERIFY(control<QRadioButton>(kIndentOn)->isChecked());
        QCOMPARE(pairs(), QString("eeee"));
        QCOMPARE(Read(project->filePath("NewFolder/.srctdy.toml")), config);

        Write(project->filePath("NewFolder/.srctdy.toml"), "comments = \"line\"\nindent = 3\n");
        prompter->expectMessage(std::string(text::kProjectConfigError) + "\n" + projectPath() +
                                "/NewFolder/.srctdy.toml:2: indent must be 2, 4, 8, tab or off");
        click(kFolderDown);
        QCOMPARE(options.commentMode, 0);

        Write(project->filePath("NewFolder/.srctdy.toml"), "indent = 8\n");
        click(kFolderUp);
        click(kFolderDown);
        QCOMPARE(control<QComboBox>(kIndentSize)->currentText(), QString("8"));
    }

    void folderDownIntoAMissingFolderChangesNothing() {
        openProject({"outer.c"});
        prompter->expectMessage(text::kNoSubFolder);
        click(kFolderDown);
        QCOMPARE(control<QLineEdit>(kFolder)->text(), project->path());
        QCOMPARE(listed(), QStringList{"outer.c"});
    }

    void folderDownFollowsTheTypedName() {
        QDir(project->path()).mkpath("out/deep");
        openProject({});
        auto* name = control<QLineEdit>(kSubFolderName);
        name->selectAll();
        QTest::keyClicks(name, "out/deep");
        click(kFolderDown);
        QCOMPARE(control<QLineEdit>(kFolder)->text(), project->path() + "/out/deep");
    }

    void subFolderNameStopsAt128Characters() {
        open();
        auto* name = control<QLineEdit>(kSubFolderName);
        name->selectAll();
        QTest::keyClicks(name, QString(130, 'n'));
        QCOMPARE(name->text(), QString(128, 'n'));
    }

    void doubleClickOpensTheFile() {
        openProject({"a.c"});
        desktop->expectOpen(ScriptedDesktop::Kind::OpenDocument, false);
        prompter->expectMessage(text::kEditorFailed);
        auto* list = control<QListWidget>(kFileList);
        QRect item = list->visualItemRect(list->item(0));
        // A real double-click starts with a click; QTest's sends the second half only.
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, item.center());
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, item.center());
        QCOMPARE(desktop->calls().size(), size_t(1));
        QCOMPARE(desktop->calls()[0].target, projectPath() + "/a.c");
    }

    void homePageFailureShowsNothing() {
        desktop->expectOpen(ScriptedDesktop::Kind::OpenUrl, false);
        open();
        click(kHomePage);
        QCOMPARE(desktop->calls().size(), size_t(1));
        QCOMPARE(desktop->calls()[0].target, std::string("https://orvo.example/"));
    }

    void manualOpensFromButtonAndContextMenu_data() {
        QTest::addColumn<bool>("menu");
        QTest::newRow("説明書 button") << false;
        QTest::newRow("context menu item") << true;
    }

    void manualOpensFromButtonAndContextMenu() {
        QFETCH(bool, menu);
        open();
        bool isManual = false;
        testing::ModalWatcher watcher([&](QWidget& modal) {
            isManual = qobject_cast<ManualDialog*>(&modal) != nullptr;
            static_cast<QDialog&>(modal).reject();
        });
        if (menu) {
            QCOMPARE(dialog->contextMenuPolicy(), Qt::ActionsContextMenu);
            QCOMPARE(dialog->actions().size(), 1);
            QAction* item = dialog->actions().first();
            QCOMPARE(item->text(), Q(text::kVersionMenuItem));
            item->trigger();
        } else {
            click(kManual);
        }
        QVERIFY(watcher.ran());
        QVERIFY(isManual);
    }

    void optionsButtonEditsTheConversionOptions() {
        open();
        testing::ModalWatcher watcher([](QWidget& modal) {
            QVERIFY(qobject_cast<OptionsDialog*>(&modal) != nullptr);
            QTest::mouseClick(Control<QAbstractButton>(modal, 1019), Qt::LeftButton);
            QTest::mouseClick(Control<QAbstractButton>(modal, 1), Qt::LeftButton);
        });
        click(kOptions);
        QVERIFY(watcher.ran());
        QCOMPARE(options.trimBlanks, 0);
    }

    void runStopsHalfWayLeavingEveryFileWholeOrUntouched_data() {
        QTest::addColumn<int>("files");
        QTest::addColumn<QString>("how");
        QTest::newRow("Esc, 3000 files") << 3000 << "escape";
        QTest::newRow("ｷｬﾝｾﾙ button") << 200 << "cancel";
        QTest::newRow("progress close box") << 200 << "close progress";
        QTest::newRow("main window closed") << 200 << "close window";
    }

    void runStopsHalfWayLeavingEveryFileWholeOrUntouched() {
        QFETCH(int, files);
        QFETCH(QString, how);
        const int stopAt = files / 2;
        auto name = [](int i) { return QString("f%1.c").arg(i, 4, 10, QChar('0')); };
        for (int i = 1; i <= files; ++i)
            Write(project->filePath(name(i)), kSource);
        StoppingPrompter messages;
        messages.stopAt = stopAt;
        QString progressText;
        messages.stop = [&] {
            ProgressDialog* progress = nullptr;
            QTRY_VERIFY((progress = dialog->backgroundRun().progressDialog()) != nullptr &&
                        progress->isVisible());
            QVERIFY(progress->isModal());
            QTRY_COMPARE(progress->labelText(),
                         QString("%1 / %2 ファイル\n%3").arg(stopAt).arg(files).arg(name(stopAt)));
            QCOMPARE(progress->findChild<QProgressBar*>()->maximum(), files);
            QCOMPARE(progress->findChild<QProgressBar*>()->value(), stopAt - 1);
            QCOMPARE(dialog->cursor().shape(), Qt::BusyCursor);
            click(kIndentOff); // the main window takes no input meanwhile
            QVERIFY(control<QRadioButton>(kIndentOn)->isChecked());
            Write(project->filePath("new.c"), kSource); // shown once the run is over
            if (how == "escape")
                QTest::keyClick(progress, Qt::Key_Escape);
            else if (how == "cancel")
                QTest::mouseClick(progress->cancelButton(), Qt::LeftButton);
            else if (how == "close progress")
                progress->close();
            else
                dialog->close();
            QVERIFY(progress->isVisible()); // until the file in hand is done
            QVERIFY(!progress->cancelButton()->isEnabled());
        };
        openProject({}, &messages);
        options.insertHeaderTemplate = 1; // a missing template: one message per file
        click(kOverwrite);
        click(kAllFiles);
        click(kStart);

        QCOMPARE(messages.templateMessages, stopAt);
        QCOMPARE(messages.others, QStringList{Q(text::kRunCancelled)});
        QVERIFY(!messages.offInterfaceThread);
        QCOMPARE(projectFiles().size(), files + 1);
        QCOMPARE(listed().size(), files + 1);
        for (int i = 1; i <= files; ++i)
            QCOMPARE(Read(project->filePath(name(i))), i <= stopAt ? kConverted : kSource);
        QCOMPARE(dialog->isVisible(), how != "close window");
        QCOMPARE(dialog->backgroundRun().progressDialog(), nullptr);
        QCOMPARE(dialog->cursor().shape(), Qt::ArrowCursor);
        if (how == "close window")
            return;
        click(kStart); // the stop was for that run only
        QCOMPARE(Read(project->filePath(name(files))), kConverted);
    }

    void previewEqualsTheCommandLineDiff_data() {
        QTest::addColumn<QByteArray>("source");
        QTest::addColumn<QString>("shownLine");
        QTest::newRow("code page 932")
            << QByteArray("int x;   \n// \x93\xfa\x96\x7b\x8c\xea\n{\nreturn;\n}\n")
            << "+/* 日本語 */";
        QTest::newRow("UTF-8") << QByteArray("int x;\r\n//  日本語\r\n") << "+/*  日本語 */";
    }

    void previewEqualsTheCommandLineDiff() {
        QFETCH(QByteArray, source);
        Write(project->filePath("a.c"), source);
        openProject({"b.c"});
        options.commentMode = 2; // "//..." to "/* ... */"
        select(0);
        std::string diff;
        QString shown, title;
        QColor added, removed, oldHeader, newHeader;
        int caret = -1;
        bool closedByButton = false;
        testing::ModalWatcher watcher([&](QWidget& modal) {
            auto* preview = qobject_cast<PreviewDialog*>(&modal);
            QVERIFY(preview != nullptr);
            diff = preview->diff();
            shown = preview->view()->toPlainText();
            QVERIFY(preview->view()->isReadOnly());
            title = preview->windowTitle();
            caret = preview->view()->textCursor().position();
            for (QTextBlock block = preview->view()->document()->begin(); block.isValid();
                 block = block.next()) {
                if (block.text().startsWith("+/*"))
                    added = block.blockFormat().background().color();
                if (block.text().startsWith("-//"))
                    removed = block.blockFormat().background().color();
                if (block.text().startsWith("---"))
                    oldHeader = block.blockFormat().background().color();
                if (block.text().startsWith("+++"))
                    newHeader = block.blockFormat().background().color();
            }
            QTest::mouseClick(preview->findChild<QDialogButtonBox*>()->buttons().first(),
                              Qt::LeftButton);
            closedByButton = !preview->isVisible();
            preview->reject();
        });
        auto* list = control<QListWidget>(kFileList);
        dialog->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(dialog.get()));
        list->setFocus();
        QTest::keyClick(list, Qt::Key_F3);
        QVERIFY(watcher.ran());

        QProcess cli;
        cli.setWorkingDirectory(project->path());
        cli.start(SRCTDY_CLI_PATH, {"--diff", "--comments=block", "a.c"});
        QVERIFY(cli.waitForFinished());
        QCOMPARE(cli.exitCode(), 1);
        QCOMPARE(QByteArray::fromStdString(diff), cli.readAllStandardOutput());
        QTEST(shown.split('\n').filter("日本語").last(), "shownLine");
        QVERIFY(added.isValid() && removed.isValid() && added != removed);
        QVERIFY(oldHeader.isValid() && oldHeader == newHeader && oldHeader != removed);
        QCOMPARE(shown + '\n', Q(DisplayText(diff)).remove('\r')); // one line a line, no CR
        QVERIFY(closedByButton);
        QCOMPARE(title, QString("変換結果のプレビュー - a.c"));
        QCOMPARE(caret, 0);                               // opens at the top
        QCOMPARE(Read(project->filePath("a.c")), source); // nothing written

        Write(project->filePath("b.c"), kConverted); // already tidy: nothing to show
        select(1);
        prompter->expectMessage(FormatText(text::kPreviewUnchanged, "b.c"),
                                PromptIcon::Information);
        listAction(text::kPreviewItem)->trigger();
    }

    void undoPutsBackTheLastOverwriteRun() {
        openProject({"a.c", "b.c", "c.c"});
        QVERIFY(QFile::setPermissions(project->filePath("b.c"),
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        const mode_t before[] = {ModeOf(project->filePath("a.c")),
                                 ModeOf(project->filePath("b.c"))};
        click(kOverwrite);
        click(kAllFiles);
        prompter->expectMessage(text::kAllConverted);
        click(kStart);
        QCOMPARE(Read(project->filePath("a.c")), kConverted);
        Write(project->filePath("c.c"), "edited since\n");

        prompter->expect(FormatText(text::kUndoQuestion, "3"), PromptIcon::Question,
                         PromptButtons::YesNo, PromptAnswer::Yes);
        prompter->expectMessage(
            FormatText(text::kUndoDone, "2") + "\n\n" +
                FormatText(text::kUndoChangedSince, project->filePath("c.c").toStdString()),
            PromptIcon::Exclamation);
        listAction(text::kUndoItem)->trigger();
        QCOMPARE(Read(project->filePath("a.c")), kSource);
        QCOMPARE(Read(project->filePath("b.c")), kSource);
        QCOMPARE(ModeOf(project->filePath("a.c")), before[0]);
        QCOMPARE(ModeOf(project->filePath("b.c")), before[1]);
        QCOMPARE(Read(project->filePath("c.c")), QByteArray("edited since\n"));
        QCOMPARE(projectFiles(), (QStringList{"a.c", "b.c", "c.c"}));

        prompter->expectMessage(text::kNothingToUndo);
        listAction(text::kUndoItem)->trigger();

        // With the saved copies gone (named by number) nothing can be put back.
        const std::string folder = projectPath() + "/";
        prompter->expectMessage(text::kAllConverted);
        click(kStart);
        for (QDirIterator it(state->path(), QDir::Files, QDirIterator::Subdirectories);
             it.hasNext();) {
            const QString path = it.next();
            if (it.fileName().front().isDigit())
                QVERIFY(QFile::remove(path));
        }
        prompter->expect(FormatText(text::kUndoQuestion, "3"), PromptIcon::Question,
                         PromptButtons::YesNo, PromptAnswer::Yes);
        prompter->expectMessage(
            FormatText(text::kUndoDone, "0") + "\n\n" +
                FormatText(text::kUndoFailed, folder + "a.c\n" + folder + "b.c\n" + folder + "c.c"),
            PromptIcon::Exclamation);
        listAction(text::kUndoItem)->trigger();
        QCOMPARE(Read(project->filePath("a.c")), kConverted);
    }

    void dropChoosesTheFolder_data() {
        QTest::addColumn<QString>("dropped");
        QTest::addColumn<int>("selected");
        QTest::newRow("folder") << "" << -1;
        QTest::newRow("file") << "b.c" << 1;
    }

    void dropChoosesTheFolder() {
        QFETCH(QString, dropped);
        for (const char* name : {"a.c", "b.c"})
            Write(project->filePath(name), kSource);
        open();
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(project->filePath(dropped))});
        const QPoint at = control<QWidget>(kFileList)->geometry().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(dialog.get(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(dialog.get(), &drop);
        QCOMPARE(control<QLineEdit>(kFolder)->text(), project->path());
        QCOMPARE(listed(), (QStringList{"a.c", "b.c"}));
        QTEST(selectedRow(), "selected");
        QCOMPARE(QDir::currentPath(), QDir(project->path()).canonicalPath());
    }

    void listFollowsTheDisk() {
        openProject({"a.c", "c.c"});
        select(1);
        Write(project->filePath("b.c"), kSource); // a touch from outside
        QTRY_COMPARE(listed(), (QStringList{"a.c", "b.c", "c.c"}));
        QCOMPARE(listed().at(selectedRow()), QString("c.c"));
        QVERIFY(QFile::rename(project->filePath("a.c"), project->filePath("z.c")));
        QTRY_COMPARE(listed(), (QStringList{"b.c", "c.c", "z.c"}));
        QCOMPARE(listed().at(selectedRow()), QString("c.c"));
    }

    void folderUpAndDownStartFromTheCurrentDirectory_data() {
        QTest::addColumn<int>("button");
        QTest::addColumn<QString>("folder");
        QTest::newRow("↑...") << int(kFolderUp) << "..";
        QTest::newRow("↓...") << int(kFolderDown) << "NewFolder";
    }

    void folderUpAndDownStartFromTheCurrentDirectory() {
        QFETCH(int, button);
        QFETCH(QString, folder);
        QDir(project->path()).mkdir("NewFolder");
        Write(project->filePath("NewFolder/in.c"), kSource);
        open();
        QDir::setCurrent(project->path());
        const QString expected = QDir::cleanPath(QDir::current().absoluteFilePath(folder));
        click(button);
        QCOMPARE(control<QLineEdit>(kFolder)->text(), expected);
        QCOMPARE(QDir::currentPath(), QDir(expected).canonicalPath());
    }

    void tabLandsOnTheCheckedButtonOfEachGroup() {
        open();
        dialog->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(dialog.get()));
        auto tabWalk = [this] {
            QStringList radios;
            control<QWidget>(kExit)->setFocus();
            for (int i = 0; i < 40; ++i) {
                QTest::keyClick(dialog->focusWidget(), Qt::Key_Tab);
                if (auto* radio = qobject_cast<QRadioButton*>(dialog->focusWidget()))
                    radios << radio->text();
            }
            radios.removeDuplicates();
            return Sorted(radios);
        };
        QCOMPARE(tabWalk(), Sorted({"ｲﾝﾃﾞﾝﾄする", "選択ﾌｧｲﾙのみ変換", "サブ・フォルダ出力"}));
        click(kOverwrite);
        click(kIndentOff);
        QCOMPARE(tabWalk(), Sorted({"ｲﾝﾃﾞﾝﾄしない", "選択ﾌｧｲﾙのみ変換", "上書き出力"}));
    }

    void captionsEqualTheControlTables_data() {
        QTest::addColumn<QString>("dialog");
        QTest::addColumn<QStringList>("captions");
        QTest::newRow("main dialog") << "main"
                                     << QStringList{"Orvo工房 - SRCTDY (Ver.1.2)",
                                                    "終了(&E)",
                                                    "説明書(&H)",
                                                    "変換条件設定",
                                                    "選択フォルダ：（最初に▼ボタンで選択してね！）",
                                                    "整形開始(&R)",
                                                    "▼",
                                                    "ファイル名選択：",
                                                    "ファイル種別：",
                                                    "*.c",
                                                    "*.cpp",
                                                    "*.h",
                                                    "*.*",
                                                    "ｲﾝﾃﾞﾝﾄ指定",
                                                    "ｲﾝﾃﾞﾝﾄしない",
                                                    "ｲﾝﾃﾞﾝﾄする",
                                                    "出力ﾌｧｲﾙ",
                                                    "選択ﾌｧｲﾙのみ変換",
                                                    "全てのﾌｧｲﾙ変換",
                                                    "ｻﾌﾞ・ﾌｫﾙﾀﾞ名：",
                                                    "変換対象ﾌｧｲﾙ",
                                                    "上書き出力",
                                                    "サブ・フォルダ出力",
                                                    "Orvoﾎｰﾑﾍﾟｰｼﾞ",
                                                    "名前大文字",
                                                    "名前小文字",
                                                    "名前.c→.cpp",
                                                    "名前.cpp→.c",
                                                    "2",
                                                    "4",
                                                    "8",
                                                    "<Tab>",
                                                    "ｲﾝﾃﾞﾝﾄｻｲｽﾞ：",
                                                    "変換条件詳細設定(&I)",
                                                    "↑...",
                                                    "↓..."};
        QTest::newRow("options dialog")
            << "options"
            << QStringList{"整形条件指定",
                           "設　定",
                           "ｷｬﾝｾﾙ",
                           "整形条件",
                           "１ラインの余分な空白を削除する",
                           "全角空白を半角空白へ変換する",
                           "改行のみの行を削除する",
                           "２行以上の改行を１改行にする",
                           "コメント変換条件",
                           "コメント変換しない",
                           "/* ... */  →　//...",
                           "//... →　/* ... */",
                           "挿入条件",
                           "定義コメントを挿入する　（最初の#include文の直前に挿入）",
                           "ファイルの先頭にファイル概要コメントひな形挿入する",
                           "ﾌｧｲﾙ名：",
                           "参照",
                           "編集",
                           "置き換え・削除条件",
                           "置き換え、または削除をおこなう　（削除時は、置き換え後文字列を未指定）",
                           "置き換え元文字列：",
                           "置き換え後文字列：",
                           "条件コンパイルの削除条件",
                           "条件コンパイル行の削除をおこなう　（#if 条件　～　#endif　間を削除）",
                           "条件：",
                           "※ %filename% を指定すると自分自身のﾌｧｲﾙ名に、\n"
                           "%date% を指定すると現在の日付に置き換える",
                           "1行80文字以上時ｺﾒﾝﾄ分割",
                           "行の先頭から置き換え元文字列と一致する行を削除する(3文字以上)",
                           "モジュールヘッダー雛形に関数名を自動挿入（[関数名]と[概要]間に挿入）"};
        QTest::newRow("manual dialog")
            << "manual"
            << QStringList{
                   "Tidrel説明書＆ﾊﾞｰｼﾞｮﾝ情報",
                   "Tidrel　 Version 1.2",
                   "Copyright (C) Orvo工房",
                   "OK",
                   "\n   \n   また、バグ報告・問い合わせ・要望等ありましたらReadme.txtのメイル\n"
                   "   先へメイルにてご連絡下さい。（雑誌等への掲載時も同様です。）",
                   "ﾌﾟﾛｸﾞﾗﾑ説明：",
                   ""};
    }

    void captionsEqualTheControlTables() {
        QFETCH(QString, dialog);
        QFETCH(QStringList, captions);
        std::unique_ptr<QWidget> shown;
        if (dialog == "main") {
            open();
            shown.reset(this->dialog.release());
        } else if (dialog == "options") {
            shown = std::make_unique<OptionsDialog>(options, "/", *prompter, *desktop);
        } else {
            shown = std::make_unique<ManualDialog>();
        }
        const QString title = captions.takeFirst();
        captions.sort();
        QCOMPARE(Captions(*shown), QStringList{title} + captions);
    }

    void fitsEveryCaptionIntoItsControl() {
        open();
        const QStringList problems = testing::LayoutProblems(*dialog);
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join('\n')));
    }
};

QTEST_MAIN(MainDialogTest)
#include "main_dialog_test.moc"
