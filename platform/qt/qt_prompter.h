#pragma once

#include "platform/prompter.h"

#include <QPointer>

class QWidget;

namespace srctdy {

// Prompter over QMessageBox: captioned with the application's name, with the named icon and
// buttons. A box belongs to the dialog that is open on top (an options dialog over the main
// dialog), or to owner when no modal dialog is open.
class QtPrompter : public Prompter {
public:
    explicit QtPrompter(QWidget* owner = nullptr) : owner_(owner) {}

    void setOwner(QWidget* owner) { owner_ = owner; }

    PromptAnswer ask(std::string_view text, PromptIcon icon, PromptButtons buttons) override;

private:
    QPointer<QWidget> owner_;
};

} // namespace srctdy
