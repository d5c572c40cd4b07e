#include "app/background_run.h"

#include "batch/run_control.h"
#include "platform/string_table.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>

namespace srctdy {

namespace {

// Long enough that a run over a few files shows no dialog, short enough to feel at once.
constexpr int kShowAfterMs = 300;
constexpr int kUpdateEveryMs = 50;

QString FromView(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

bool IsInput(QEvent::Type type) {
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Shortcut:
    case QEvent::ShortcutOverride:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
        return true;
    default:
        return false;
    }
}

} // namespace

ProgressDialog::ProgressDialog(QWidget* parent)
    : QDialog(parent), label_(new QLabel(this)), bar_(new QProgressBar(this)),
      cancel_(new QPushButton(FromView(text::kProgressCancel), this)) {
    setWindowTitle(FromView(text::kProgressTitle));
    setWindowModality(Qt::ApplicationModal);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    label_->setTextFormat(Qt::PlainText);
    label_->setMinimumWidth(label_->fontMetrics().averageCharWidth() * 48);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cancel_);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label_);
    layout->addWidget(bar_);
    layout->addLayout(buttons);
    connect(cancel_, &QPushButton::clicked, this, &ProgressDialog::reject);
}

void ProgressDialog::showFile(size_t index, size_t count, const QString& name) {
    const QString label =
        FromView(text::kProgressLabel).arg(qulonglong(index + 1)).arg(qulonglong(count)).arg(name);
    if (label_->text() != label)
        label_->setText(label);
    bar_->setRange(0, count > 0 ? static_cast<int>(count) : 1);
    bar_->setValue(static_cast<int>(index));
}

QString ProgressDialog::labelText() const {
    return label_->text();
}

void ProgressDialog::finish() {
    finished_ = true;
    QDialog::reject();
}

void ProgressDialog::reject() {
    if (finished_) {
        QDialog::reject();
        return;
    }
    cancel_->setEnabled(false);
    emit cancelRequested();
}

void ProgressDialog::closeEvent(QCloseEvent* event) {
    if (finished_) {
        QDialog::closeEvent(event);
        return;
    }
    event->ignore();
    reject();
}

void BackgroundRun::cancel() {
    cancel_ = true;
    if (dialog_)
        dialog_->cancelButton()->setEnabled(false);
}

// Hands each message box to the interface thread and waits there for the answer.
class BackgroundRun::InterfacePrompter : public Prompter {
public:
    InterfacePrompter(QObject& context, Prompter& inner) : context_(context), inner_(inner) {}

    PromptAnswer ask(std::string_view text, PromptIcon icon, PromptButtons buttons) override {
        PromptAnswer answer = PromptAnswer::No;
        auto askHere = [&] { answer = inner_.ask(text, icon, buttons); };
        if (QThread::currentThread() == context_.thread())
            askHere();
        else
            QMetaObject::invokeMethod(&context_, askHere, Qt::BlockingQueuedConnection);
        return answer;
    }

private:
    QObject& context_;
    Prompter& inner_;
};

BackgroundRun::BackgroundRun(QWidget& owner, Prompter& prompter)
    : owner_(owner), prompter_(prompter),
      interfacePrompter_(std::make_unique<InterfacePrompter>(*this, prompter)) {}

BackgroundRun::~BackgroundRun() = default;

void BackgroundRun::run(const Work& work) {
    cancel_ = false;
    changed_ = false;
    active_ = true;
    owner_.setCursor(Qt::BusyCursor);
    qApp->installEventFilter(this);

    RunControl control;
    control.cancel = &cancel_;
    control.progress = [this](size_t index, size_t count, const std::string& name) {
        std::lock_guard<std::mutex> lock(mutex_);
        index_ = index;
        count_ = count;
        name_ = name;
        changed_ = true;
    };

    QEventLoop loop;
    QThread* worker = QThread::create([&] { work(control, *interfacePrompter_); });
    connect(worker, &QThread::finished, &loop, &QEventLoop::quit);
    QTimer show;
    show.setSingleShot(true);
    connect(&show, &QTimer::timeout, this, [this, &show] {
        // Not over a message box: as the later modal window it would take the box's input.
        QWidget* modal = QApplication::activeModalWidget();
        if (modal != nullptr && modal != owner_.window()) {
            show.start(kUpdateEveryMs);
            return;
        }
        dialog_ = new ProgressDialog(&owner_);
        connect(dialog_, &ProgressDialog::cancelRequested, this, &BackgroundRun::cancel);
        changed_ = true;
        update();
        dialog_->show();
    });
    QTimer tick;
    connect(&tick, &QTimer::timeout, this, &BackgroundRun::update);
    show.start(kShowAfterMs);
    tick.start(kUpdateEveryMs);
    worker->start();
    loop.exec();
    worker->wait();
    delete worker;

    if (dialog_) {
        dialog_->finish();
        delete dialog_;
    }
    qApp->removeEventFilter(this);
    owner_.unsetCursor();
    active_ = false;
}

void BackgroundRun::update() {
    if (!dialog_)
        return;
    std::lock_guard<std::mutex> lock(mutex_);
    if (!changed_)
        return;
    changed_ = false;
    dialog_->showFile(index_, count_, QFile::decodeName(QByteArray::fromStdString(name_)));
}

bool BackgroundRun::eventFilter(QObject* watched, QEvent* event) {
    // The owner's controls take no input during the run; its repaints go on.
    if (IsInput(event->type()) && watched->isWidgetType() &&
        static_cast<QWidget*>(watched)->window() == &owner_) {
        event->ignore();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace srctdy
