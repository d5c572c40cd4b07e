#pragma once

#include <string_view>

namespace srctdy {

// The icon a message box shows.
enum class PromptIcon { Exclamation, Stop, Question, Information };

// The buttons a message box offers.
enum class PromptButtons { Ok, YesNo };

// The button the user pressed (Ok for a box that only informs).
enum class PromptAnswer { Ok, Yes, No };

// A modal message box: the only way the engine, the batch functions and the CLI talk to the
// user. Texts are UTF-8. The call returns when the user has answered.
class Prompter {
public:
    virtual ~Prompter() = default;
    virtual PromptAnswer ask(std::string_view text, PromptIcon icon, PromptButtons buttons) = 0;

    // An informing box with an OK button.
    void tell(std::string_view text, PromptIcon icon = PromptIcon::Exclamation) {
        ask(text, icon, PromptButtons::Ok);
    }
};

} // namespace srctdy
