// Opening a scene file in the window: the model is shown with the view the file was saved with;
// an unreadable scene part leaves the view as it was.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "formats/native.h"
#include "load/save.h"
#include "tests/gui/gui_support.h"
#include "tests/test_support.h"

namespace solvane {
namespace {

using test::Session;
using test::WaitUntil;

std::unique_ptr<Model> QuadModel()
{
    auto model = NewModel(1);
    model->subMeshes[0].vertices = {-1, -1, 0, 1, -1, 0, 1, 1, 0, -1, 1, 0};
    const uint32_t quad[4] = {0, 1, 2, 3};
    model->subMeshes[0].AppendFace(quad, 4);
    ComputeAllBounds(*model);
    return model;
}

SceneRecord SavedView()
{
    SceneRecord scene;
    scene.viewOffset = {0, 0, -0.75f};
    scene.pitch = 12;
    scene.yaw = 34;
    scene.modelRotation = Multiply(RotationMatrix(20, 0, 1, 0), IdentityMatrix());
    scene.background = {0.1f, 0.5f, 0.2f};
    scene.foreground = {0.9f, 0.6f, 0.3f};
    scene.depthCueFactor = 0.5f;
    scene.gamma = 1.2f;
    return scene;
}

TEST(SceneGui, ScenePathRestoresItsViewAfterTheModelIsShown)
{
    test::FreshStore store;
    test::ScratchDir dir;
    const std::string path = (dir.Path() / "desk.svs").string();
    const SceneRecord scene = SavedView();
    SaveContext save;
    ASSERT_TRUE(SaveModelFile(*QuadModel(), path, *FindWriter("svs"), save, &scene)) << save.error;

    Session s;
    ASSERT_TRUE(s.Load(path));
    const Viewer& viewer = s.window->View()->viewer();
    ASSERT_NE(viewer.CurrentModel(), nullptr);
    EXPECT_EQ(viewer.camera.viewOffset.z, -0.75f);
    EXPECT_EQ(viewer.camera.pitch, 12.0f);
    EXPECT_EQ(viewer.camera.yaw, 34.0f);
    EXPECT_EQ(viewer.camera.modelRotation, scene.modelRotation);
    EXPECT_EQ(s.settings.Background(), scene.background);
    EXPECT_EQ(s.settings.Foreground(), scene.foreground);
    EXPECT_EQ(s.settings.depth_cue_factor, 0.5f);
    EXPECT_EQ(s.settings.gamma_value, 1.2f);

    // The same file under an object file's name is only a model: the view is reset.
    const std::string objectPath = (dir.Path() / "desk.svo").string();
    std::filesystem::copy_file(path, objectPath);
    ASSERT_TRUE(s.Load(objectPath));
    EXPECT_EQ(viewer.camera.pitch, 0.0f);
    EXPECT_EQ(viewer.camera.viewOffset.z, 0.0f);
}

TEST(SceneGui, UnreadableScenePartLeavesTheViewAsItWas)
{
    test::FreshStore store;
    test::ScratchDir dir;
    const std::string path = (dir.Path() / "broken.svs").string();
    const SceneRecord scene = SavedView();
    SaveContext save;
    ASSERT_TRUE(SaveModelFile(*QuadModel(), path, *FindWriter("svs"), save, &scene)) << save.error;
    // Cut the file inside the scene part.
    std::filesystem::resize_file(path, std::filesystem::file_size(path) - 10);

    Session s;
    const std::array<float, 3> background = s.settings.Background();
    s.window->View()->viewer().camera.pitch = 7;
    ASSERT_TRUE(s.Load(path));
    const Viewer& viewer = s.window->View()->viewer();
    ASSERT_NE(viewer.CurrentModel(), nullptr);  // the model is shown
    EXPECT_EQ(viewer.camera.pitch, 7.0f);       // the view is not changed
    EXPECT_EQ(s.settings.Background(), background);
}

}  // namespace
}  // namespace solvane
