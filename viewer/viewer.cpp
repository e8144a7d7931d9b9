#include "viewer/viewer.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <cmath>
#include <vector>

#include "core/format_id.h"
#include "core/mesh_ops.h"
#include "viewer/gl_objects.h"

namespace solvane {

namespace {

constexpr float kFeedbackPoint = 1793.0f;  // GL_POINT_TOKEN in a feedback buffer

void SetColorAndMaterial(const std::array<float, 3>& rgb)
{
    const float rgba[4] = {rgb[0], rgb[1], rgb[2], 1.0f};
    glColor4fv(rgba);
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE, rgba);
}

void PivotPoint(PivotKind)
{
    glBegin(GL_POINTS);
    glVertex3f(0, 0, 0);
    glEnd();
}

}  // namespace

std::array<float, 3> StoredLightColour(const std::array<float, 3>& stored)
{
    if (stored[0] == 0 && stored[1] == 0 && stored[2] == 0) return {1, 1, 1};
    return stored;
}

Viewer::Viewer(Settings& settings) : settings_(settings) {}

Viewer::~Viewer() = default;

void Viewer::InitGl()
{
    InitGlState(view, settings_);
    camera.modelRotation = IdentityMatrix();
    boundingBoxColor = BoundingBoxColor(settings_.Background());
    BuildHardwareReport(view);
    uploadedGamma_ = -1;
    ApplyLightColour();
}

void Viewer::ReleaseGl()
{
    if (model_) ReleaseModelLists(*model_);
    DeleteTexture(background.texture);
    background.uploadedQuality = -1;
    ReleaseEyeFilterGl(eyeFilter);
    ReleaseSnapshotGl(snapshots);
    FreeGlState(view);
}

void Viewer::ResizeView(int width, int height)
{
    StoreViewSize(view, width, height);
    LocatePivot();
    ApplyViewport(view);
}

void Viewer::ResetView(bool keepCamera)
{
    ResetCamera(camera, box, model_, keepCamera);
    LocatePivot();
}

void Viewer::SetGammaMap(float gamma)
{
    float table[256];
    for (int i = 0; i < 256; ++i) table[i] = std::pow(i / 255.0f, 1.0f / gamma);
    glPixelMapfv(GL_PIXEL_MAP_R_TO_R, 256, table);
    glPixelMapfv(GL_PIXEL_MAP_G_TO_G, 256, table);
    glPixelMapfv(GL_PIXEL_MAP_B_TO_B, 256, table);
    // Textures carry the gamma of their upload: upload them again when it changed.
    if (gamma != uploadedGamma_) ReuploadForGamma();
    uploadedGamma_ = gamma;
}

void Viewer::ReuploadForGamma()
{
    if (model_) {
        for (Texture& texture : model_->textures) {
            if (texture.textureHandle) UploadTexture(texture, texture.textureHandle, settings_.mapping_texture_quality, true);
        }
    }
    if (background.texture && background.image) {
        UploadTexture(*background.image, background.texture, background.quality, true);
        background.uploadedQuality = background.quality;
    }
}

void Viewer::PrepareModelGl(const ListProgress& progress)
{
    if (!model_) return;
    if (model_->hasTextures) UploadModelTextures(*model_, settings_, true, nullptr);
    uploadedGamma_ = -1;
    BuildModelLists(*model_, settings_, false, progress);
}

void Viewer::BuildLists(bool solidOnly, const ListProgress& progress)
{
    if (!model_) return;
    BuildModelLists(*model_, settings_, solidOnly, progress);
    if (listsRebuilt) listsRebuilt();
}

void Viewer::ReuploadModelTextures(const ListProgress& progress)
{
    if (!model_) return;
    UploadModelTextures(*model_, settings_, true, progress);
    uploadedGamma_ = settings_.gamma_value;
}

void Viewer::BackgroundColorChanged()
{
    if (model_) {
        RebuildFillLists(*model_, settings_);
        if (listsRebuilt) listsRebuilt();
    }
    glClearColor(settings_.bg_color_r, settings_.bg_color_g, settings_.bg_color_b, 1.0f);
    boundingBoxColor = BoundingBoxColor(settings_.Background());
}

void Viewer::TexturingChanged()
{
    if (settings_.texturing) glEnable(GL_TEXTURE_2D); else glDisable(GL_TEXTURE_2D);
    BuildLists(true, nullptr);
}

void Viewer::ApplyCullingState()
{
    if (!settings_.culling) {
        glDisable(GL_CULL_FACE);
        return;
    }
    const int32_t id = model_ ? model_->formatId : -1;
    const bool clockwise = NormalsNeedInversion(id);
    glFrontFace(clockwise ? GL_CW : GL_CCW);
    if (settings_.solid) glEnable(GL_CULL_FACE); else glDisable(GL_CULL_FACE);
}

