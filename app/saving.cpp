#include "app/saving.h"

#include <QApplication>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <exception>
#include <thread>

#include "app/dialogs.h"

namespace solvane {
namespace {

// How often the bar follows the writer.
constexpr std::chrono::milliseconds kPollInterval{15};

int BarPosition(const SaveContext& ctx)
{
    const int64_t total = ctx.total.load(std::memory_order_relaxed);
    const int64_t done = ctx.done.load(std::memory_order_relaxed);
    if (total <= 0 || done <= 0) return 0;
    return static_cast<int>(std::min<int64_t>(done, total) * 500 / total);
}

}  // namespace

bool RunWriter(QWidget* parent, SaveContext& ctx, const std::function<bool(SaveContext&)>& write)
{
    bool written = false;
    RunSavingTask(parent, [&](SavingBox& box) {
        std::atomic<bool> finished{false};
        std::thread worker([&] {
            try {
                written = write(ctx);
            } catch (const std::exception& error) {
                std::string message = "The file could not be written: ";
                message += error.what();
                written = ctx.Fail(std::move(message));
            }
            finished.store(true, std::memory_order_release);
        });
        while (!finished.load(std::memory_order_acquire)) {
            box.SetProgress(BarPosition(ctx));
            QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
            std::this_thread::sleep_for(kPollInterval);
        }
        worker.join();
        box.SetProgress(500);
    });
    return written;
}

}  // namespace solvane
