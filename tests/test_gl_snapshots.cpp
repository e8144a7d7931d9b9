// Snapshots and captures drawn headless: what a capture holds (no thumbnails, top row first, read
// through the gamma maps), the thumbnail's picture and placement, the 25-slot limit, the hit areas
// of a thumbnail, and that restoring a snapshot brings back every item it stores.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "core/mesh_ops.h"
#include "tests/gl_test_support.h"
#include "tests/test_support.h"
#include "viewer/capture.h"
#include "viewer/snapshots.h"

namespace solvane {
namespace {

using test::CubeModel;
using test::HeadlessView;

constexpr int kWidth = 200;
constexpr int kHeight = 150;

class GlSnapshots : public ::testing::Test {
protected:
    void SetUp() override
    {
        Settings settings = DefaultSettings();
        settings.gamma_value = 1.0f;
        settings.current_snapshot_size = 50;
        if (!view_.Create(kWidth, kHeight, settings)) GTEST_SKIP() << "no headless GL: " << view_.Error();
        view_.Show(CubeModel());
    }

    Viewer& viewer() { return view_.viewer(); }
    Settings& settings() { return view_.settings(); }
    std::vector<uint8_t> Captured()
    {
        const std::unique_ptr<Texture> image = CaptureView(viewer());
        EXPECT_TRUE(image);
        return image ? image->pixels : std::vector<uint8_t>();
    }