void Viewer::SetBackgroundImage(std::shared_ptr<const Texture> image, const std::string& fileName, int quality,
                                bool shown)
{
    // New pixels are uploaded on the next frame; the same ones only at another quality.
    if (image != background.image) background.uploadedQuality = -1;
    background.image = std::move(image);
    background.fileName = background.image ? fileName : std::string();
    background.quality = quality;
    background.shown = shown && background.image;
}

void Viewer::SetBackgroundQuality(int quality)
{
    background.quality = quality;
}

void Viewer::UploadBackgroundIfNeeded()
{
    if (!background.image) return;
    if (background.texture && background.uploadedQuality == background.quality) return;
    background.texture = UploadTexture(*background.image, background.texture, background.quality, true);
    background.uploadedQuality = background.quality;
    // Stretched once over the view: its edges must not blend with the opposite ones.
    glBindTexture(GL_TEXTURE_2D, background.texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glBindTexture(GL_TEXTURE_2D, 0);
}

void Viewer::ApplyLightColour()
{
    const float black[4] = {0, 0, 0, 1};
    const float colour[4] = {lightColor[0], lightColor[1], lightColor[2], 1};
    glLightfv(GL_LIGHT0, GL_AMBIENT, black);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, colour);
    glLightfv(GL_LIGHT0, GL_SPECULAR, colour);
}

void Viewer::SetLightColour(const std::array<float, 3>& colour)
{
    lightColor = colour;
    glDisable(GL_LIGHT0);
    ApplyLightColour();
    glEnable(GL_LIGHT0);
}

void Viewer::ApplyStoredLightColour(const std::array<float, 3>& stored)
{
    SetLightColour(StoredLightColour(stored));
}

void Viewer::DrawBackgroundImage()
{
    const float w = static_cast<float>(view.viewWidth), h = static_cast<float>(view.viewHeight);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0, w, 0, h, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glDepthMask(GL_FALSE);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glDisable(GL_TEXTURE_GEN_S);
    glDisable(GL_TEXTURE_GEN_T);
    glDisable(GL_TEXTURE_GEN_R);
    glDisable(GL_TEXTURE_GEN_Q);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, background.texture);
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0);
    glVertex2f(0, 0);
    glTexCoord2f(1, 0);
    glVertex2f(w, 0);
    glTexCoord2f(1, 1);
    glVertex2f(w, h);
    glTexCoord2f(0, 1);
    glVertex2f(0, h);
    glEnd();
    if (!settings_.texturing) glDisable(GL_TEXTURE_2D);
    if (settings_.culling) ApplyCullingState();
    glEnable(GL_DEPTH_TEST);
    glDepthMask(GL_TRUE);
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
}

void Viewer::DrawFrame(FrameMode mode)
{
    if (mode == FrameMode::Feedback) {
        DrawFeedback();
        return;
    }
    // Blending must not lower the surface's own alpha.
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_FALSE);
    SetGammaMap(settings_.gamma_value);
    if (background.shown && settings_.using_background_image && background.image) {
        UploadBackgroundIfNeeded();
        glColor4f(0, 0, 0, 1);
        DrawBackgroundImage();
    }
    // Without a model the frame is the background alone. The eye filter lies over the picture
    // (captures include it), the thumbnails over everything.
    if (model_) {
        DrawScene();
        DrawEyeFilter(eyeFilter, view, settings_);
        DrawThumbnails(*this);
    }
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glFlush();
}

