// The draw state, the viewport and the render target scopes, read back from GL.
#include <gtest/gtest.h>

#include <vector>

#include "gfx/gl_state.h"
#include "gfx/texture_registry.h"
#include "tests/support/gl_context.h"

namespace {

// Every switch the draw state sets, as GL reports it: blend, depth, cull,
// lighting, stencil, 2D texturing on unit 0 and unit 1, the blend equation,
// source and destination factors, and the active unit.
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
        EXPECT_EQ(integer(GL_ACTIVE_TEXTURE), GL_TEXTURE0) << "binds after it must land on unit 0";
        EXPECT_EQ(switches(), row.expected);
    }
    applyDrawState({});
}

TEST(GlState, ScopesGiveBackTheViewportAndTheWindowAndAMissingTargetChangesNothing)
{
    REQUIRE_GL();
    TextureRegistry textures;
    RenderTarget& target
        = textures.addRenderTarget("RT_T", textures.addTexture("T", 320, 180, nullptr, GL_LINEAR, GL_LINEAR));
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    setViewport(3, 4, 50, 60);
    const GLint depth = integer(GL_ATTRIB_STACK_DEPTH);
    const std::vector<GLint> window = {3, 4, 50, 60, 0};
    auto where = [] {
        std::vector<GLint> viewport = integers(GL_VIEWPORT, 4);
        viewport.push_back(integer(GL_FRAMEBUFFER_BINDING_EXT));
        return viewport;
    };
    {
        RenderTargetScope into(&target);
        EXPECT_EQ(where(), (std::vector<GLint> {0, 0, 320, 180, static_cast<GLint>(target.fbo)}));
        {
            ViewportScope inner(1, 2, 30, 40);
            EXPECT_EQ(where(), (std::vector<GLint> {1, 2, 30, 40, static_cast<GLint>(target.fbo)}));
        }
        EXPECT_EQ(where(), (std::vector<GLint> {0, 0, 320, 180, static_cast<GLint>(target.fbo)}));
    }
    EXPECT_EQ(where(), window);
    {
        ViewportScope outer;
        {
            RenderTargetScope missing(nullptr);
            EXPECT_EQ(where(), window);
            setViewport(5, 6, 7, 8);
        }
        EXPECT_EQ(where(), (std::vector<GLint> {5, 6, 7, 8, 0})) << "a missing target has nothing to restore";
    }
    EXPECT_EQ(where(), window);
    EXPECT_EQ(integer(GL_ATTRIB_STACK_DEPTH), depth);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    textures.destroyTextures();
}
