// material.cpp: element materials, as values and into GL state.
#include "scene/material.h"

#include "gfx/gl_api.h"

MaterialValues materialFor(const Rgba& colour, float level)
{
    MaterialValues m;
    const float lit[3] = {colour.r * level, colour.g * level, colour.b * level};
    for (int i = 0; i < 3; ++i) {
        m.diffuse[i] = lit[i];
        m.ambient[i] = lit[i] * 0.85f * level;
        m.specular[i] = lit[i] * 1.1f * level;
    }
    m.diffuse[3] = m.ambient[3] = m.specular[3] = level;
    m.shininess = 128.0f;
    return m;
}

void applyMaterial(const Rgba& colour, float level)
{
    const MaterialValues m = materialFor(colour, level);
    glColor4fv(m.diffuse.data());
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, m.ambient.data());
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, m.diffuse.data());
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, m.specular.data());
    glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, m.shininess);
}