void Viewer::DrawScene()
{
    const Settings& s = settings_;
    glPushMatrix();
    ApplyProjection(view);
    glLoadIdentity();
    const float lightPosition[4] = {0, 0, 0, 1};
    glLightfv(GL_LIGHT0, GL_POSITION, lightPosition);
    glEnable(GL_LIGHT0);
    ApplyModelTransformBase(camera, box, s);

    // The pivot marker, untextured, then the rotation about the pivot.
    if (s.texturing) glDisable(GL_TEXTURE_2D);
    ApplyPivotRotation(camera, box, s, [&](PivotKind) {
        if (!s.show_pivot) return;
        glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
        SetColorAndMaterial(kPivotColor);
        gluSphere(static_cast<GLUquadric*>(view.quadric), 0.02 * camera.viewDistance, 8, 8);
    });
    if (s.texturing) glEnable(GL_TEXTURE_2D);

    if (s.light) glEnable(GL_LIGHTING);
    const float factor = s.depth_cue_factor;
    if (factor != 0) {
        const float a = box.AbsSum() / 6;
        const float d = camera.viewDistance - box.centroid.z - camera.viewOffset.z - camera.flyOffset.z;
        const float fogColor[4] = {s.depthCueColor[0], s.depthCueColor[1], s.depthCueColor[2], 1.0f};
        glFogi(GL_FOG_MODE, GL_LINEAR);
        glFogfv(GL_FOG_COLOR, fogColor);
        glFogf(GL_FOG_START, d - a);
        glFogf(GL_FOG_END, d + (a - 2 * a * factor));
        glEnable(GL_FOG);
    }

    if (s.solid) {
        glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    } else if (s.hidden_lines) {
        glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
        glEnable(GL_POLYGON_OFFSET_FILL);
        glPolygonOffset(1.0f, 1.0f);
        if (s.light) glDisable(GL_LIGHTING);
        CallModelLists(*model_, 1);
        if (s.light) glEnable(GL_LIGHTING);
        glDisable(GL_POLYGON_OFFSET_FILL);
        glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
    } else if (s.wireframe) {
        glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
    }

    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    SetColorAndMaterial(s.Foreground());
    CallModelLists(*model_, 0);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_DECAL);

    if (factor != 0) glDisable(GL_FOG);
    if (s.light) glDisable(GL_LIGHTING);
    if (!s.wireframe) glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
    if (s.texturing) glDisable(GL_TEXTURE_2D);

    if (s.axes) {
        const float length = camera.axisLength;
        const std::array<float, 3> colors[3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
        for (int axis = 0; axis < 3; ++axis) {
            SetColorAndMaterial(colors[axis]);
            glBegin(GL_LINES);
            glVertex3f(0, 0, 0);
            glVertex3f(axis == 0 ? length : 0, axis == 1 ? length : 0, axis == 2 ? length : 0);
            glEnd();
        }
    }

    if (s.bounding_box) {
        bool cullWasOn = false;
        if (s.culling) {
            cullWasOn = glIsEnabled(GL_CULL_FACE);
            glDisable(GL_CULL_FACE);
        }
        SetColorAndMaterial(boundingBoxColor);
        const ViewBox& b = box;
        glBegin(GL_QUAD_STRIP);
        glVertex3f(b.maxX, b.minY, b.maxZ);
        glVertex3f(b.minX, b.minY, b.maxZ);
        glVertex3f(b.maxX, b.maxY, b.maxZ);
        glVertex3f(b.minX, b.maxY, b.maxZ);
        glVertex3f(b.maxX, b.maxY, b.minZ);
        glVertex3f(b.minX, b.maxY, b.minZ);
        glVertex3f(b.maxX, b.minY, b.minZ);
        glVertex3f(b.minX, b.minY, b.minZ);
        glVertex3f(b.maxX, b.minY, b.maxZ);
        glVertex3f(b.minX, b.minY, b.maxZ);
        glEnd();
        if (s.culling && cullWasOn) glEnable(GL_CULL_FACE);
    }

    if (s.texturing) glEnable(GL_TEXTURE_2D);
    glPopMatrix();
    glPopMatrix();
    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    // Leave filled polygons for the overlays.
    glPolygonMode(GL_FRONT_AND_BACK, s.wireframe ? GL_LINE : GL_FILL);
}

void Viewer::DrawFeedback()
{
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    if (!model_) {
        glFlush();
        return;
    }
    const Settings& s = settings_;
    glPushMatrix();
    ApplyProjection(view);
    glLoadIdentity();
    ApplyModelTransformBase(camera, box, s);
    ApplyPivotRotation(camera, box, s, [&](PivotKind pivot) {
        if (s.show_pivot && (pivot == PivotKind::Center || pivot == PivotKind::Mass)) {
            glPassThrough(1.0f);
            PivotPoint(pivot);
        }
    });
    glPassThrough(2.0f);
    glBegin(GL_POINTS);
    glVertex3f(0, 0, 0);
    glEnd();
    glPopMatrix();
    glPopMatrix();
    glFlush();
}

void Viewer::LocatePivot()
{
    std::vector<GLfloat> buffer(256, 0.0f);
    glFeedbackBuffer(256, GL_2D, buffer.data());
    glRenderMode(GL_FEEDBACK);
    DrawFrame(FrameMode::Feedback);
    const GLint count = glRenderMode(GL_RENDER);
    int x = 0, y = 0;
    for (GLint i = 0; i < count && i < 256; ++i) {
        if (buffer[i] == kFeedbackPoint && i + 2 < count) {
            x = static_cast<int>(buffer[i + 1]);
            y = static_cast<int>(buffer[i + 2]);
            i += 2;
        } else if (buffer[i] == static_cast<float>(GL_PASS_THROUGH_TOKEN) && i + 1 < count) {
            ++i;  // the marker value
        }
    }
    camera.pivotScreenX = x;
    camera.pivotScreenY = y;
}

}  // namespace solvane
