#include "viewer/overlay.h"

#include <GL/gl.h>

namespace solvane {

OverlayPass BeginOverlay(double left, double right, double bottom, double top)
{
    OverlayPass pass;
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(left, right, bottom, top, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glDepthMask(GL_FALSE);
    glDisable(GL_DEPTH_TEST);
    // The quads are counter-clockwise; with clockwise front faces culling would drop them.
    pass.cullingWasOn = glIsEnabled(GL_CULL_FACE);
    glDisable(GL_CULL_FACE);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glDisable(GL_TEXTURE_GEN_S);
    glDisable(GL_TEXTURE_GEN_T);
    glDisable(GL_TEXTURE_GEN_R);
    glDisable(GL_TEXTURE_GEN_Q);
    return pass;
}

void EndOverlay(const OverlayPass& pass, const Settings& settings)
{
    if (settings.texturing) glEnable(GL_TEXTURE_2D); else glDisable(GL_TEXTURE_2D);
    if (pass.cullingWasOn) glEnable(GL_CULL_FACE);
    glEnable(GL_DEPTH_TEST);
    glDepthMask(GL_TRUE);
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
}

void OverlayQuad(float left, float bottom, float right, float top)
{
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0);
    glVertex2f(left, bottom);
    glTexCoord2f(1, 0);
    glVertex2f(right, bottom);
    glTexCoord2f(1, 1);
    glVertex2f(right, top);
    glTexCoord2f(0, 1);
    glVertex2f(left, top);
    glEnd();
}

}  // namespace solvane
