// camera_projection.cpp: the camera's viewport and perspective.
#include "show/camera_projection.h"

#include <GL/glu.h>

#include "gfx/gl_api.h"
#include "gfx/gl_state.h"

void setupCameraProjection(int x, int y, int width, int height)
{
    const float aspect = static_cast<float>(width) / static_cast<float>(height);
    setViewport(x, y, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(static_cast<double>(93.1f), static_cast<double>(aspect), static_cast<double>(0.01f),
        static_cast<double>(10000.0f));
    glMatrixMode(GL_MODELVIEW);
}
