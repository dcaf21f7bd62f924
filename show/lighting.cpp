// lighting.cpp: light 0, materials, the light's view and the shadowed backdrop.
#include "show/lighting.h"

#include <GL/glu.h>

#include "gfx/gl_api.h"
#include "gfx/program_registry.h"
#include "gfx/texture_registry.h"
#include "scene/material.h"
#include "scene/show_state.h"
#include "show/show_frame_state.h"

namespace {

// The light sits above and behind the elements; its shadow view looks along -z.
constexpr std::array<float, 4> kLightPosition = {-4.0f, 5.0f, -6.0f, 1.0f};
constexpr double kLightEye[3] = {-4.0, 5.0, 0.0};
constexpr double kLightTarget[3] = {-4.0, 5.0, -12.0};
constexpr float kLightOrthoHalf = 20.0f;
constexpr float kLightNear = 0.1f;
constexpr float kLightFar = 100.0f;

struct BackdropVertex {
    float nx, ny, nz;
    float x, y, z;
};

// Floor, then back wall; both extend far past anything the camera sees.
constexpr BackdropVertex kBackdrop[8] = {
    {0, 1, 0, -210, 0, 14},
    {0, 1, 0, 210, 0, 14},
    {0, 1, 0, 210, 0, -14},
    {0, 1, 0, -210, 0, -14},
    {0, 0, 1, -210, 98, -14},
    {0, 0, 1, 210, 98, -14},
    {0, 0, 1, 210, 0, -14},
    {0, 0, 1, -210, 0, -14},
};

void bindTextureForSampler(const TextureEntry* texture, GLenum unit, const UniformSlot* sampler)
{
    if (!texture)
        return;
    glActiveTexture(unit);
    glBindTexture(texture->target, texture->glName);
    if (sampler)
        ProgramRegistry::setInt(*sampler, static_cast<int>(unit - GL_TEXTURE0));
}

}  // namespace

LightValues lightFor(float lightLevel)
{
    LightValues l;
    const float ambient = 0.5f * lightLevel;
    const float diffuse = 0.75f * lightLevel;
    const float specular = 0.8f * lightLevel;
    l.ambient = {ambient, ambient, ambient, 1.0f};
    l.diffuse = {diffuse, diffuse, diffuse, 1.0f};
    l.specular = {specular, specular, specular, 1.0f};
    l.position = kLightPosition;
    l.constantAttenuation = 0.01f;
    l.linearAttenuation = 0.0025f;
    l.quadraticAttenuation = 0.005f;
    return l;
}

void setupLight(float lightLevel)
{
    const LightValues l = lightFor(lightLevel);
    glLightfv(GL_LIGHT0, GL_AMBIENT, l.ambient.data());
    glLightfv(GL_LIGHT0, GL_DIFFUSE, l.diffuse.data());
    glLightfv(GL_LIGHT0, GL_SPECULAR, l.specular.data());
    glLightfv(GL_LIGHT0, GL_POSITION, l.position.data());
    glLightf(GL_LIGHT0, GL_CONSTANT_ATTENUATION, l.constantAttenuation);
    glLightf(GL_LIGHT0, GL_LINEAR_ATTENUATION, l.linearAttenuation);
    glLightf(GL_LIGHT0, GL_QUADRATIC_ATTENUATION, l.quadraticAttenuation);
}

void setupLightView(LightMatrices& matrices)
{
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-kLightOrthoHalf, kLightOrthoHalf, -kLightOrthoHalf, kLightOrthoHalf, kLightNear, kLightFar);
    glGetFloatv(GL_PROJECTION_MATRIX, matrices.projection.data());

    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluLookAt(
        kLightEye[0], kLightEye[1], kLightEye[2], kLightTarget[0], kLightTarget[1], kLightTarget[2], 0.0, 1.0, 0.0);
    glGetFloatv(GL_MODELVIEW_MATRIX, matrices.view.data());

    matrices.projectionView = multiplyMatrices(matrices.projection, matrices.view);
}

void drawShadowedBackdrop(ShowFrameState& show)
{
    const ShowState& scene = show.scene;
    const FrameValues& frame = show.frame;
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    setupLight(frame.lightLevel);
    applyMaterial(paletteColour(scene, 2), 1.0f);

    glLoadIdentity();
    gluLookAt(frame.cameraEye.x, frame.cameraEye.y, frame.cameraEye.z, frame.cameraTarget.x, frame.cameraTarget.y,
        frame.cameraTarget.z, 0.0, 1.0, 0.0);

    const ShowAssets& assets = show.assets;
    const ShadowedProgram& program = assets.programs.ppShadowed;
    ProgramRegistry::setArray(*program.lightProjectionView, show.light.projectionView.data(), 1);
    bindTextureForSampler(assets.targets.blur2.picture, GL_TEXTURE0, program.shadowMap);
    bindTextureForSampler(assets.images[ImageId::Light], GL_TEXTURE1, program.lightMap);

    glBegin(GL_QUADS);
    for (const BackdropVertex& v : kBackdrop) {
        glNormal3f(v.nx, v.ny, v.nz);
        glVertex3f(v.x, v.y, v.z);
    }
    glEnd();
}
