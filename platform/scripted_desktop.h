#pragma once

#include "platform/desktop.h"

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace srctdy {

// Test double for Desktop: records every call with its arguments and returns the answers
// scripted for it, in order. An unscripted call or a call of another kind than the next
// scripted one is reported through the failure handler.
class ScriptedDesktop : public Desktop {
public:
    enum class Kind { OpenDocument, OpenUrl, PickFolder, PickFile };

    struct Call {
        Kind kind;
        std::string target; // path or URL (open), start folder (pick)
        std::string title;  // pickers only
        std::vector<FileFilter> filters;
    };

    explicit ScriptedDesktop(std::function<void(const std::string&)> onFailure);

    // Scripts the result of the next open call.
    ScriptedDesktop& expectOpen(Kind kind, bool succeeds);
    // Scripts the result of the next picker call (empty: cancelled).
    ScriptedDesktop& expectPick(Kind kind, std::optional<std::string> choice);

    bool openDocument(const std::string& path) override;
    bool openUrl(const std::string& url) override;
    std::optional<std::string> pickFolder(const std::string& startFolder,
                                          const std::string& title) override;
    std::optional<std::string> pickFile(const std::string& startFolder, const std::string& title,
                                        const std::vector<FileFilter>& filters) override;

    bool allUsed() const { return script_.empty(); }
    const std::vector<Call>& calls() const { return calls_; }

private:
    struct Step {
        Kind kind;
        bool succeeds;
        std::optional<std::string> choice;
    };
    std::optional<Step> next(Kind kind);

    std::function<void(const std::string&)> onFailure_;
    std::deque<Step> script_;
    std::vector<Call> calls_;
};

} // namespace srctdy
