#include "platform/qt/qt_desktop.h"
#include "platform/qt/qt_japanese.h"
#include "platform/qt/qt_prompter.h"
#include "platform/string_table.h"
#include "tests/gui/gui_test_support.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTranslator>

using namespace srctdy;

// The Qt side of the platform seams, driven through the real message boxes and file dialogs.
// Opening documents and web pages is left out: it would start programs on the test machine.
class QtPlatformTest : public QObject {
    Q_OBJECT

private slots:
    void promptShowsTheNamedIconAndButtons_data() {
        QTest::addColumn<int>("icon");
        QTest::addColumn<int>("buttons");
        QTest::addColumn<QString>("press");
        QTest::addColumn<int>("boxIcon");
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<int>("answer");
        const QString ok = "OK", yes = "はい(&Y)", no = "いいえ(&N)";
        QTest::newRow("exclamation")
            << int(PromptIcon::Exclamation) << int(PromptButtons::Ok) << ok
            << int(QMessageBox::Warning) << QStringList{ok} << int(PromptAnswer::Ok);
        QTest::newRow("stop") << int(PromptIcon::Stop) << int(PromptButtons::Ok) << ok
                              << int(QMessageBox::Critical) << QStringList{ok}
                              << int(PromptAnswer::Ok);
        QTest::newRow("question, yes")
            << int(PromptIcon::Question) << int(PromptButtons::YesNo) << yes
            << int(QMessageBox::Question) << QStringList{yes, no} << int(PromptAnswer::Yes);
        QTest::newRow("question, no")
            << int(PromptIcon::Question) << int(PromptButtons::YesNo) << no
            << int(QMessageBox::Question) << QStringList{yes, no} << int(PromptAnswer::No);
        // Esc and the close box do not answer a question; it stays until a button is pressed.
        QTest::newRow("question, Esc and close box, then yes")
            << int(PromptIcon::Question) << int(PromptButtons::YesNo) << "Esc " + yes
            << int(QMessageBox::Question) << QStringList{yes, no} << int(PromptAnswer::Yes);
    }

    void promptShowsTheNamedIconAndButtons() {
        QFETCH(int, icon);
        QFETCH(int, buttons);
        QFETCH(QString, press);
        QDialog owner;
        QtPrompter prompter(&owner);
        QString caption, text;
        int boxIcon = -1;
        QStringList shown;
        QWidget* parent = nullptr;
        testing::ModalWatcher watcher([&](QWidget& modal) {
            auto* box = qobject_cast<QMessageBox*>(&modal);
            QVERIFY(box != nullptr);
            caption = box->windowTitle();
            text = box->text();
            boxIcon = box->icon();
            parent = box->parentWidget();
            if (press.startsWith("Esc ")) {
                press = press.mid(4);
                QTest::keyClick(box, Qt::Key_Escape);
                box->close();
                QVERIFY(box->isVisible());
            }
            QAbstractButton* chosen = nullptr;
            for (QAbstractButton* button : box->buttons()) {
                shown << button->text();
                if (button->text() == press)
                    chosen = button;
            }
            QVERIFY(chosen != nullptr);
            chosen->click();
        });
        PromptAnswer answer =
            prompter.ask(text::kRenameFailedStop, PromptIcon(icon), PromptButtons(buttons));
        QVERIFY(watcher.ran());
        QCOMPARE(caption, QApplication::applicationName());
        QCOMPARE(text, QString::fromUtf8(text::kRenameFailedStop.data(),
                                         qsizetype(text::kRenameFailedStop.size())));
        QCOMPARE(parent, &owner);
        QTEST(boxIcon, "boxIcon");
        QFETCH(QStringList, texts);
        shown.sort();
        texts.sort();
        QCOMPARE(shown, texts);
        QTEST(int(answer), "answer");
    }

