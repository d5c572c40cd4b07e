#pragma once

#include "batch/run_control.h"

#include <atomic>
#include <cstddef>
#include <string>

namespace srctdy::testing {

// A run control that notes each file it is told of as "index/count name;" and asks for a stop
// while the file at stopAt is in hand.
struct StoppingControl {
    explicit StoppingControl(size_t stopAt) {
        control.cancel = &cancel;
        control.progress = [this, stopAt](size_t index, size_t count, const std::string& name) {
            seen += std::to_string(index) + "/" + std::to_string(count) + " " + name + ";";
            if (index == stopAt)
                cancel = true;
        };
    }
    StoppingControl(const StoppingControl&) = delete;
    StoppingControl& operator=(const StoppingControl&) = delete;

    std::atomic<bool> cancel{false};
    std::string seen;
    RunControl control;
};

} // namespace srctdy::testing
