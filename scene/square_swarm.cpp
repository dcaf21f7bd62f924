// square_swarm.cpp: ring construction, the orbit-angle advance and the box draw.
#include "scene/square_swarm.h"

#include <cmath>

#include "gfx/gl_api.h"
#include "gfx/gl_state.h"
#include "gfx/program_handles.h"
#include "gfx/program_texture.h"
#include "gfx/program_registry.h"
#include "gfx/texture_registry.h"
#include "scene/material.h"
#include "scene/ramp.h"
#include "scene/schedule.h"

namespace {

constexpr float kTwoPi = 6.2831855f;
constexpr float kRingRadius = 12.0f;
constexpr float kCentreX = 0.0f, kCentreZ = -8.0f;
constexpr float kSharpPixelate = 1024.0f;

struct BoxFace {
    float nx, ny, nz;
    float corners[4][3];  // in units of the half size
};

// Four side faces only: the boxes are open along their own y axis.
constexpr BoxFace kFaces[4] = {
    {0, 0, 1, {{-1, 1, 1}, {1, 1, 1}, {1, -1, 1}, {-1, -1, 1}}},
    {0, 0, -1, {{-1, 1, -1}, {1, 1, -1}, {1, -1, -1}, {-1, -1, -1}}},
    {-1, 0, 0, {{-1, 1, -1}, {-1, 1, 1}, {-1, -1, 1}, {-1, -1, -1}}},
    {1, 0, 0, {{1, 1, -1}, {1, 1, 1}, {1, -1, 1}, {1, -1, -1}}},
};
constexpr float kCornerTex[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};

void drawOpenBox(float h)
{
    glBegin(GL_QUADS);
    for (const BoxFace& face : kFaces) {
        for (int c = 0; c < 4; ++c) {
            glTexCoord2f(kCornerTex[c][0], kCornerTex[c][1]);
            glNormal3f(face.nx, face.ny, face.nz);
            glVertex3f(face.corners[c][0] * h, face.corners[c][1] * h, face.corners[c][2] * h);
        }
    }
    glEnd();
}

}  // namespace

void buildSquareSwarm(SquareSwarm& swarm, ShowRandom& random)
{
    for (int j = 0; j < kSwarmBoxCount; ++j) {
        const float z = random.unit() * 3.0f - 1.5f;
        const float a = random.unit() * kTwoPi;
        const float dx = random.unit() * 1.5f - 0.75f;
        const float dy = random.unit() * 1.5f - 0.75f;
        const float sinA = static_cast<float>(std::sin(static_cast<double>(a)));
        const float cosA = static_cast<float>(std::cos(static_cast<double>(a)));
        swarm.ringPosition[j] = Vec4 {sinA * kRingRadius + dx, cosA * kRingRadius + dy, z, 1.0f};
        swarm.spinRate[j] = random.unit() * 0.5f + 0.5f;
        // Drawn from 0..2 pi but used as degrees: every box starts close to its place.
        swarm.spinAngle[j] = random.unit() * kTwoPi;
        swarm.halfSize[j] = random.unit() * 0.25f + 0.15f;
    }
}

float advanceSwarmAngle(float angle, float rate, float step)
{
    const float product = rate * step;
    return static_cast<float>(static_cast<double>(product) * 20.0 + static_cast<double>(angle));
}

void planSquareSwarm(SquareSwarm& swarm, uint32_t t, float step)
{
    if (t <= kSwarmWindow.landedMs)
        swarm.height = fall(swarm.height, 6.0f, step, 15.0f);
    if (t >= kSwarmWindow.liftFromMs)
        swarm.height = rise(swarm.height, 10.0f, step, 45.0f);
}

void advanceSquareSwarm(SquareSwarm& swarm, float step)
{
    for (int j = 0; j < kSwarmBoxCount; ++j)
        swarm.spinAngle[j] = advanceSwarmAngle(swarm.spinAngle[j], swarm.spinRate[j], step);
}

void drawSquareSwarm(
    const SquareSwarm& swarm, const TextureEntry* texture, const TexturedProgram& program, const Rgba& colour)
{
    const float height = swarm.height;
    applyMaterial(colour, 1.0f);
    applyDrawState({.blend = Blend::Off, .texturing = Texturing::Unit0});
    bindProgramTexture(texture, program.tex);
    ProgramRegistry::setFloats(*program.pixelate, kSharpPixelate);
    for (int j = 0; j < kSwarmBoxCount; ++j) {
        const float angle = swarm.spinAngle[j];
        const Vec4& ring = swarm.ringPosition[j];
        glPushMatrix();
        glTranslatef(kCentreX, height, kCentreZ);
        glRotatef(angle, 0.0f, 0.0f, 1.0f);
        glTranslatef(ring.x, ring.y, ring.z);
        glRotatef(angle * 4.0f, 0.5f, 1.0f, 0.1f);
        drawOpenBox(swarm.halfSize[j]);
        glPopMatrix();
    }
}
