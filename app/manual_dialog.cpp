#include "app/manual_dialog.h"

#include "app/dialog_units.h"
#include "ui_manual_dialog.h"

namespace srctdy {

namespace {

// In this order; an empty text is an empty line. The full-width spaces are part of the lines.
constexpr const char* kManualLines[] = {
    "",
    "「Tidrel」は、C,C++のｿｰｽﾌｧｲﾙを整形するﾌﾟﾛｸﾞﾗﾑです。",
    "",
    "【操作方法】",
    "・最初に変換対象ﾌｧｲﾙのﾌｫﾙﾀﾞ選択をおこなって下さい。",
    "・ﾘｽﾄﾎﾞｯｸｽにｿｰｽﾌｧｲﾙ名が表示されます。",
    "・ﾌｧｲﾙ種別を選択したい場合、ファイル種別で選択して下さい。",
    "・変換したいﾌｧｲﾙを選択して下さい。",
    "・全て変換したい場合は、[全てのﾌｧｲﾙ変換]をｸﾘｯｸして下さい。",
    "・変換条件指定をおこなって下さい。",
    "・コメント変換をおこなう場合、ｺﾝﾎﾞﾎﾞｯｸｽから選択して下さい。",
    "・インデント指定をおこなって下さい。",
    "・出力ファイル選択をして下さい。",
    "・サブフォルダへ出力の場合、フォルダ名を入力して下さい。",
    "・[変換開始]ﾎﾞﾀﾝをｸﾘｯｸすれば実行されます。",
    "",
    "【ボタン説明】",
    "[▼]：　ﾌｫﾙﾀﾞ選択ﾀﾞｲｱﾛｸﾞを表示してﾌｫﾙﾀﾞ選択します。",
    "[名前変更]：　ﾌｧｲﾙ名を変更します。",
    "[名前大文字]：ﾌｧｲﾙ名を大文字に変換します。",
    "[名前小文字]：ﾌｧｲﾙ名を小文字に変換します。",
    "[名前.c→.cpp]：　拡張子を.cから.cppへ変更します。",
    "[名前.cpp→.c]：　拡張子を.cppから.cへ変更します。",
    "[変換開始]：　指定の条件でｿｰｽﾌｧｲﾙを整形します。",
    "[変換条件詳細設定]：　変換条件の細かい設定をします。",
    "　　　　　　　　　　　内容は、cording.txtを参照して下さい。",
    "[説明書]：　ﾊﾞｰｼﾞｮﾝ情報と操作説明です。",
    "[Orvoﾎｰﾑﾍﾟｰｼﾞ]：　Orvo工房のﾎｰﾑﾍﾟｰｼﾞを関連づけにて表示します。",
    "[終了]：　ﾌﾟﾛｸﾞﾗﾑを終了します。",
    "",
    "【補足説明】",
    "・ｲﾝﾃﾞﾝﾄ指定とは、自動字下げ機能のことでﾌﾟﾛｸﾞﾗﾑを見やすくします。",
    "・ｺﾒﾝﾄ変換とは、/* ... */ から // や、その逆変換ができます。",
    "　これにより、ｺﾒﾝﾄ記述を統一できます。",
    "・出力ﾌｧｲﾙのデフォルトは、サブフォルダ出力です。",
};

} // namespace

ManualDialog::ManualDialog(QWidget* parent) : QDialog(parent), ui(new Ui::ManualDialog) {
    ui->setupUi(this);
    ApplyDialogUnits(*this);
    connect(ui->okButton, &QPushButton::clicked, this, &QDialog::accept);

    ui->manualList->clear();
    for (const char* line : kManualLines)
        ui->manualList->addItem(QString::fromUtf8(line));
    ui->okButton->setFocus();
}

ManualDialog::~ManualDialog() = default;

void ManualDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    QListWidget* list = ui->manualList;
    const int row = list->sizeHintForRow(0);
    const int shown = list->viewport()->height();
    if (row > 0 && shown % row != 0)
        list->resize(list->width(), list->height() - shown % row);
}

} // namespace srctdy
