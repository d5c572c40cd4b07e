#include "app/dialog_style.h"
#include "app/main_dialog.h"
#include "app/manual_dialog.h"
#include "engine/format_options.h"
#include "options/options_dialog.h"
#include "platform/scripted_desktop.h"
#include "platform/scripted_prompter.h"
#include "platform/string_table.h"
#include "tests/gui/gui_test_support.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

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

} // namespace

class MainDialogTest : public QObject {
    Q_OBJECT

private:
    QString startDirectory;
    std::unique_ptr<QTemporaryDir> startup; // where the program starts; holds SRCTDY.INI
    std::unique_ptr<QTemporaryDir> project; // the folder the user works on
    FormatOptions options;
    testing::FailureLog failures;
    std::unique_ptr<ScriptedPrompter> prompter;
    std::unique_ptr<ScriptedDesktop> desktop;
    std::unique_ptr<MainDialog> dialog;

    QString settingsPath() const { return startup->filePath("SRCTDY.INI"); }
    std::string projectPath() const { return project->path().toStdString(); }

    MainDialog& open() {
        const std::string folder = startup->path().toStdString();
        dialog = std::make_unique<MainDialog>(options, folder, settingsPath().toStdString(),
                                              *prompter, *desktop);
        dialog->show();
        return *dialog;
    }
    // Starts with SRCTDY.INI naming the project folder, which holds files.
    MainDialog& openProject(std::initializer_list<const char*> files) {
        for (const char* name : files)
            Write(project->filePath(name), kSource);
        Write(settingsPath(), project->path().toUtf8() + "\r\n");
        return open();
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
        QVERIFY(startup->isValid() && project->isValid());
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

    void startOverwritesWithTheChosenIndentation() {
        openProject({"a.c"});
        click(kOverwrite);
        auto* size = control<QComboBox>(kIndentSize);
        size->setFocus();
        QTest::keyClick(size, Qt::Key_Up); // "2"
        click(kSelectedOnly);
        QCOMPARE(selectedRow(), 0);
        prompter->expectMessage(text::kSelectedConverted);
        click(kStart);
        QCOMPARE(Read(project->filePath("a.c")),
                 QByteArray("int x;\r\n\r\n{\r\n  return;\r\n}\r\n"));
        QVERIFY(!QDir(project->filePath("NewFolder")).exists());
    }

    void startTellsWhatIsMissing_data() {
        QTest::addColumn<bool>("folder");
        QTest::addColumn<bool>("allFiles");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("icon");
        QTest::newRow("no folder") << false << false << Q(text::kNoFolder) << int(PromptIcon::Stop);
        QTest::newRow("no selection")
            << true << false << Q(text::kNoSelection) << int(PromptIcon::Exclamation);
        QTest::newRow("no files") << true << true << Q(text::kNoFiles)
                                  << int(PromptIcon::Exclamation);
    }

    void startTellsWhatIsMissing() {
        QFETCH(bool, folder);
        QFETCH(bool, allFiles);
        QFETCH(QString, message);
        QFETCH(int, icon);
        if (folder)
            openProject({"a.h"});
        else
            open();
        if (allFiles)
            click(kAllFiles);
        prompter->expectMessage(message.toStdString(), PromptIcon(icon));
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

    void fitsEveryCaptionIntoItsControl() {
        open();
        const QStringList problems = testing::LayoutProblems(*dialog);
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join('\n')));
    }

private:
    static QString Q(std::string_view text) {
        return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    }
};

QTEST_MAIN(MainDialogTest)
#include "main_dialog_test.moc"
