#include "load/load_job.h"

#include <atomic>
#include <cctype>
#include <thread>

namespace solvane {
namespace {

std::atomic<int> liveWorkers{0};

}  // namespace

int LoadJob::LiveWorkers()
{
    return liveWorkers.load();
}

std::string StripSurroundingQuotes(const std::string& path)
{
    if (path.empty() || path[0] != '"') return path;
    const size_t close = path.find('"', 1);
    return path.substr(1, close == std::string::npos ? std::string::npos : close - 1);
}

bool IsScenePath(const std::string& path)
{
    if (path.size() < 3) return false;
    const char* tail = path.c_str() + path.size() - 3;
    return std::toupper(static_cast<unsigned char>(tail[0])) == 'S' &&
           std::toupper(static_cast<unsigned char>(tail[1])) == 'V' &&
           std::toupper(static_cast<unsigned char>(tail[2])) == 'S';
}

LoadJob::~LoadJob()
{
    Cancel();
}

void LoadJob::Start(const std::string& path)
{
    Cancel();
    path_ = StripSurroundingQuotes(path);
    scene_ = IsScenePath(path_);
    sceneOffset_ = -1;
    startTime_ = std::time(nullptr);
    // The worker keeps the shared state alive by itself, so an abandoned worker never touches
    // freed memory and a new job never shares counters with an old one.
    auto shared = std::make_shared<Shared>();
    shared->request.path = path_;
    ResetProgress(shared->ctx);
    shared_ = shared;
    ++liveWorkers;
    std::thread([shared]() mutable {
        LoadModelFile(shared->request, shared->ctx);
        shared.reset();
        --liveWorkers;
    }).detach();
}

int LoadJob::Progress() const
{
    if (!shared_) return 0;
    return ProgressOf(shared_->ctx);
}

std::unique_ptr<Model> LoadJob::Take(int32_t* resultCode)
{
    if (!shared_) return nullptr;
    if (shared_->ctx.done.load(std::memory_order_acquire) != -1) return nullptr;
    std::unique_ptr<Model> model = std::move(shared_->request.model);
    if (resultCode) *resultCode = shared_->ctx.result.load();
    sceneOffset_ = model ? shared_->ctx.sceneOffset.load() : -1;
    shared_.reset();
    return model;
}

void LoadJob::Cancel()
{
    if (!shared_) return;
    FinishProgress(shared_->ctx);
    shared_.reset();
}

}  // namespace solvane