    void pickFileStartsInTheFolderWithTheFilters() {
        QTemporaryDir dir;
        QFile(dir.filePath("head.txt")).open(QIODevice::WriteOnly);
        QtDesktop desktop;
        QStringList filters;
        QString start;
        bool detailsHidden = false;
        testing::ModalWatcher watcher([&](QWidget& modal) {
            auto* dialog = qobject_cast<QFileDialog*>(&modal);
            QVERIFY(dialog != nullptr);
            filters = dialog->nameFilters();
            start = dialog->directory().path();
            detailsHidden = dialog->testOption(QFileDialog::HideNameFilterDetails);
            dialog->selectFile(dir.filePath("head.txt"));
            static_cast<QDialog*>(dialog)->accept(); // QFileDialog's own is protected
        });
        auto chosen = desktop.pickFile(dir.path().toStdString(), "開く",
                                       {{"ﾌｧｲﾙ(*.txt)", {"*.txt"}}, {"全てのﾌｧｲﾙ(*.*)", {"*"}}});
        QVERIFY(watcher.ran());
        QCOMPARE(filters, (QStringList{"ﾌｧｲﾙ(*.txt) (*.txt)", "全てのﾌｧｲﾙ(*.*) (*)"}));
        QVERIFY(detailsHidden);
        QCOMPARE(start, dir.path());
        QVERIFY(chosen.has_value());
        QCOMPARE(QString::fromStdString(*chosen), dir.filePath("head.txt"));
    }

    void cancelledPickersGiveNothing() {
        QTemporaryDir dir;
        QtDesktop desktop;
        testing::ModalWatcher fileWatcher(
            [](QWidget& modal) { static_cast<QDialog&>(modal).reject(); });
        QVERIFY(!desktop.pickFile(dir.path().toStdString(), "t", {{"all", {"*"}}}).has_value());
        QVERIFY(fileWatcher.ran());
        testing::ModalWatcher folderWatcher(
            [](QWidget& modal) { static_cast<QDialog&>(modal).reject(); });
        QVERIFY(!desktop.pickFolder(dir.path().toStdString(), "t").has_value());
        QVERIFY(folderWatcher.ran());
    }

    void pickFolderGivesTheChosenFolder() {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir("sub dir"));
        QtDesktop desktop;
        QString title;
        testing::ModalWatcher watcher([&](QWidget& modal) {
            auto* dialog = qobject_cast<QFileDialog*>(&modal);
            QVERIFY(dialog != nullptr);
            title = dialog->windowTitle();
            // Entering a folder and confirming chooses it.
            dialog->setDirectory(dir.filePath("sub dir"));
            static_cast<QDialog*>(dialog)->accept(); // QFileDialog's own is protected
        });
        auto chosen = desktop.pickFolder(dir.path().toStdString(), "ﾌｫﾙﾀﾞを選択して下さい");
        QVERIFY(watcher.ran());
        QCOMPARE(title, QString("ﾌｫﾙﾀﾞを選択して下さい"));
        QVERIFY(chosen.has_value());
        QCOMPARE(QString::fromStdString(*chosen), dir.filePath("sub dir"));
    }

    // The desktop program loads Qt's Japanese catalogue, so the standard folder dialog reads
    // like the rest of it.
    void folderDialogSpeaksJapanese() {
        QTranslator japanese;
        QVERIFY2(InstallQtJapanese(japanese), "qtbase_ja.qm missing: qt6-translations-l10n");
        QTemporaryDir dir;
        QtDesktop desktop;
        QStringList texts;
        testing::ModalWatcher watcher([&](QWidget& modal) {
            for (const char* name : {"lookInLabel", "fileNameLabel", "fileTypeLabel"}) {
                auto* label = modal.findChild<QLabel*>(name);
                texts << (label ? label->text() : QString("(no %1)").arg(name));
            }
            auto* buttons = modal.findChild<QDialogButtonBox*>();
            QPushButton* cancel = buttons ? buttons->button(QDialogButtonBox::Cancel) : nullptr;
            texts << (cancel ? cancel->text() : QString("(no Cancel)"));
            static_cast<QDialog&>(modal).reject();
        });
        desktop.pickFolder(dir.path().toStdString(), "t");
        QVERIFY(watcher.ran());
        // English without the catalogue: "Look in:", "Directory:", "Files of type:", "Cancel".
        QCOMPARE(texts,
                 QStringList({"アドレス:", "ディレクトリ:", "ファイルの種類:", "キャンセル"}));
    }
};

QTEST_MAIN(QtPlatformTest)
#include "qt_platform_test.moc"
