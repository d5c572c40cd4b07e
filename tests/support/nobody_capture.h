#pragma once

#include "platform/scripted_prompter.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace srctdy::testing {

// Runs body as uid and gid 65534 (see RunAsNobody) and returns the text it produced, so that
// a test can look at what happened behind permission bits that root would read through.
// Empty when the child could not drop its privileges or did not finish. The text travels
// through a pipe read after the child ends: keep it under 64 KiB.
std::optional<std::string> CaptureAsNobody(const std::function<std::string()>& body);

// The message boxes shown, one per line: icon (E, S, Q, I), buttons (O, Y), then the text with
// its line breaks written as "|". Comparable across a fork.
std::string DescribeCalls(const std::vector<ScriptedPrompter::Call>& calls);

// One expected line of DescribeCalls.
std::string Box(std::string_view text, PromptIcon icon = PromptIcon::Exclamation,
                PromptButtons buttons = PromptButtons::Ok);

} // namespace srctdy::testing
