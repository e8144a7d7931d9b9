// The load job's worker: runs the dispatch for one path on a thread of its own while the
// interface thread polls the progress, and hands the model over when the worker is done.
// Cancelling never waits for the worker: it sets the job's total to -1 and the worker's next read
// through the input layer unwinds its reader; the abandoned worker ends by itself.
#pragma once

#include <ctime>
#include <memory>
#include <string>

#include "load/dispatch.h"
#include "core/load_context.h"

namespace solvane {

// The path a load request takes: when it begins with a double quote, the characters up to the next
// double quote; otherwise the path as it is.
std::string StripSurroundingQuotes(const std::string& path);
// Whether the path names a scene file (its last three characters are "SVS" in either case).
bool IsScenePath(const std::string& path);

class LoadJob {
public:
    LoadJob() = default;
    ~LoadJob();
    LoadJob(const LoadJob&) = delete;
    LoadJob& operator=(const LoadJob&) = delete;

    // Starts loading the path (quotes stripped) on a worker thread and returns at once. A job
    // still running is cancelled first.
    void Start(const std::string& path);
    // Whether a started job has not been finished (taken) or cancelled yet.
    bool Running() const { return static_cast<bool>(shared_); }
    // 0..500; 500 once the worker is done (then Take gives the result).
    int Progress() const;
    // After Progress() returned 500: the model (null on failure) and the load's result code.
    std::unique_ptr<Model> Take(int32_t* resultCode);
    // After Take: where the scene part of the native scene file just loaded starts (-1: none).
    // The scene step reads it through ReadNativeScene, which clears it.
    int64_t& SceneOffset() { return sceneOffset_; }
    // Abandons the running job: the worker stops at its next read, its result is dropped.
    void Cancel();

    // Workers of this process still running, abandoned ones included.
    static int LiveWorkers();

    const std::string& Path() const { return path_; }
    bool SceneFlag() const { return scene_; }
    std::time_t StartTime() const { return startTime_; }

private:
    struct Shared {
        LoadContext ctx;
        LoadRequest request;
    };
    std::shared_ptr<Shared> shared_;
    std::string path_;
    bool scene_ = false;
    int64_t sceneOffset_ = -1;
    std::time_t startTime_ = 0;
};

}  // namespace solvane
