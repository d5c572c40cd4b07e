#include "platform/scripted_desktop.h"

namespace srctdy {

ScriptedDesktop::ScriptedDesktop(std::function<void(const std::string&)> onFailure)
    : onFailure_(std::move(onFailure)) {}

ScriptedDesktop& ScriptedDesktop::expectOpen(Kind kind, bool succeeds) {
    script_.push_back({kind, succeeds, std::nullopt});
    return *this;
}

ScriptedDesktop& ScriptedDesktop::expectPick(Kind kind, std::optional<std::string> choice) {
    script_.push_back({kind, choice.has_value(), std::move(choice)});
    return *this;
}

std::optional<ScriptedDesktop::Step> ScriptedDesktop::next(Kind kind) {
    if (script_.empty()) {
        onFailure_("unscripted desktop call");
        return std::nullopt;
    }
    Step step = script_.front();
    script_.pop_front();
    if (step.kind != kind) {
        onFailure_("desktop call of another kind than scripted");
        return std::nullopt;
    }
    return step;
}

bool ScriptedDesktop::openDocument(const std::string& path) {
    calls_.push_back({Kind::OpenDocument, path, {}, {}});
    auto step = next(Kind::OpenDocument);
    return step && step->succeeds;
}

bool ScriptedDesktop::openUrl(const std::string& url) {
    calls_.push_back({Kind::OpenUrl, url, {}, {}});
    auto step = next(Kind::OpenUrl);
    return step && step->succeeds;
}

std::optional<std::string> ScriptedDesktop::pickFolder(const std::string& startFolder,
                                                       const std::string& title) {
    calls_.push_back({Kind::PickFolder, startFolder, title, {}});
    auto step = next(Kind::PickFolder);
    return step ? step->choice : std::nullopt;
}

std::optional<std::string> ScriptedDesktop::pickFile(const std::string& startFolder,
                                                     const std::string& title,
                                                     const std::vector<FileFilter>& filters) {
    calls_.push_back({Kind::PickFile, startFolder, title, filters});
    auto step = next(Kind::PickFile);
    return step ? step->choice : std::nullopt;
}

} // namespace srctdy
