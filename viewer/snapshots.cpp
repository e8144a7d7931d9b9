#include "viewer/snapshots.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "core/format_id.h"
#include "core/mesh_ops.h"
#include "image/image.h"
#include "viewer/capture.h"
#include "viewer/overlay.h"
#include "viewer/viewer.h"

namespace solvane {
namespace {

// Opacity of a drawn thumbnail.
constexpr float kThumbnailAlpha = 0.85f;

// The corner buttons of the title strip, 13 x 13, top row first: '#' edge, 'f' face, 'w' glyph,
// ' ' the strip behind. Left: return to this view (an arrow turning back); right: close.
constexpr const char* kRestoreButton[13] = {
    "  #########  ",
    " #fffffffff# ",
    "#fffffffffff#",
    "#fwffwwwwfff#",
    "#fwwwfffwwff#",
    "#fwwwffffwwf#",
    "#fwwwwfffwwf#",
    "#ffffffffwwf#",
    "#fffffffwwff#",
    "#ffffwwwwfff#",
    "#fffffffffff#",
    " #fffffffff# ",
    "  #########  ",
};
constexpr const char* kCloseButton[13] = {
    "  #########  ",
    " #fffffffff# ",
    "#fffffffffff#",
    "#ffwwfffwwff#",
    "#fffwwfwwfff#",
    "#ffffwwwffff#",
    "#fffffwfffff#",
    "#ffffwwwffff#",
    "#fffwwfwwfff#",
    "#ffwwfffwwff#",
    "#fffffffffff#",
    " #fffffffff# ",
    "  #########  ",
};
constexpr int kButtonSide = 13;

struct Rgb {
    uint8_t r, g, b;
};

void Put(std::vector<uint8_t>& strip, int row, int column, Rgb colour)
{
    uint8_t* p = &strip[(static_cast<size_t>(row) * kThumbnailTexels + column) * 3];
    p[0] = colour.r;
    p[1] = colour.g;
    p[2] = colour.b;
}

void PaintButton(std::vector<uint8_t>& strip, const char* const* art, int left, Rgb face)
{
    const Rgb edge{12, 14, 20};
    const Rgb glyph{255, 255, 255};
    for (int row = 0; row < kButtonSide; ++row) {
        for (int column = 0; column < kButtonSide; ++column) {
            const char c = art[row][column];
            if (c == ' ') continue;
            Put(strip, 1 + row, left + column, c == '#' ? edge : (c == 'w' ? glyph : face));
        }
    }
}

std::vector<uint8_t> BuildTitleStrip()
{
    std::vector<uint8_t> strip(static_cast<size_t>(kThumbnailTexels) * kTitleStripRows * 3);
    // The bar: the dialogs' dark blue, lighter toward the middle, a light line along its top and
    // a dark one under it.
    for (int row = 0; row < kTitleStripRows; ++row) {
        for (int column = 0; column < kThumbnailTexels; ++column) {
            const int distance = column < 64 ? 64 - column : column - 63;
            const int lift = (64 - distance) / 2;
            Rgb colour{static_cast<uint8_t>(25 + lift), static_cast<uint8_t>(30 + lift), static_cast<uint8_t>(43 + lift * 3 / 2)};
            if (row == 0) colour = {110, 120, 150};
            if (row == kTitleStripRows - 1) colour = {0, 0, 0};
            Put(strip, row, column, colour);
        }
    }
    PaintButton(strip, kRestoreButton, 1, Rgb{40, 150, 70});
    PaintButton(strip, kCloseButton, kThumbnailTexels - 1 - kButtonSide, Rgb{190, 45, 40});
    for (int row = 0; row < kTitleStripRows; ++row) {
        Put(strip, row, 0, Rgb{0, 0, 0});
        Put(strip, row, kThumbnailTexels - 1, Rgb{0, 0, 0});
    }
    return strip;
}

void RecordState(const Viewer& viewer, const Settings& s, const Model* model, SceneSnapshot& snapshot)
{
    const ViewCamera& camera = viewer.camera;
    snapshot.stepAxis = camera.stepAxis;
    snapshot.stepAngle = camera.stepAngle;
    snapshot.modelRotation = camera.modelRotation;
    snapshot.viewOffset = camera.viewOffset;
    snapshot.flyOffset = camera.flyOffset;
    snapshot.pitch = camera.pitch;
    snapshot.yaw = camera.yaw;
    snapshot.roll = camera.roll;

    snapshot.foreground = s.Foreground();
    snapshot.background = s.Background();
    snapshot.lightColour = viewer.lightColor;
    snapshot.depthCue = s.depthCueColor;

    if (model) {
        snapshot.materials.resize(model->materials.size());
        for (size_t i = 0; i < model->materials.size(); ++i) CopyMaterial(snapshot.materials[i], model->materials[i]);
        snapshot.faceMaterials.reserve(model->subMeshes.size());
        for (const SubMesh& mesh : model->subMeshes) snapshot.faceMaterials.push_back(mesh.faceMaterials);
        snapshot.loadScale = model->loadScale;
    }
    snapshot.normalsInverted = viewer.normalsInverted;

    snapshot.washOn = viewer.eyeFilter.washOn;
    snapshot.filterColour = s.EyeFilterColor();
    snapshot.filterAmount = s.eye_filter_amount;

    snapshot.wireframe = s.wireframe;
    snapshot.solid = s.solid;
    snapshot.hidden_lines = s.hidden_lines;
    snapshot.bounding_box = s.bounding_box;
    snapshot.show_pivot = s.show_pivot;
    snapshot.axes = s.axes;
    snapshot.texturing = s.texturing;
    snapshot.light = s.light;
    snapshot.using_background_image = s.using_background_image;
    snapshot.culling = s.culling;
    snapshot.gamma = s.gamma_value;
    snapshot.depthCueFactor = s.depth_cue_factor;

    snapshot.backgroundShown = viewer.background.shown;
    snapshot.backgroundFile = viewer.background.shown ? viewer.background.fileName : std::string();
}

// The materials as they were. A sub-mesh whose face count has changed since (triangulation) keeps
// its face materials, as do sub-meshes beyond the stored ones; indices past the restored table
// would point nowhere, so such a list is not taken either.
void RestoreMaterials(const SceneSnapshot& snapshot, Model& model)
{
    model.materials.resize(snapshot.materials.size());
    for (size_t i = 0; i < snapshot.materials.size(); ++i) CopyMaterial(model.materials[i], snapshot.materials[i]);
    const size_t meshes = std::min(model.subMeshes.size(), snapshot.faceMaterials.size());
    for (size_t m = 0; m < meshes; ++m) {
        SubMesh& mesh = model.subMeshes[m];
        const std::vector<int32_t>& stored = snapshot.faceMaterials[m];
        if (!stored.empty() && stored.size() != static_cast<size_t>(mesh.FaceCount())) continue;
        bool fits = true;
        for (const int32_t index : stored) fits = fits && index < model.MaterialCount();
        if (fits) mesh.faceMaterials = stored;
    }
}

void RestoreBackground(Viewer& viewer, const SceneSnapshot& snapshot)
{
    if (snapshot.backgroundFile.empty()) {
        viewer.background.shown = snapshot.backgroundShown && viewer.background.image;
        return;
    }
    // The file is read again: the picture is the file's as it is now.
    std::unique_ptr<Texture> image = LoadChosenImage(snapshot.backgroundFile);
    if (!image) {
        viewer.background.shown = false;
        return;
    }
    image->name = snapshot.backgroundFile;
    // The restored image is the one to read again at the next start, as one chosen in its dialog.
    viewer.settings().background_image_file = snapshot.backgroundFile;
    viewer.SetBackgroundImage(std::move(image), snapshot.backgroundFile, viewer.settings().background_texture_quality,
                              true);
}

void UploadThumbnail(SceneSnapshot& snapshot, float gamma)
{
    GLuint name = snapshot.thumbTexture;
    if (name == 0) glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    // Like every texture of the frame, the thumbnail goes through the gamma maps.
    glPixelTransferi(GL_MAP_COLOR, GL_TRUE);
    glTexImage2D(GL_TEXTURE_2D, 0, 3, kThumbnailTexels, kThumbnailTexels, 0, GL_RGB, GL_UNSIGNED_BYTE,
                 snapshot.thumbPixels.data());
    glPixelTransferi(GL_MAP_COLOR, GL_FALSE);
    snapshot.thumbTexture = name;
    snapshot.uploadedGamma = gamma;
}

void FreeThumbnailTexture(SceneSnapshot& snapshot)
{
    if (snapshot.thumbTexture) {
        const GLuint name = snapshot.thumbTexture;
        glDeleteTextures(1, &name);
    }
    snapshot.thumbTexture = 0;
    snapshot.uploadedGamma = -1;
}

}  // namespace

int SnapshotButtonForEdge(int edge)
{
    for (const SnapshotSize& size : kSnapshotSizes) {
        if (size.edge == edge) return size.button;
    }
    return kDefaultSnapshotButton;
}

int SnapshotButtonSize(const Settings& settings)
{
    return settings.snapshotMargin > 0 ? settings.snapshotMargin : SnapshotButtonForEdge(settings.current_snapshot_size);
}

void SnapshotSet::Recount()
{
    count = 0;
    for (const auto& slot : entries) count += slot != nullptr;
}

const std::vector<uint8_t>& TitleStrip()
{
    static const std::vector<uint8_t> strip = BuildTitleStrip();
    return strip;
}

std::vector<uint8_t> MakeThumbnail(const uint8_t* rows, int width, int height)
{
    constexpr int n = kThumbnailTexels;
    constexpr size_t rowBytes = static_cast<size_t>(n) * 3;
    std::vector<uint8_t> thumb(rowBytes * n, 0);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    glPixelStorei(GL_PACK_SKIP_ROWS, 0);
    glPixelStorei(GL_PACK_SKIP_PIXELS, 0);
    if (width > 0 && height > 0) gluScaleImage(GL_RGB, width, height, GL_UNSIGNED_BYTE, rows, n, n, GL_UNSIGNED_BYTE, thumb.data());

    // The black edge: the bottom row, and the first and last pixel of every row.
    std::memset(thumb.data(), 0, rowBytes);
    for (int row = 0; row < n; ++row) {
        std::memset(&thumb[row * rowBytes], 0, 3);
        std::memset(&thumb[row * rowBytes + rowBytes - 3], 0, 3);
    }
    // The title strip over the top rows (the strip's first row is the thumbnail's top, its last row).
    const std::vector<uint8_t>& strip = TitleStrip();
    for (int row = 0; row < kTitleStripRows; ++row) {
        std::memcpy(&thumb[static_cast<size_t>(n - 1 - row) * rowBytes], &strip[row * rowBytes], rowBytes);
    }
    return thumb;
}

void PlaceThumbnail(const SnapshotSet& snapshots, int edge, int viewWidth, int viewHeight, int32_t& x, int32_t& y)
{
    const int step = edge > 0 ? edge : 1;
    for (int cx = 0; cx < viewWidth - 10; cx += step) {
        for (int cy = 0; cy < viewHeight - 10; cy += step) {
            bool taken = false;
            for (const auto& slot : snapshots.entries) taken = taken || (slot && slot->x == cx && slot->y == cy);
            if (!taken) {
                x = cx;
                y = cy;
                return;
            }
        }
    }
    x = 0;
    y = 0;
}

SnapshotOutcome TakeSnapshot(Viewer& viewer, int* slot)
{
    const std::unique_ptr<FrameRows> rows = ReadFrameRows(viewer, 4);
    if (!rows) return SnapshotOutcome::NoBits;
    int free = -1;
    for (int i = 0; i < kMaxSnapshots && free < 0; ++i) {
        if (!viewer.snapshots.entries[i]) free = i;
    }
    if (free < 0) return SnapshotOutcome::Full;

    std::unique_ptr<SceneSnapshot> snapshot;
    try {
        snapshot = std::make_unique<SceneSnapshot>();
        snapshot->thumbPixels = MakeThumbnail(rows->bytes.data(), rows->width, rows->height);
        RecordState(viewer, viewer.settings(), viewer.CurrentModel(), *snapshot);
    } catch (const std::bad_alloc&) {
        return SnapshotOutcome::NoBits;
    }
    PlaceThumbnail(viewer.snapshots, viewer.settings().current_snapshot_size, viewer.view.viewWidth,
                   viewer.view.viewHeight, snapshot->x, snapshot->y);
    viewer.snapshots.entries[free] = std::move(snapshot);
    viewer.snapshots.Recount();
    if (slot) *slot = free;
    return SnapshotOutcome::Taken;
}

void RestoreSnapshot(Viewer& viewer, int slot)
{
    if (slot < 0 || slot >= kMaxSnapshots || !viewer.snapshots.entries[slot]) return;
    const SceneSnapshot& snapshot = *viewer.snapshots.entries[slot];
    Settings& s = viewer.settings();
    Model* model = viewer.CurrentModel();

    ViewCamera& camera = viewer.camera;
    camera.stepAxis = snapshot.stepAxis;
    camera.stepAngle = snapshot.stepAngle;
    camera.modelRotation = snapshot.modelRotation;
    camera.viewOffset = snapshot.viewOffset;
    camera.flyOffset = snapshot.flyOffset;
    camera.pitch = snapshot.pitch;
    camera.yaw = snapshot.yaw;
    camera.roll = snapshot.roll;

    s.fg_color_r = snapshot.foreground[0];
    s.fg_color_g = snapshot.foreground[1];
    s.fg_color_b = snapshot.foreground[2];
    s.bg_color_r = snapshot.background[0];
    s.bg_color_g = snapshot.background[1];
    s.bg_color_b = snapshot.background[2];
    s.depthCueColor = snapshot.depthCue;

    s.wireframe = snapshot.wireframe;
    s.solid = snapshot.solid;
    s.hidden_lines = snapshot.hidden_lines;
    s.bounding_box = snapshot.bounding_box;
    s.show_pivot = snapshot.show_pivot;
    s.axes = snapshot.axes;
    s.texturing = snapshot.texturing;
    s.light = snapshot.light;
    s.using_background_image = snapshot.using_background_image;
    s.culling = snapshot.culling;
    s.gamma_value = snapshot.gamma;
    s.depth_cue_factor = snapshot.depthCueFactor;

    viewer.eyeFilter.washOn = snapshot.washOn;
    s.ef_color_r = snapshot.filterColour[0];
    s.ef_color_g = snapshot.filterColour[1];
    s.ef_color_b = snapshot.filterColour[2];
    s.eye_filter_amount = snapshot.filterAmount;

    if (model) {
        RestoreMaterials(snapshot, *model);
        // Normals turned round since (or back) light the model from the other side: turn them again.
        if (snapshot.normalsInverted != viewer.normalsInverted) {
            ScaleNormals(*model, -1.0f);
            viewer.normalsInverted = snapshot.normalsInverted;
        }
        // The model goes back to the size it had; the camera's distance follows it, so the view
        // is the one of the snapshot.
        if (snapshot.loadScale != model->loadScale && snapshot.loadScale > 0 && model->loadScale > 0) {
            const float factor = snapshot.loadScale / model->loadScale;
            if (ScaleModel(*model, factor)) camera.viewDistance *= factor;
            model->loadScale = snapshot.loadScale;
            ComputeViewBox(camera, viewer.box, model, true);
        }
    }
    RestoreBackground(viewer, snapshot);

    // The renderer's state for the restored options, then the lists in the restored colours.
    glClearColor(s.bg_color_r, s.bg_color_g, s.bg_color_b, 1.0f);
    viewer.boundingBoxColor = BoundingBoxColor(s.Background());
    if (s.texturing) glEnable(GL_TEXTURE_2D); else glDisable(GL_TEXTURE_2D);
    viewer.ApplyCullingState();
    if (!s.light) glDisable(GL_LIGHTING);
    viewer.SetLightColour(snapshot.lightColour);
    viewer.BuildLists(false, nullptr);
}

void DeleteSnapshot(Viewer& viewer, int slot)
{
    SnapshotSet& snapshots = viewer.snapshots;
    if (slot < 0 || slot >= kMaxSnapshots || !snapshots.entries[slot]) return;
    FreeThumbnailTexture(*snapshots.entries[slot]);
    snapshots.entries[slot].reset();
    if (snapshots.dragged == slot) snapshots.dragged = -1;
    snapshots.Recount();
}

void ClearAllSnapshots(Viewer& viewer)
{
    for (int slot = 0; slot < kMaxSnapshots; ++slot) DeleteSnapshot(viewer, slot);
}

void ReleaseSnapshotGl(SnapshotSet& snapshots)
{
    for (auto& slot : snapshots.entries) {
        if (slot) FreeThumbnailTexture(*slot);
    }
}

void DrawThumbnails(Viewer& viewer)
{
    SnapshotSet& snapshots = viewer.snapshots;
    if (snapshots.count == 0 || snapshots.suppressed) return;
    const Settings& s = viewer.settings();
    const float edge = static_cast<float>(s.current_snapshot_size);
    const float w = static_cast<float>(viewer.view.viewWidth), h = static_cast<float>(viewer.view.viewHeight);
    // y grows upwards from -h at the bottom to 0 at the top, so a thumbnail's y is minus its row.
    const OverlayPass pass = BeginOverlay(0, w, -h, 0);
    glEnable(GL_TEXTURE_2D);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_DECAL);
    for (auto& slot : snapshots.entries) {
        if (!slot) continue;
        SceneSnapshot& snapshot = *slot;
        if (!snapshot.thumbTexture || snapshot.uploadedGamma != s.gamma_value) UploadThumbnail(snapshot, s.gamma_value);
        glBindTexture(GL_TEXTURE_2D, snapshot.thumbTexture);
        // Decal: the thumbnail's colours, drawn 85 % opaque.
        glColor4f(1, 0, 0, kThumbnailAlpha);
        const float x = static_cast<float>(snapshot.x), y = static_cast<float>(snapshot.y);
        OverlayQuad(x, -(y + edge), x + edge, -y);
    }
    glBindTexture(GL_TEXTURE_2D, 0);
    EndOverlay(pass, s);
}

