// lighting.cpp: light 0, materials, the light's view and the shadowed backdrop.
#include "show/lighting.h"

#include <GL/glu.h>

#include <cmath>

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

Matrix4 orthographic(float left, float right, float bottom, float top, float nearZ, float farZ)
{
    Matrix4 m = kIdentityMatrix;
    m[0] = 2.0f / (right - left);
    m[5] = 2.0f / (top - bottom);
    m[10] = -2.0f / (farZ - nearZ);
    m[12] = -(right + left) / (right - left);
    m[13] = -(top + bottom) / (top - bottom);
    m[14] = -(farZ + nearZ) / (farZ - nearZ);
    return m;
}

void normalise(float v[3])
{
    const float length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    if (length > 0.0f) {
        v[0] /= length;
        v[1] /= length;
        v[2] /= length;
    }
}

void cross(const float a[3], const float b[3], float out[3])
{
    out[0] = a[1] * b[2] - a[2] * b[1];
    out[1] = a[2] * b[0] - a[0] * b[2];
    out[2] = a[0] * b[1] - a[1] * b[0];
}

// The same view gluLookAt builds: rows side, up, -forward, then a move by -eye.
Matrix4 lookAt(const double eye[3], const double target[3], const float upHint[3])
{
    const float e[3] = {static_cast<float>(eye[0]), static_cast<float>(eye[1]), static_cast<float>(eye[2])};
    float forward[3] = {static_cast<float>(target[0] - eye[0]), static_cast<float>(target[1] - eye[1]),
        static_cast<float>(target[2] - eye[2])};
    normalise(forward);
    float side[3];
    cross(forward, upHint, side);
    normalise(side);
    float up[3];
    cross(side, forward, up);

    Matrix4 m = kIdentityMatrix;
    for (int i = 0; i < 3; ++i) {
        m[i * 4 + 0] = side[i];
        m[i * 4 + 1] = up[i];
        m[i * 4 + 2] = -forward[i];
    }
    for (int r = 0; r < 3; ++r)
        m[12 + r] = -(m[r] * e[0] + m[4 + r] * e[1] + m[8 + r] * e[2]);
    return m;
}

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

LightMatrices lightMatricesFromConstants()
{
    LightMatrices m;
    m.projection
        = orthographic(-kLightOrthoHalf, kLightOrthoHalf, -kLightOrthoHalf, kLightOrthoHalf, kLightNear, kLightFar);
    constexpr float up[3] = {0.0f, 1.0f, 0.0f};
    m.view = lookAt(kLightEye, kLightTarget, up);
    m.projectionView = multiplyMatrices(m.projection, m.view);
    return m;
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
