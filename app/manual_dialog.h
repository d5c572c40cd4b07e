#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class ManualDialog;
}

namespace srctdy {

// The manual and version dialog: the program's name and version, a notice and the manual
// lines. It has no handlers of its own: OK, Esc and the close box close it.
class ManualDialog : public QDialog {
    Q_OBJECT

public:
    explicit ManualDialog(QWidget* parent = nullptr);
    ~ManualDialog() override;

protected:
    // The list ends on a whole line: its height is cut down to a number of rows.
    void showEvent(QShowEvent* event) override;

private:
    std::unique_ptr<Ui::ManualDialog> ui;
};

} // namespace srctdy
