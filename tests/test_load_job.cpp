#include <gtest/gtest.h>

#include <chrono>
#include <thread>

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

}  // namespace
}  // namespace solvane
