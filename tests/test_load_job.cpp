#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <random>
#include <thread>
#include <vector>

#include "load/load_job.h"
#include "tests/test_support.h"

namespace solvane {
namespace {

int WaitForCompletion(LoadJob& job)
{
    int progress = 0;
    for (int i = 0; i < 20000 && (progress = job.Progress()) != 500; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return progress;
}

void WaitForWorkers()
{
    for (int i = 0; i < 20000 && LoadJob::LiveWorkers() > 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_EQ(LoadJob::LiveWorkers(), 0);
}

TEST(LoadJob, QuotesAndSceneNames)
{
    EXPECT_EQ(StripSurroundingQuotes("\"/tmp/my model.obj\""), "/tmp/my model.obj");
    EXPECT_EQ(StripSurroundingQuotes("\"/tmp/a.obj\" trailing"), "/tmp/a.obj");
    EXPECT_EQ(StripSurroundingQuotes("\"unterminated"), "unterminated");
    EXPECT_EQ(StripSurroundingQuotes("/plain path.obj"), "/plain path.obj");
    EXPECT_TRUE(IsScenePath("room.svs"));
    EXPECT_TRUE(IsScenePath("ROOM.SvS"));
    EXPECT_FALSE(IsScenePath("room.svo"));
    EXPECT_FALSE(IsScenePath("vs"));
}

TEST(LoadJob, SuccessHandsOverTheModel)
{
    test::ScratchDir dir;
    const std::string path = dir.Write("my model.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n");
    LoadJob job;
    job.Start("\"" + path + "\"");
    EXPECT_TRUE(job.Running());
    EXPECT_EQ(job.Path(), path);
    ASSERT_EQ(WaitForCompletion(job), 500);
    int32_t code = 0;
    auto model = job.Take(&code);
    ASSERT_TRUE(model);
    EXPECT_EQ(code, 100);
    EXPECT_EQ(model->subMeshes[0].FaceCount(), 1);
    EXPECT_FALSE(job.Running());
    WaitForWorkers();
}

TEST(LoadJob, FailureGivesItsCode)
{
    test::ScratchDir dir;
    LoadJob job;
    job.Start((dir.Path() / "missing.obj").string());
    ASSERT_EQ(WaitForCompletion(job), 500);
    int32_t code = 0;
    EXPECT_FALSE(job.Take(&code));
    EXPECT_EQ(code, 102);
    WaitForWorkers();
}

TEST(LoadJob, UnreadableInputHandsOverItsReason)
{
    test::ScratchDir dir;
    std::filesystem::create_directory(dir.Path() / "models.obj");
    LoadJob job;
    job.Start((dir.Path() / "models.obj").string());
    ASSERT_EQ(WaitForCompletion(job), 500);
    int32_t code = 0;
    std::string reason;
    EXPECT_FALSE(job.Take(&code, &reason));
    EXPECT_EQ(code, 102);
    EXPECT_EQ(reason, "Is a directory");
    WaitForWorkers();
}

TEST(LoadJob, CancelAbandonsTheWorkerAndANewJobIsIndependent)
{
    test::ScratchDir dir;
    std::string text;
    for (int i = 0; i < 1500000; ++i) text += "v 1.25 2.5 3.75\n";
    const std::string big = dir.Write("big.obj", text);
    const std::string small = dir.Write("small.obj", "v 0 0 0\n");
    LoadJob job;
    for (int round = 0; round < 3; ++round) {
        job.Start(big);
        while (job.Progress() == 0) std::this_thread::yield();
        job.Cancel();
        EXPECT_FALSE(job.Running());
        EXPECT_FALSE(job.Take(nullptr));
        // A new job right after the cancel runs on counters of its own.
        job.Start(small);
        ASSERT_EQ(WaitForCompletion(job), 500);
        auto model = job.Take(nullptr);
        ASSERT_TRUE(model);
        EXPECT_EQ(model->subMeshes[0].VertexCount(), 1);
    }
    WaitForWorkers();
}

// Every model of the shared corpus (by extension), plus a large generated OBJ whose load takes long
// enough to be cancelled in the middle of a pass.
std::vector<std::string> ModelInputs(const test::ScratchDir& dir)
{
    std::vector<std::string> paths;
    for (const auto& file : test::CorpusFiles("models")) {
        if (FormatFromExtension(PathExtension(file.string())) != Format::Unknown) paths.push_back(file.string());
    }
    std::string text;
    for (int i = 0; i < 200000; ++i) text += "v 1.25 2.5 3.75\nvt 0.5 0.5\n";
    for (int i = 1; i + 2 <= 200000; i += 2) {
        text += "f " + std::to_string(i) + "/" + std::to_string(i) + " " + std::to_string(i + 1) + "/" +
                std::to_string(i + 1) + " " + std::to_string(i + 2) + "/" + std::to_string(i + 2) + "\n";
    }
    paths.push_back(dir.Write("large.obj", text));
    return paths;
}

// Cancels loads of every reader at seeded random moments while the interface side keeps polling,
// and starts the next load while the abandoned worker may still run: no model of a cancelled load
// is ever handed over, a finished one always is, and every worker ends by itself.
TEST(LoadJob, CancelAtRandomMomentsInEveryReader)
{
    test::ScratchDir dir;
    const std::vector<std::string> paths = ModelInputs(dir);
    std::mt19937 random(18);
    LoadJob job;
    int cancelled = 0, finished = 0;
    for (int round = 0; round < 2; ++round) {
        for (const std::string& path : paths) {
            job.Start(path);
            const auto waitUs = std::uniform_int_distribution<int>(0, 3000)(random);
            const auto until = std::chrono::steady_clock::now() + std::chrono::microseconds(waitUs);
            int progress = 0;
            while (std::chrono::steady_clock::now() < until && (progress = job.Progress()) != 500) {
                EXPECT_GE(progress, 0);
                EXPECT_LE(progress, 500);
            }
            if (progress == 500) {
                int32_t code = 0;
                const auto model = job.Take(&code);
                if (!model) {
                    EXPECT_NE(code, 100) << path;  // a load may also succeed with a code (a missing skin)
                }
                ++finished;
            } else {
                job.Cancel();
                EXPECT_FALSE(job.Running());
                EXPECT_FALSE(job.Take(nullptr));
                ++cancelled;
            }
        }
    }
    EXPECT_GT(cancelled, 0);
    WaitForWorkers();
    // The large file, left to finish, still loads in full after all of this.
    job.Start(paths.back());
    ASSERT_EQ(WaitForCompletion(job), 500);
    int32_t code = 0;
    const auto model = job.Take(&code);
    ASSERT_TRUE(model) << code;
    EXPECT_EQ(model->subMeshes[0].VertexCount(), 200000);
    WaitForWorkers();
    std::printf("%d loads cancelled, %d finished\n", cancelled, finished);
}

// Loads run side by side with contexts of their own (as solvane-cli info runs them) share no state:
// each gives what the same load gives alone.
TEST(LoadJob, ParallelDispatchesShareNothing)
{
    test::ScratchDir dir;
    const std::vector<std::string> paths = ModelInputs(dir);
    struct Outcome {
        int32_t code = 0;
        int64_t vertices = -1;
        int64_t faces = -1;
        int32_t textures = -1;
    };
    auto loadOne = [](const std::string& path) {
        test::LoadOutcome loaded = test::Load(path);
        Outcome outcome;
        outcome.code = loaded.code;
        if (loaded.model) {
            outcome.vertices = TotalVertices(*loaded.model);
            outcome.faces = TotalFaces(*loaded.model);
            outcome.textures = loaded.model->TextureCount();
        }
        return outcome;
    };
    std::vector<Outcome> alone;
    for (const std::string& path : paths) alone.push_back(loadOne(path));
    std::vector<Outcome> together(paths.size());
    std::atomic<size_t> next{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (size_t i = next++; i < paths.size(); i = next++) together[i] = loadOne(paths[i]);
        });
    }
    for (std::thread& thread : threads) thread.join();
    for (size_t i = 0; i < paths.size(); ++i) {
        EXPECT_EQ(together[i].code, alone[i].code) << paths[i];
        EXPECT_EQ(together[i].vertices, alone[i].vertices) << paths[i];
        EXPECT_EQ(together[i].faces, alone[i].faces) << paths[i];
        EXPECT_EQ(together[i].textures, alone[i].textures) << paths[i];
    }
}

}  // namespace
}  // namespace solvane
