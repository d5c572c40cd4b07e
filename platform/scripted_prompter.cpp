#include "platform/scripted_prompter.h"

namespace srctdy {

ScriptedPrompter::ScriptedPrompter(std::function<void(const std::string&)> onFailure)
    : onFailure_(std::move(onFailure)) {}

ScriptedPrompter& ScriptedPrompter::expect(std::string_view text, PromptIcon icon,
                                           PromptButtons buttons, PromptAnswer answer) {
    script_.push_back({{std::string(text), icon, buttons}, answer});
    return *this;
}

ScriptedPrompter& ScriptedPrompter::expectMessage(std::string_view text, PromptIcon icon) {
    return expect(text, icon, PromptButtons::Ok, PromptAnswer::Ok);
}

PromptAnswer ScriptedPrompter::ask(std::string_view text, PromptIcon icon, PromptButtons buttons) {
    calls_.push_back({std::string(text), icon, buttons});
    if (script_.empty()) {
        onFailure_("unscripted message box: " + std::string(text));
        return buttons == PromptButtons::Ok ? PromptAnswer::Ok : PromptAnswer::No;
    }
    Step step = script_.front();
    script_.pop_front();
    if (step.call.text != text || step.call.icon != icon || step.call.buttons != buttons)
        onFailure_("expected message box \"" + step.call.text + "\", got \"" + std::string(text) +
                   "\" (or its icon or buttons differ)");
    return step.answer;
}

PromptAnswer RecordingPrompter::ask(std::string_view text, PromptIcon icon, PromptButtons buttons) {
    calls_.push_back({std::string(text), icon, buttons});
    return buttons == PromptButtons::Ok ? PromptAnswer::Ok : questionAnswer_;
}

} // namespace srctdy