ThumbnailHit SnapshotHitTest(const SnapshotSet& snapshots, int edge, int button, int u, int v)
{
    ThumbnailHit hit;
    for (int slot = 0; slot < kMaxSnapshots; ++slot) {
        const SceneSnapshot* snapshot = snapshots.entries[slot].get();
        if (!snapshot) continue;
        const int x = snapshot->x, y = snapshot->y;
        if (u < x || u > x + edge - 4 || v < y || v > y + edge) continue;
        hit.slot = slot;
        if (u <= x + button && v < y + button) {
            hit.part = ThumbnailPart::RestoreButton;
        } else if (u >= x + edge - button - 5 && v < y + button) {
            hit.part = ThumbnailPart::DeleteButton;
        } else {
            hit.part = ThumbnailPart::Body;
            hit.grabX = u - x;
            hit.grabY = v - y;
        }
        return hit;
    }
    return hit;
}

bool DragThumbnail(SnapshotSet& snapshots, int u, int v)
{
    if (snapshots.dragged < 0 || !snapshots.entries[snapshots.dragged]) return false;
    SceneSnapshot& snapshot = *snapshots.entries[snapshots.dragged];
    snapshot.x = u - snapshots.grabX;
    snapshot.y = v - snapshots.grabY;
    return true;
}

}  // namespace solvane
