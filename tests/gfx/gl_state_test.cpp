// The draw state and the pass scope, read back from GL.
#include <gtest/gtest.h>

#include <vector>

#include "gfx/gl_state.h"
#include "tests/support/gl_context.h"

namespace {

// Every switch the draw state sets, as GL reports it, in the rows' order: blend,
// depth, cull, lighting, stencil, 2D texturing on units 0 and 1, then the blend
// equation and its source and destination factors.
std::vector<GLint> switches()
{
    std::vector<GLint> read;
    for (GLenum capability : {GL_BLEND, GL_DEPTH_TEST, GL_CULL_FACE, GL_LIGHTING, GL_STENCIL_TEST})
        read.push_back(glIsEnabled(capability));
    for (GLenum unit : {GL_TEXTURE0, GL_TEXTURE1}) {
        glActiveTexture(unit);
        read.push_back(glIsEnabled(GL_TEXTURE_2D));
    }
    for (GLenum blend : {GL_BLEND_EQUATION_RGB, GL_BLEND_SRC_RGB, GL_BLEND_DST_RGB})
        read.push_back(integer(blend));
    return read;
}

}  // namespace

TEST(GlState, EveryDrawStateReachesGlWholeOverTheOppositeOne)
{
    REQUIRE_GL();
    constexpr DrawState kAllOn = {Blend::Alpha, true, true, Texturing::Units0And1, true, true};
    const struct {
        DrawState before, state;
        std::vector<GLint> expected;
    } rows[] = {
        {{}, kAllOn, {1, 1, 1, 1, 1, 1, 1, GL_FUNC_ADD, GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA}},
        {kAllOn, {}, {0, 0, 0, 0, 0, 0, 0, GL_FUNC_ADD, GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA}},
        {kAllOn, {.blend = Blend::Add, .texturing = Texturing::Unit0},
            {1, 0, 0, 0, 0, 1, 0, GL_FUNC_ADD, GL_ONE, GL_ONE}},
        {{.blend = Blend::Alpha, .texturing = Texturing::Unit0}, {.blend = Blend::ReverseSubtract, .cullFace = true},
            {1, 0, 1, 0, 0, 0, 0, GL_FUNC_REVERSE_SUBTRACT, GL_ONE, GL_ONE}},
        {{.blend = Blend::ReverseSubtract}, {.blend = Blend::Alpha, .depthTest = true, .stencilTest = true},
            {1, 1, 0, 0, 1, 0, 0, GL_FUNC_ADD, GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA}},
    };
    for (const auto& row : rows) {
        applyDrawState(row.before);
        glActiveTexture(GL_TEXTURE1);
        applyDrawState(row.state);
        EXPECT_EQ(switches(), row.expected);
    }
    applyDrawState({});
}

// A target's setup is held by the show's frames; the window's here, at a
// viewport off the origin, which no pass of the show uses.
TEST(GlState, APassScopeBindsItsWholeSetupAndGivesBackWhatItFound)
{
    REQUIRE_GL();
    auto bound = [] {
        std::vector<GLint> read = integers(GL_VIEWPORT, 4);
        for (GLenum name : {GL_FRAMEBUFFER_BINDING_EXT, GL_DRAW_BUFFER0, GL_CURRENT_PROGRAM, GL_PROJECTION_STACK_DEPTH,
                 GL_MODELVIEW_STACK_DEPTH})
            read.push_back(integer(name));
        return read;
    };
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    setViewport(3, 4, 50, 60);
    const std::vector<GLint> before = bound();
    const GLint p = before[7], m = before[8];
    {
        PassScope pass({.viewport = {1, 2, 30, 40}, .matrices = Matrices::Saved});
        EXPECT_EQ(bound(), (std::vector<GLint> {1, 2, 30, 40, 0, GL_BACK, 0, p + 1, m + 1}));
    }
    EXPECT_EQ(bound(), before);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}
