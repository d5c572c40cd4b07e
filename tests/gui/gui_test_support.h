#pragma once

#include <QString>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <string>
#include <vector>

namespace srctdy::testing {

// The control of dialog whose dynamic property controlId is id. A missing control stops the
// test program: every test of that dialog would be meaningless.
QWidget* ControlById(const QWidget& dialog, int id);

template <class W> W* Control(const QWidget& dialog, int id) {
    auto* control = qobject_cast<W*>(ControlById(dialog, id));
    if (control == nullptr)
        qFatal("control %d is not a %s", id, W::staticMetaObject.className());
    return control;
}

// Collects what the scripted doubles report; a test's cleanup verifies it stayed empty.
class FailureLog {
public:
    std::function<void(const std::string&)> handler() {
        return [this](const std::string& message) { messages_.push_back(message); };
    }
    bool empty() const { return messages_.empty(); }
    QString text() const;
    void clear() { messages_.clear(); }

private:
    std::vector<std::string> messages_;
};

// Runs action once on the next modal dialog that opens, from inside its own event loop, so a
// test can look at and close a dialog that a button runs modally. ran() tells whether it did.
class ModalWatcher {
public:
    explicit ModalWatcher(std::function<void(QWidget& modal)> action);
    bool ran() const { return ran_; }

private:
    std::function<void(QWidget&)> action_;
    QTimer timer_;
    int polls_ = 0;
    bool ran_ = false;
};

// The captions (labels, buttons, check boxes, radio buttons, group boxes) of dialog that do
// not fit into their controls, as "objectName: text" lines.
QStringList CutCaptions(const QWidget& dialog);

// The direct children of dialog that reach beyond its edges.
QStringList ControlsOutside(const QWidget& dialog);

// The pairs of controls (anything but labels, pictures and group boxes) that overlap.
QStringList OverlappingControls(const QWidget& dialog);

// Every layout problem of the three kinds above, one line each.
QStringList LayoutProblems(const QWidget& dialog);

} // namespace srctdy::testing
