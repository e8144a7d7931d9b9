// Scene snapshots: up to 25 small pictures of the view floating over it, each with everything
// needed to return to that view (camera, colours, display options, gamma, depth cueing, eye filter,
// materials, normals, model scale, background image). A thumbnail's left corner button restores its view,
// the right one deletes it, and the rest of it drags it about.
//
// Positions and sizes are pixels of the view's surface (device pixels on a high-DPI screen),
// measured from its top-left corner, as the pointer positions handed to the hit test are.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/model.h"
#include "core/settings.h"
#include "viewer/camera.h"

namespace solvane {

class Viewer;

constexpr int kMaxSnapshots = 25;
// Thumbnails are square textures of this many texels a side.
constexpr int kThumbnailTexels = 128;
// Rows at the thumbnail's top that show the title strip with the two corner buttons.
constexpr int kTitleStripRows = 15;

// The entries of the Snapshot Size menu: on-screen edge and corner-button size, largest first.
struct SnapshotSize {
    int edge;
    int button;
};
constexpr std::array<SnapshotSize, 5> kSnapshotSizes{{{250, 30}, {200, 24}, {150, 17}, {100, 10}, {50, 6}}};
constexpr int kDefaultSnapshotButton = 17;
// The button size of an edge in the table, kDefaultSnapshotButton for any other edge.
int SnapshotButtonForEdge(int edge);
// The button size in use: the settings' snapshot margin once a size was chosen, else the one of the
// stored edge.
int SnapshotButtonSize(const Settings& settings);

// One snapshot: its thumbnail and the view it returns to.
struct SceneSnapshot {
    // Thumbnail: 128 x 128 RGB, bottom row first, with its black edge and title strip; its
    // texture is made on the frame that first draws it (and again after a gamma change).
    std::vector<uint8_t> thumbPixels;
    uint32_t thumbTexture = 0;
    float uploadedGamma = -1;
    int32_t x = 0, y = 0;  // top-left corner in the view

    // Camera.
    Vec3 stepAxis;
    float stepAngle = 0;
    Matrix4 modelRotation = IdentityMatrix();
    Vec3 viewOffset;
    Vec3 flyOffset;
    float pitch = 0, yaw = 0, roll = 0;

    // Colours.
    std::array<float, 3> foreground{};
    std::array<float, 3> background{};
    std::array<float, 3> lightColour{};
    std::array<float, 3> depthCue{};

    // The model's material table and each sub-mesh's face materials, and its scale record.
    std::vector<Material> materials;
    std::vector<std::vector<int32_t>> faceMaterials;
    float loadScale = 1.0f;
    bool normalsInverted = false;  // the model's normals were turned round an odd number of times

    // Eye filter: the wash's switch, colour and amount.
    bool washOn = false;
    std::array<float, 3> filterColour{};
    float filterAmount = 0;

    // Display options.
    uint8_t wireframe = 0, solid = 1, hidden_lines = 0, bounding_box = 0, show_pivot = 0, axes = 0;
    uint8_t texturing = 0, light = 0, using_background_image = 0, culling = 0;
    float gamma = 1.7f;
    float depthCueFactor = 0;

    // The background image's file (empty when none is shown) and whether it was shown.
    std::string backgroundFile;
    bool backgroundShown = false;
};

// The 25 slots; an empty slot holds null.
struct SnapshotSet {
    std::array<std::unique_ptr<SceneSnapshot>, kMaxSnapshots> entries;
    int count = 0;
    bool suppressed = false;  // set while a capture draws the frame: no thumbnails then
    int dragged = -1;         // slot of the thumbnail being dragged, -1 for none
    int grabX = 0, grabY = 0; // where it was grabbed, from its top-left corner

    void Recount();
};

enum class SnapshotOutcome {
    Taken,
    NoBits,  // the capture buffer could not be had
    Full,    // all 25 slots are taken
};
// Captures the view (needs the view's surface current), shrinks the picture into a thumbnail placed
// in the first free cell of the placement grid, and records the view state in the first empty
// slot. slot receives the slot used.
SnapshotOutcome TakeSnapshot(Viewer& viewer, int* slot = nullptr);
// Puts the slot's view back: camera, colours, options, gamma, depth cueing, eye filter, materials,
// normals (turned round again when they were inverted since), scale (the model is rescaled when its
// scale differs) and background image (read again from its file), then rebuilds the model's lists.
// Needs the context.
void RestoreSnapshot(Viewer& viewer, int slot);
// Frees the slot (with the context current, for its texture).
void DeleteSnapshot(Viewer& viewer, int slot);
void ClearAllSnapshots(Viewer& viewer);
// Frees the thumbnails' textures only (the context is going); they are made again when drawn.
void ReleaseSnapshotGl(SnapshotSet& snapshots);

// Draws the thumbnails over the frame (none while suppressed or empty).
void DrawThumbnails(Viewer& viewer);

// The first free cell of the placement grid: columns of edge-sized cells from the left, each filled
// from the top; a cell is free when no thumbnail sits exactly at its corner. (0, 0) when every cell
// is taken.
void PlaceThumbnail(const SnapshotSet& snapshots, int edge, int viewWidth, int viewHeight, int32_t& x, int32_t& y);

// What a left press at (u, v) in the view hits.
enum class ThumbnailPart { None, RestoreButton, DeleteButton, Body };
struct ThumbnailHit {
    ThumbnailPart part = ThumbnailPart::None;
    int slot = -1;
    int grabX = 0, grabY = 0;  // for the body: the press from the thumbnail's top-left corner
};
// The first occupied slot (in slot order) whose thumbnail of this edge and button size the point
// is on.
ThumbnailHit SnapshotHitTest(const SnapshotSet& snapshots, int edge, int button, int u, int v);
// Moves the dragged thumbnail to follow the pointer; false when none is dragged.
bool DragThumbnail(SnapshotSet& snapshots, int u, int v);

// The thumbnail of a capture (rows bottom first, each padded to 4 bytes): scaled to 128 x 128,
// black on the bottom row and the first and last pixel of every row, the title strip on top.
// Needs a current context (the scaling reads its pixel-store state).
std::vector<uint8_t> MakeThumbnail(const uint8_t* rows, int width, int height);
// The title strip: kTitleStripRows rows of kThumbnailTexels RGB pixels, top row first.
const std::vector<uint8_t>& TitleStrip();

}  // namespace solvane
