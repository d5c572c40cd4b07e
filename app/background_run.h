#pragma once

#include "platform/prompter.h"

#include <QDialog>
#include <QPointer>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

class QLabel;
class QProgressBar;
class QPushButton;

namespace srctdy {

struct RunControl;

// The modal progress dialog of a run: file n of N, the current name and a Cancel button.
// Cancel, Esc and the close box all ask the run to stop; the dialog stays until it has.
class ProgressDialog : public QDialog {
    Q_OBJECT

public:
    explicit ProgressDialog(QWidget* parent);
    void showFile(size_t index, size_t count, const QString& name);
    QString labelText() const;
    QPushButton* cancelButton() const { return cancel_; }
    // Closes the dialog once the run has ended.
    void finish();

    void reject() override;

signals:
    void cancelRequested();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QLabel* label_;
    QProgressBar* bar_;
    QPushButton* cancel_;
    bool finished_ = false;
};

// Runs work on a worker thread while the interface thread goes on: the owner window repaints
// but takes no input, and a progress dialog comes up shortly after the start (a quick run
// shows none). Messages the work asks through the prompter it is given are shown by the
// interface thread, in the order asked, while the worker waits for the answer.
class BackgroundRun : public QObject {
    Q_OBJECT

public:
    BackgroundRun(QWidget& owner, Prompter& prompter);
    ~BackgroundRun() override;

    using Work = std::function<void(const RunControl& control, Prompter& prompter)>;
    // Returns when work has ended.
    void run(const Work& work);
    bool active() const { return active_; }
    // Stops the run after the current file; the progress dialog's button goes grey, however
    // the stop was asked for.
    void cancel();
    // The progress dialog while it is shown; null otherwise.
    ProgressDialog* progressDialog() const { return dialog_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    class InterfacePrompter;

    void update();

    QWidget& owner_;
    Prompter& prompter_;
    std::unique_ptr<InterfacePrompter> interfacePrompter_;
    QPointer<ProgressDialog> dialog_;
    std::atomic<bool> cancel_{false};
    bool active_ = false;

    // Written by the worker, read by the interface thread's timer.
    std::mutex mutex_;
    size_t index_ = 0;
    size_t count_ = 0;
    std::string name_;
    bool changed_ = false;
};

} // namespace srctdy
