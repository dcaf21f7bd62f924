// Texture and program registries on a real GL context.
#include <gtest/gtest.h>

#include <array>

#include "gfx/program_registry.h"
#include "gfx/texture_registry.h"
#include "tests/support/gl_context.h"

namespace {

constexpr const char* kVertex = "void main() { gl_Position = ftransform(); }";
constexpr const char* kFragment = "uniform vec2 offsets; void main() { gl_FragColor = vec4(offsets, 0.0, 1.0); }";

}  // namespace

TEST(TextureRegistry, ExactLookupsAndTargetsThatDeleteOnce)
{
    REQUIRE_GL();
    TextureRegistry textures;
    TextureEntry& first = textures.addTexture("PLUS", 8, 4, nullptr, GL_LINEAR, GL_LINEAR);
    textures.addTexture("PLUS", 1, 1, nullptr, GL_NEAREST, GL_NEAREST);
    EXPECT_EQ(textures.findTexture("PLUS"), &first);
    for (const char* miss : {"plus", "PLU", "PLUS ", "MISSING"})
        EXPECT_EQ(textures.findTexture(miss), nullptr);

    TextureEntry& colour = textures.addTexture("T", 320, 180, nullptr, GL_LINEAR, GL_LINEAR);
    RenderTarget& target = textures.addRenderTarget("RT_T", colour);
    EXPECT_EQ(textures.findRenderTarget("RT_T"), &target);
    EXPECT_EQ(textures.findRenderTarget("RT"), nullptr);

    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    const GLuint names[2] = {first.glName, colour.glName};
    textures.destroyTextures();
    EXPECT_FALSE(glIsTexture(names[0]) || glIsTexture(names[1]));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    EXPECT_EQ(textures.findTexture("T"), nullptr);
    EXPECT_EQ(textures.findRenderTarget("RT_T"), nullptr);
}

TEST(ProgramRegistry, MissingFailedAndUnlinkedShadersThenProgramAndShadersDeleted)
{
    REQUIRE_GL();
    ProgramRegistry programs;
    ASSERT_TRUE(programs.addShader("V", GL_VERTEX_SHADER, kVertex));
    ASSERT_TRUE(programs.addShader("F", GL_FRAGMENT_SHADER, kFragment));
    EXPECT_EQ(programs.addProgram("P", "NOPE", "F"), nullptr);
    EXPECT_EQ(programs.addProgram("P", "V", "nope"), nullptr);
    EXPECT_FALSE(programs.addShader("BROKEN", GL_FRAGMENT_SHADER, "void main() { syntax error }"));
    EXPECT_FALSE(programs.lastLog().empty());
    EXPECT_EQ(programs.addProgram("P", "V", "BROKEN"), nullptr);
    EXPECT_EQ(programs.programCount(), 0u);
    // Both stages compile, but the fragment stage calls a function nobody defines.
    ASSERT_TRUE(programs.addShader(
        "UNRESOLVED", GL_FRAGMENT_SHADER, "vec4 elsewhere(); void main() { gl_FragColor = elsewhere(); }"));
    ProgramEntry* unlinked = programs.addProgram("BAD", "V", "UNRESOLVED");
    ASSERT_NE(unlinked, nullptr);
    EXPECT_FALSE(unlinked->linked);

    ProgramEntry* one = programs.addProgram("ONE", "V", "F");
    ASSERT_TRUE(one && one->linked);
    std::array<GLuint, 2> shaders {};
    glGetAttachedShaders(one->glProgram, 2, nullptr, shaders.data());

    const GLuint program = one->glProgram;
    programs.destroyPrograms();
    // The loader does not fetch these two; the test asks the driver itself.
    auto isProgram = reinterpret_cast<PFNGLISPROGRAMPROC>(SDL_GL_GetProcAddress("glIsProgram"));
    auto isShader = reinterpret_cast<PFNGLISSHADERPROC>(SDL_GL_GetProcAddress("glIsShader"));
    EXPECT_FALSE(isProgram(program));
    for (GLuint name : shaders)
        EXPECT_FALSE(isShader(name));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}
