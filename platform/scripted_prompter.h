#pragma once

#include "platform/prompter.h"

#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace srctdy {

// Test double for Prompter: every call must have been scripted with expect(), in order.
// An unscripted or mismatching call is reported through the failure handler (tests route it to
// their framework); allUsed() tells whether the script was used up.
class ScriptedPrompter : public Prompter {
public:
    struct Call {
        std::string text;
        PromptIcon icon;
        PromptButtons buttons;
    };

    explicit ScriptedPrompter(std::function<void(const std::string&)> onFailure);

    // Scripts the next call: its text, icon and buttons must match; answer is returned.
    ScriptedPrompter& expect(std::string_view text, PromptIcon icon, PromptButtons buttons,
                             PromptAnswer answer);
    // Shorthand for an informing box with an OK button and the exclamation icon.
    ScriptedPrompter& expectMessage(std::string_view text,
                                    PromptIcon icon = PromptIcon::Exclamation);

    PromptAnswer ask(std::string_view text, PromptIcon icon, PromptButtons buttons) override;

    bool allUsed() const { return script_.empty(); }
    const std::vector<Call>& calls() const { return calls_; }

private:
    struct Step {
        Call call;
        PromptAnswer answer;
    };
    std::function<void(const std::string&)> onFailure_;
    std::deque<Step> script_;
    std::vector<Call> calls_;
};

// Prompter that records every message and answers each question with a fixed answer; for
// callers that must never stop to ask (the command line) and for tests that only look.
class RecordingPrompter : public Prompter {
public:
    explicit RecordingPrompter(PromptAnswer questionAnswer = PromptAnswer::No)
        : questionAnswer_(questionAnswer) {}
    PromptAnswer ask(std::string_view text, PromptIcon icon, PromptButtons buttons) override;
    const std::vector<ScriptedPrompter::Call>& calls() const { return calls_; }

private:
    PromptAnswer questionAnswer_;
    std::vector<ScriptedPrompter::Call> calls_;
};

} // namespace srctdy