    HeadlessView view_;
};

// ---- Capture ------------------------------------------------------------------------------------

TEST_F(GlSnapshots, CaptureIsTheFrameTopRowFirstWithoutThumbnails)
{
    const std::vector<uint8_t> frame = view_.Frame();
    const std::unique_ptr<Texture> image = CaptureView(viewer());
    ASSERT_TRUE(image);
    EXPECT_EQ(image->width, kWidth);
    EXPECT_EQ(image->height, kHeight);
    EXPECT_EQ(image->pixels, frame);

    ASSERT_EQ(TakeSnapshot(viewer()), SnapshotOutcome::Taken);
    EXPECT_NE(view_.Frame(), frame) << "the thumbnail is drawn over the frame";
    EXPECT_EQ(Captured(), frame) << "a capture never holds thumbnails";
    EXPECT_FALSE(viewer().snapshots.suppressed);
}

TEST_F(GlSnapshots, CaptureIsReadThroughTheGammaMaps)
{
    // A plain green wash makes every pixel (0, 0.25, 0); gamma 2 reads it back as 0.5.
    settings().ef_color_r = 0;
    settings().ef_color_g = 0.25f;
    settings().ef_color_b = 0;
    settings().eye_filter_amount = 1;
    viewer().eyeFilter.washOn = true;
    settings().gamma_value = 2.0f;
    EXPECT_NEAR(view_.Frame()[1], 64, 1);
    const std::vector<uint8_t> captured = Captured();
    EXPECT_NEAR(captured[1], 128, 1);
    // The maps are off again: the next plain read is unmapped.
    EXPECT_NEAR(view_.Frame()[1], 64, 1);
}

TEST(CaptureRows, AlignmentFollowsTheImageFormat)
{
    EXPECT_EQ(CaptureRowAlignment(Format::Pcx), 1);
    EXPECT_EQ(CaptureRowAlignment(Format::Tga), 1);
    EXPECT_EQ(CaptureRowAlignment(Format::Ppm), 1);
    EXPECT_EQ(CaptureRowAlignment(Format::Jpeg), 1);
    EXPECT_EQ(CaptureRowAlignment(Format::Bmp), 4);
    EXPECT_EQ(CaptureRowAlignment(Format::Iff), 4);
}

TEST(CaptureRows, AlignedRowsArePaddedAndOrdered)
{
    Texture image;
    image.width = 3;  // 9 bytes a row
    image.height = 2;
    image.pixels = {1, 2, 3, 4, 5, 6, 7, 8, 9, 11, 12, 13, 14, 15, 16, 17, 18, 19};
    const std::vector<uint8_t> topDown = AlignedRows(image, 4, false);
    EXPECT_EQ(topDown, (std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 0, 0, 11, 12, 13, 14, 15, 16, 17, 18, 19, 0, 0, 0}));
    const std::vector<uint8_t> bottomUp = AlignedRows(image, 1, true);
    EXPECT_EQ(bottomUp, (std::vector<uint8_t>{11, 12, 13, 14, 15, 16, 17, 18, 19, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
}

// ---- Thumbnail picture and drawing ---------------------------------------------------------------

TEST_F(GlSnapshots, ThumbnailHasItsBlackEdgeAndTitleStrip)
{
    const int n = kThumbnailTexels;
    std::vector<uint8_t> white(static_cast<size_t>(300) * 4 * 200, 255);  // 300 wide, rows padded to 900
    const std::vector<uint8_t> thumb = MakeThumbnail(white.data(), 300, 200);
    ASSERT_EQ(thumb.size(), static_cast<size_t>(n) * n * 3);
    auto pixel = [&](int column, int rowFromBottom) { return &thumb[(static_cast<size_t>(rowFromBottom) * n + column) * 3]; };
    for (int column = 0; column < n; ++column) EXPECT_EQ(pixel(column, 0)[0], 0) << "bottom row, column " << column;
    for (int row = 0; row < n - kTitleStripRows; ++row) {
        EXPECT_EQ(pixel(0, row)[1], 0) << "first pixel of row " << row;
        EXPECT_EQ(pixel(n - 1, row)[1], 0) << "last pixel of row " << row;
    }
    EXPECT_EQ(pixel(n / 2, n / 2)[2], 255) << "the picture inside";
    const std::vector<uint8_t>& strip = TitleStrip();
    for (int row = 0; row < kTitleStripRows; ++row) {
        EXPECT_EQ(0, std::memcmp(pixel(0, n - 1 - row), &strip[static_cast<size_t>(row) * n * 3], static_cast<size_t>(n) * 3))
            << "strip row " << row;
    }
}

TEST(TitleStrip, ShowsItsButtonsInTheCorners)
{
    // The buttons are the strip's only white (glyph) pixels, each within 14 texels of its corner:
    // at every thumbnail size that is inside the button's hit area.
    const std::vector<uint8_t>& strip = TitleStrip();
    ASSERT_EQ(strip.size(), static_cast<size_t>(kThumbnailTexels) * kTitleStripRows * 3);
    int left = 0, right = 0;
    for (int row = 0; row < kTitleStripRows; ++row) {
        for (int column = 0; column < kThumbnailTexels; ++column) {
            const uint8_t* p = &strip[(static_cast<size_t>(row) * kThumbnailTexels + column) * 3];
            if (p[0] != 255 || p[1] != 255 || p[2] != 255) continue;
            if (column < 14) ++left;
            else if (column >= kThumbnailTexels - 14) ++right;
            else ADD_FAILURE() << "glyph pixel outside the corners at " << column << ", " << row;
        }
    }
    EXPECT_GT(left, 10);
    EXPECT_GT(right, 10);
}

TEST_F(GlSnapshots, ThumbnailsAreDrawnAtTheirPlaceAndSize)
{
    const std::vector<uint8_t> plain = view_.Frame();
    ASSERT_EQ(TakeSnapshot(viewer()), SnapshotOutcome::Taken);
    SceneSnapshot& snapshot = *viewer().snapshots.entries[0];
    snapshot.x = 60;
    snapshot.y = 10;
    // At the texture's own size every pixel shows one texel, unfiltered.
    const int edge = kThumbnailTexels;
    settings().current_snapshot_size = edge;
    const std::vector<uint8_t> drawn = view_.Frame();
    auto at = [&](const std::vector<uint8_t>& pixels, int x, int y) { return &pixels[(static_cast<size_t>(y) * kWidth + x) * 3]; };
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            if (x >= 60 && x < 60 + edge && y >= 10 && y < 10 + edge) continue;
            ASSERT_EQ(0, std::memcmp(at(drawn, x, y), at(plain, x, y), 3)) << "outside the thumbnail at " << x << ", " << y;
        }
    }
    // 85 % opaque: the frame shows through the black bottom row and the strip a little.
    const int bottom = 10 + edge - 1;
    for (int c = 0; c < 3; ++c) EXPECT_NEAR(at(drawn, 100, bottom)[c], 0.15 * at(plain, 100, bottom)[c], 1);
    const std::vector<uint8_t>& strip = TitleStrip();
    for (int row : {0, 5, 14}) {
        for (int column : {0, 7, 64, 120}) {
            const uint8_t* texel = &strip[(static_cast<size_t>(row) * kThumbnailTexels + column) * 3];
            for (int c = 0; c < 3; ++c) {
                EXPECT_NEAR(at(drawn, 60 + column, 10 + row)[c], 0.85 * texel[c] + 0.15 * at(plain, 60 + column, 10 + row)[c], 1)
                    << "strip row " << row << ", column " << column;
            }
        }
    }

    ClearAllSnapshots(viewer());
    EXPECT_EQ(viewer().snapshots.count, 0);
    EXPECT_EQ(view_.Frame(), plain);
}

// ---- Slots and placement -------------------------------------------------------------------------

TEST_F(GlSnapshots, TheTwentySixthIsRefusedAndTheOthersStay)
{
    std::set<std::pair<int, int>> cells;
    for (int i = 0; i < kMaxSnapshots; ++i) {
        int slot = -1;
        ASSERT_EQ(TakeSnapshot(viewer(), &slot), SnapshotOutcome::Taken) << i;
        EXPECT_EQ(slot, i);
    }
    EXPECT_EQ(viewer().snapshots.count, kMaxSnapshots);
    EXPECT_EQ(TakeSnapshot(viewer()), SnapshotOutcome::Full);
    EXPECT_EQ(viewer().snapshots.count, kMaxSnapshots);
    for (const auto& slot : viewer().snapshots.entries) {
        ASSERT_TRUE(slot);
        cells.insert({slot->x, slot->y});
    }
    // A 200 x 150 view has 4 x 3 cells of 50: the twelve fill first, later ones go to (0, 0).
    EXPECT_EQ(cells.size(), 12u);

    DeleteSnapshot(viewer(), 7);
    EXPECT_EQ(viewer().snapshots.count, kMaxSnapshots - 1);
    int slot = -1;
    EXPECT_EQ(TakeSnapshot(viewer(), &slot), SnapshotOutcome::Taken);
    EXPECT_EQ(slot, 7);
}

TEST(SnapshotPlacement, ColumnsFillTopToBottomAndFreedCellsAreReused)
{
    SnapshotSet set;
    const int edge = 50;
    // 160 x 120: x in {0, 50, 100}, y in {0, 50, 100} (each below the size less 10).
    const std::vector<std::pair<int, int>> expected = {{0, 0},   {0, 50},  {0, 100},  {50, 0},  {50, 50},
                                                       {50, 100}, {100, 0}, {100, 50}, {100, 100}};
    for (size_t i = 0; i < expected.size(); ++i) {
        auto snapshot = std::make_unique<SceneSnapshot>();
        PlaceThumbnail(set, edge, 160, 120, snapshot->x, snapshot->y);
        EXPECT_EQ(std::make_pair(snapshot->x, snapshot->y), expected[i]) << i;
        set.entries[i] = std::move(snapshot);
    }
    int32_t x = -1, y = -1;
    PlaceThumbnail(set, edge, 160, 120, x, y);
    EXPECT_EQ(std::make_pair(x, y), std::make_pair(0, 0)) << "every cell taken";
    set.entries[4].reset();
    PlaceThumbnail(set, edge, 160, 120, x, y);
    EXPECT_EQ(std::make_pair(x, y), std::make_pair(50, 50));
    // A thumbnail dragged off its cell frees the cell.
    set.entries[0]->x = 13;
    PlaceThumbnail(set, edge, 160, 120, x, y);
    EXPECT_EQ(std::make_pair(x, y), std::make_pair(0, 0));
}

// ---- Hit areas -------------------------------------------------------------------------------------

TEST(SnapshotHitTest, CornersRestoreAndDeleteTheRestDrags)
{
    SnapshotSet set;
    set.entries[2] = std::make_unique<SceneSnapshot>();
    set.entries[2]->x = 40;
    set.entries[2]->y = 30;
    const int s = 150, b = 17;
    struct Case {
        int u, v;
        ThumbnailPart part;
    };
    const Case cases[] = {
        {40, 30, ThumbnailPart::RestoreButton},          // top-left corner
        {40 + b, 30 + b - 1, ThumbnailPart::RestoreButton},
        {40 + b + 1, 30, ThumbnailPart::Body},          // just right of the restore button
        {40, 30 + b, ThumbnailPart::Body},              // just under it
        {40 + s - b - 5, 30, ThumbnailPart::DeleteButton},
        {40 + s - 4, 30 + b - 1, ThumbnailPart::DeleteButton},
        {40 + s - b - 6, 30, ThumbnailPart::Body},
        {40 + s - 4, 30 + b, ThumbnailPart::Body},
        {40 + s - 3, 30, ThumbnailPart::None},          // the right edge's last pixels
        {40 + s - 4, 30 + s, ThumbnailPart::Body},      // bottom-right corner
        {40, 30 + s + 1, ThumbnailPart::None},
        {39, 60, ThumbnailPart::None},
        {100, 29, ThumbnailPart::None},
    };
    for (const Case& c : cases) {
        const ThumbnailHit hit = SnapshotHitTest(set, s, b, c.u, c.v);
        EXPECT_EQ(hit.part, c.part) << "at " << c.u << ", " << c.v;
        EXPECT_EQ(hit.slot, c.part == ThumbnailPart::None ? -1 : 2);
    }
    const ThumbnailHit body = SnapshotHitTest(set, s, b, 100, 90);
    EXPECT_EQ(body.grabX, 60);
    EXPECT_EQ(body.grabY, 60);
}

TEST(SnapshotHitTest, ButtonAreasFollowEverySize)
{
    for (const SnapshotSize& size : kSnapshotSizes) {
        EXPECT_EQ(SnapshotButtonForEdge(size.edge), size.button);
        SnapshotSet set;
        set.entries[0] = std::make_unique<SceneSnapshot>();
        const int s = size.edge, b = size.button;
        EXPECT_EQ(SnapshotHitTest(set, s, b, b, b - 1).part, ThumbnailPart::RestoreButton) << s;
        EXPECT_EQ(SnapshotHitTest(set, s, b, b + 1, 0).part, ThumbnailPart::Body) << s;
        EXPECT_EQ(SnapshotHitTest(set, s, b, s - b - 5, 0).part, ThumbnailPart::DeleteButton) << s;
        EXPECT_EQ(SnapshotHitTest(set, s, b, s / 2, b).part, ThumbnailPart::Body) << s;
        EXPECT_EQ(SnapshotHitTest(set, s, b, s / 2, s + 1).part, ThumbnailPart::None) << s;
    }
    EXPECT_EQ(SnapshotButtonForEdge(175), kDefaultSnapshotButton);
    Settings settings;
    settings.current_snapshot_size = 250;
    EXPECT_EQ(SnapshotButtonSize(settings), 30);
    settings.snapshotMargin = 6;
    EXPECT_EQ(SnapshotButtonSize(settings), 6);
}

TEST(SnapshotHitTest, LowestSlotWinsAndDragFollowsTheGrab)
{
    SnapshotSet set;
    for (int slot : {5, 1}) {
        set.entries[slot] = std::make_unique<SceneSnapshot>();
        set.entries[slot]->x = slot * 10;
        set.entries[slot]->y = 0;
    }
    const ThumbnailHit hit = SnapshotHitTest(set, 100, 10, 70, 50);
    EXPECT_EQ(hit.slot, 1);
    EXPECT_FALSE(DragThumbnail(set, 0, 0)) << "nothing dragged yet";
    set.dragged = hit.slot;
    set.grabX = hit.grabX;
    set.grabY = hit.grabY;
    EXPECT_TRUE(DragThumbnail(set, 170, 80));
    EXPECT_EQ(set.entries[1]->x, 110);
    EXPECT_EQ(set.entries[1]->y, 30);
}

// ---- Restoring -------------------------------------------------------------------------------------

// A small PPM written to a scratch folder.
std::string WritePpm(const test::ScratchDir& dir, const std::string& name, std::array<uint8_t, 3> colour)
{
    std::string bytes = "P6\n4 4\n255\n";
    for (int i = 0; i < 16; ++i) bytes.append(reinterpret_cast<const char*>(colour.data()), 3);
    return dir.Write(name, bytes);
}

// One item a snapshot stores: how to change it and how to read it.
struct StoredItem {
    const char* name;
    std::function<void(Viewer&, Settings&, Model&)> change;
    std::function<std::vector<float>(const Viewer&, const Settings&, const Model&)> read;
};

// Equal within float rounding (a rescale there and back may not be exact).
::testing::AssertionResult Near(const std::vector<float>& actual, const std::vector<float>& expected)
{
    if (actual.size() != expected.size()) {
        return ::testing::AssertionFailure() << actual.size() << " values, expected " << expected.size();
    }
    for (size_t i = 0; i < actual.size(); ++i) {
        if (std::abs(actual[i] - expected[i]) > 1e-5f * std::max(1.0f, std::abs(expected[i]))) {
            return ::testing::AssertionFailure() << "value " << i << " is " << actual[i] << ", expected " << expected[i];
        }
    }
    return ::testing::AssertionSuccess();
}

std::vector<float> Floats(std::initializer_list<float> values)
{
    return values;
}
std::vector<float> Floats(const std::array<float, 3>& a)
{
    return {a[0], a[1], a[2]};
}
std::vector<float> Floats(const Vec3& v)
{
    return {v.x, v.y, v.z};
}

TEST_F(GlSnapshots, RestoreBringsBackEveryStoredItem)
{
    test::ScratchDir dir;
    const std::string red = WritePpm(dir, "red.ppm", {255, 0, 0});
    const std::string blue = WritePpm(dir, "blue.ppm", {0, 0, 255});
    const std::vector<StoredItem> items = {
        {"step axis", [](Viewer& v, Settings&, Model&) { v.camera.stepAxis = {0.3f, 0.4f, 0.5f}; },
         [](const Viewer& v, const Settings&, const Model&) { return Floats(v.camera.stepAxis); }},
        {"step angle", [](Viewer& v, Settings&, Model&) { v.camera.stepAngle = 3; },
         [](const Viewer& v, const Settings&, const Model&) { return Floats({v.camera.stepAngle}); }},
        {"model rotation", [](Viewer& v, Settings&, Model&) { v.camera.modelRotation = RotationMatrix(70, 0, 0, 1); },
         [](const Viewer& v, const Settings&, const Model&) {
             return std::vector<float>(v.camera.modelRotation.begin(), v.camera.modelRotation.end());
         }},
        {"view offset", [](Viewer& v, Settings&, Model&) { v.camera.viewOffset = {0.1f, -0.2f, 0.7f}; },
         [](const Viewer& v, const Settings&, const Model&) { return Floats(v.camera.viewOffset); }},
        {"fly offset", [](Viewer& v, Settings&, Model&) { v.camera.flyOffset = {1, 2, 3}; },
         [](const Viewer& v, const Settings&, const Model&) { return Floats(v.camera.flyOffset); }},
        {"pitch, yaw, roll", [](Viewer& v, Settings&, Model&) { v.camera.pitch = 10, v.camera.yaw = 20, v.camera.roll = 30; },
         [](const Viewer& v, const Settings&, const Model&) { return Floats({v.camera.pitch, v.camera.yaw, v.camera.roll}); }},
        {"foreground", [](Viewer&, Settings& s, Model&) { s.fg_color_r = 0.1f, s.fg_color_b = 0.2f; },
         [](const Viewer&, const Settings& s, const Model&) { return Floats(s.Foreground()); }},
        {"background and its derived colours",
         [](Viewer& v, Settings& s, Model&) {
             s.bg_color_g = 0.9f;
             v.BackgroundColorChanged();
         },
         [](const Viewer& v, const Settings& s, const Model&) {
             float clear[4];
             glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
             std::vector<float> values = Floats(s.Background());
             for (float c : clear) values.push_back(c);
             for (float c : v.boundingBoxColor) values.push_back(c);
             return values;
         }},
        {"light colour", [](Viewer& v, Settings&, Model&) { v.SetLightColour({0.5f, 0.5f, 0.1f}); },
         [](const Viewer& v, const Settings&, const Model&) { return Floats(v.lightColor); }},
        {"depth-cue colour", [](Viewer&, Settings& s, Model&) { s.depthCueColor = {1, 0, 0}; },
         [](const Viewer&, const Settings& s, const Model&) { return Floats(s.depthCueColor); }},
        {"material values",
         [](Viewer& v, Settings&, Model& m) {
             // As the material command runs it.
             ApplyColor(m, {0.5f, 0.1f, 0.9f});
             v.BuildLists(true, nullptr);
             FinishApplyColor(m);
         },
         [](const Viewer&, const Settings&, const Model& m) {
             std::vector<float> values;
             for (const Material& material : m.materials) {
                 for (const auto& c : {material.color, material.specular, material.diffuse}) {
                     values.insert(values.end(), c.begin(), c.end());
                 }
                 values.push_back(material.transparency);
                 values.push_back(static_cast<float>(material.textureIndex));
             }
             return values;
         }},
        {"material table and face materials",
         [](Viewer&, Settings&, Model& m) {
             m.materials.resize(1);
             m.subMeshes[0].faceMaterials.assign(m.subMeshes[0].FaceCount(), 0);
         },
         [](const Viewer&, const Settings&, const Model& m) {
             std::vector<float> values{static_cast<float>(m.MaterialCount())};
             for (int32_t index : m.subMeshes[0].faceMaterials) values.push_back(static_cast<float>(index));
             return values;
         }},
        {"normals",
         [](Viewer& v, Settings&, Model& m) {
             // As the inversion command runs it.
             ScaleNormals(m, -1.0f);
             v.normalsInverted = !v.normalsInverted;
         },
         [](const Viewer& v, const Settings&, const Model& m) {
             return Floats({float(v.normalsInverted), m.subMeshes[0].normals[0], m.subMeshes[0].normals[1],
                            m.subMeshes[0].normals[2]});
         }},
        {"model scale",
         [](Viewer& v, Settings&, Model& m) {
             ScaleModel(m, 3);
             m.loadScale *= 3;
             v.camera.viewDistance *= 3;
             ComputeViewBox(v.camera, v.box, &m, true);
         },
         [](const Viewer& v, const Settings&, const Model& m) {
             return Floats({m.loadScale, m.subMeshes[0].vertices[0], m.subMeshes[0].bounds[1], v.box.maxX,
                            v.camera.viewDistance});
         }},
        {"eye filter",
         [](Viewer& v, Settings& s, Model&) {
             v.eyeFilter.washOn = !v.eyeFilter.washOn;
             s.ef_color_r = 1;
             s.eye_filter_amount = 0.8f;
         },
         [](const Viewer& v, const Settings& s, const Model&) {
             std::vector<float> values = Floats(s.EyeFilterColor());
             values.push_back(s.eye_filter_amount);
             values.push_back(v.eyeFilter.washOn);
             return values;
         }},
        {"display mode", [](Viewer&, Settings& s, Model&) { s.solid = 0, s.hidden_lines = 1; },
         [](const Viewer&, const Settings& s, const Model&) {
             float cull = glIsEnabled(GL_CULL_FACE);
             return Floats({float(s.solid), float(s.wireframe), float(s.hidden_lines), cull});
         }},
        {"bounding box, pivot, axes", [](Viewer&, Settings& s, Model&) { s.bounding_box ^= 1, s.show_pivot ^= 1, s.axes ^= 1; },
         [](const Viewer&, const Settings& s, const Model&) {
             return Floats({float(s.bounding_box), float(s.show_pivot), float(s.axes)});
         }},
        {"texturing", [](Viewer&, Settings& s, Model&) { s.texturing ^= 1; },
         [](const Viewer&, const Settings& s, const Model&) {
             return Floats({float(s.texturing), float(glIsEnabled(GL_TEXTURE_2D))});
         }},
        {"lighting", [](Viewer&, Settings& s, Model&) { s.light ^= 1; },
         [](const Viewer&, const Settings& s, const Model&) { return Floats({float(s.light)}); }},
        {"culling",
         [](Viewer& v, Settings& s, Model&) {
             s.culling ^= 1;
             v.ApplyCullingState();
         },
         [](const Viewer&, const Settings& s, const Model&) {
             return Floats({float(s.culling), float(glIsEnabled(GL_CULL_FACE))});
         }},
        {"gamma", [](Viewer&, Settings& s, Model&) { s.gamma_value = 2.5f; },
         [](const Viewer&, const Settings& s, const Model&) { return Floats({s.gamma_value}); }},
        {"depth-cue factor", [](Viewer&, Settings& s, Model&) { s.depth_cue_factor = 0.35f; },
         [](const Viewer&, const Settings& s, const Model&) { return Floats({s.depth_cue_factor}); }},
        {"background image",
         [blue](Viewer& v, Settings& s, Model&) {
             s.using_background_image ^= 1;
             auto image = std::make_unique<Texture>();
             image->width = image->height = 1;
             image->pixels = {0, 0, 255};
             v.SetBackgroundImage(std::move(image), blue, 3, !v.background.shown);
             s.background_image_file = blue;
         },
         [](const Viewer& v, const Settings& s, const Model&) {
             const float first = v.background.image ? v.background.image->pixels[0] : -1.0f;
             return Floats({float(s.using_background_image), float(v.background.shown), first,
                            float(v.background.fileName.size()), float(s.background_image_file.size())});
         }},
    };

    // The snapshot is taken with a background image shown, the file read back on restore.
    settings().using_background_image = 1;
    auto image = std::make_unique<Texture>();
    image->width = image->height = 1;
    image->pixels = {255, 0, 0};
    viewer().SetBackgroundImage(std::move(image), red, 3, true);
    settings().background_image_file = red;
    viewer().camera.stepAngle = 0.5f;
    viewer().camera.stepAxis = {0, 1, 0};
    ASSERT_EQ(TakeSnapshot(viewer()), SnapshotOutcome::Taken);
    // The frame drawn by the capture turned the model by its step: the rotation stored is the one
    // after it, as the picture shows it.

    for (const StoredItem& item : items) {
        const std::vector<float> before = item.read(viewer(), settings(), view_.model());
        item.change(viewer(), settings(), view_.model());
        ASSERT_FALSE(Near(item.read(viewer(), settings(), view_.model()), before))
            << item.name << ": the change changes nothing";
        RestoreSnapshot(viewer(), 0);
        EXPECT_TRUE(Near(item.read(viewer(), settings(), view_.model()), before)) << item.name;
    }
}

TEST_F(GlSnapshots, RestoredViewDrawsTheSnapshotsPicture)
{
    const std::vector<uint8_t> before = Captured();
    ASSERT_EQ(TakeSnapshot(viewer()), SnapshotOutcome::Taken);
    // Everything at once: camera, colours, mode, depth cueing, scale, the wash.
    viewer().camera.modelRotation = RotationMatrix(40, 1, 1, 0);
    viewer().camera.viewOffset.z = 0.4f;
    settings().bg_color_r = 0.8f;
    viewer().BackgroundColorChanged();
    settings().solid = 0;
    settings().wireframe = 1;
    settings().depth_cue_factor = 0.5f;
    settings().fg_color_g = 0.2f;
    // The material and scale commands as they run them.
    ApplyColor(view_.model(), {0.1f, 0.2f, 0.3f});
    viewer().BuildLists(false, nullptr);
    FinishApplyColor(view_.model());
    ScaleModel(view_.model(), 0.5f);
    view_.model().loadScale *= 0.5f;
    viewer().camera.viewDistance *= 0.5f;
    ComputeViewBox(viewer().camera, viewer().box, &view_.model(), true);
    viewer().eyeFilter.washOn = true;
    viewer().BuildLists(false, nullptr);
    ASSERT_NE(Captured(), before);
    RestoreSnapshot(viewer(), 0);
    EXPECT_EQ(Captured(), before);
}

TEST_F(GlSnapshots, RestoreKeepsFaceMaterialsOfAChangedMesh)
{
    ASSERT_EQ(TakeSnapshot(viewer()), SnapshotOutcome::Taken);
    ASSERT_TRUE(TriangulateModel(view_.model()));
    const std::vector<int32_t> triangulated = view_.model().subMeshes[0].faceMaterials;
    ASSERT_EQ(triangulated.size(), 12u);
    RestoreSnapshot(viewer(), 0);
    EXPECT_EQ(view_.model().subMeshes[0].faceMaterials, triangulated);
    EXPECT_EQ(view_.model().MaterialCount(), 3);
}

TEST_F(GlSnapshots, UnreadableBackgroundFileLeavesNoBackgroundShown)
{
    test::ScratchDir dir;
    const std::string path = WritePpm(dir, "gone.ppm", {0, 255, 0});
    settings().using_background_image = 1;
    auto image = std::make_unique<Texture>();
    image->width = image->height = 1;
    image->pixels = {0, 255, 0};
    viewer().SetBackgroundImage(std::move(image), path, 3, true);
    ASSERT_EQ(TakeSnapshot(viewer()), SnapshotOutcome::Taken);
    std::filesystem::remove(path);
    RestoreSnapshot(viewer(), 0);
    EXPECT_FALSE(viewer().background.shown);
}

}  // namespace
}  // namespace solvane
