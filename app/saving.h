// Writing a file behind the "Saving File Status..." box: the writer runs on a thread of its own
// while the box's bar follows the writer's count of work done, and the outcome goes to whoever
// reports saves.
#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <string>

#include "core/model.h"
#include "core/writer_output.h"

class QWidget;

namespace solvane {

// A finished save or image export, as the usage report takes it.
struct SaveOutcome {
    enum class Kind { Model, Image };
    Kind kind = Kind::Model;
    bool success = false;
    std::string formatName;        // the written format's name as reports give it
    std::time_t start = 0;         // when the writing began
    const Model* model = nullptr;  // Model: the model written (valid during the call)
    int32_t width = 0;             // Image: the picture's size
    int32_t height = 0;
};
using SaveFinishedHook = std::function<void(const SaveOutcome&)>;

// Shows the saving box while write runs on a worker thread; the bar follows ctx.done out of
// ctx.total. Events other than user input are handled meanwhile (the view repaints, timers run).
// Returns what write returned; on failure ctx.error holds the writer's message.
bool RunWriter(QWidget* parent, SaveContext& ctx, const std::function<bool(SaveContext&)>& write);

}  // namespace solvane
