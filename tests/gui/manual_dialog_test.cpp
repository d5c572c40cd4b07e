#include "app/dialog_style.h"
#include "app/manual_dialog.h"
#include "tests/gui/gui_test_support.h"

#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

using srctdy::ManualDialog;
using srctdy::testing::Control;

namespace {

constexpr int kOk = 1;
constexpr int kManualList = 1003;

QStringList Entries(const ManualDialog& dialog) {
    QStringList entries;
    auto* list = Control<QListWidget>(dialog, kManualList);
    for (int i = 0; i < list->count(); ++i)
        entries << list->item(i)->text();
    return entries;
}

} // namespace

class ManualDialogTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { srctdy::UseDialogStyle(); }

    void listsThe35ManualLinesInTheirOrder() {
        ManualDialog dialog;
        const QStringList entries = Entries(dialog);
        QCOMPARE(entries.size(), 35);
        QCOMPARE(entries.first(), QString());
        QCOMPARE(entries.last(), QString("・出力ﾌｧｲﾙのデフォルトは、サブフォルダ出力です。"));
        // Not sorted: the headings stay where they belong.
        QCOMPARE(entries[3], QString("【操作方法】"));
        QCOMPARE(entries[16], QString("【ボタン説明】"));
        QCOMPARE(entries[30], QString("【補足説明】"));
    }

    void keepsTheFullWidthSpacesOfTheLines() {
        ManualDialog dialog;
        const QStringList entries = Entries(dialog);
        QCOMPARE(entries[25], QString(11, QChar(0x3000)) + "内容は、cording.txtを参照して下さい。");
        QCOMPARE(entries[17], QString("[▼]：　ﾌｫﾙﾀﾞ選択ﾀﾞｲｱﾛｸﾞを表示してﾌｫﾙﾀﾞ選択します。"));
        QCOMPARE(entries[19], QString("[名前大文字]：ﾌｧｲﾙ名を大文字に変換します。"));
        QCOMPARE(entries[33], QString("　これにより、ｺﾒﾝﾄ記述を統一できます。"));
    }

    void showsTheSameListWhenOpenedAgain() {
        QStringList first;
        {
            ManualDialog dialog;
            dialog.show();
            first = Entries(dialog);
            dialog.accept();
        }
        ManualDialog again;
        again.show();
        QCOMPARE(Entries(again), first);
        QCOMPARE(Entries(again).size(), 35);
    }

    void showsTitleVersionAndNotice() {
        ManualDialog dialog;
        QCOMPARE(dialog.windowTitle(), QString("Tidrel説明書＆ﾊﾞｰｼﾞｮﾝ情報"));
        QStringList labels;
        for (QLabel* label : dialog.findChildren<QLabel*>())
            labels << label->text();
        QVERIFY(labels.contains(QString("Tidrel　 Version 1.2")));
        const QString notice =
            "\n   \n   また、バグ報告・問い合わせ・要望等ありましたらReadme.txtのメイル"
            "\n   先へメイルにてご連絡下さい。（雑誌等への掲載時も同様です。）";
        QVERIFY(labels.contains(notice));
    }

    void closes_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("result");
        QTest::newRow("OK button") << "ok" << int(QDialog::Accepted);
        QTest::newRow("Enter on the default button") << "enter" << int(QDialog::Accepted);
        QTest::newRow("Esc") << "escape" << int(QDialog::Rejected);
        QTest::newRow("close box") << "close" << int(QDialog::Rejected);
    }

    void closes() {
        QFETCH(QString, how);
        QFETCH(int, result);
        ManualDialog dialog;
        dialog.setResult(-1);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        if (how == "ok")
            QTest::mouseClick(Control<QPushButton>(dialog, kOk), Qt::LeftButton);
        else if (how == "enter")
            QTest::keyClick(&dialog, Qt::Key_Return);
        else if (how == "escape")
            QTest::keyClick(&dialog, Qt::Key_Escape);
        else
            dialog.close();
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), result);
    }

    void fitsEveryCaptionIntoItsControl() {
        ManualDialog dialog;
        const QStringList problems = srctdy::testing::LayoutProblems(dialog);
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join('\n')));
    }

    void listEndsOnAWholeLine() {
        ManualDialog dialog;
        dialog.show();
        auto* list = dialog.findChild<QListWidget*>();
        QVERIFY(list != nullptr);
        const int row = list->visualItemRect(list->item(0)).height();
        QVERIFY(row > 0);
        QCOMPARE(list->viewport()->height() % row, 0);
        QVERIFY(list->viewport()->height() / row >= 10);
    }
};

QTEST_MAIN(ManualDialogTest)
#include "manual_dialog_test.moc"
