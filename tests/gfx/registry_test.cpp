// Texture and program registries on a real GL context.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>

#include "gfx/program_registry.h"
#include "gfx/texture_registry.h"
#include "gl_test_context.h"

namespace {

std::vector<uint8_t> readTexels(const TextureEntry& entry) {
    std::vector<uint8_t> texels(static_cast<size_t>(entry.width) * entry.height * 4, 0xEE);
    glBindTexture(GL_TEXTURE_2D, entry.glName);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
    return texels;
}

constexpr const char* kVertex = "void main() { gl_Position = ftransform(); }";
constexpr const char* kFragment =
    "uniform vec2 offsets[3]; uniform vec3 tint; uniform mat4 m; uniform sampler2D tex;\n"
    "void main() { gl_FragColor = vec4(offsets[0] + offsets[1] + offsets[2], tint.x, 1.0) * m[0]"
    " + texture2D(tex, vec2(0.5)); }";

}  // namespace

TEST(TextureRegistry, LookupsAreExactAndFirstMatchWins) {
    REQUIRE_GL();
    TextureRegistry textures;
    const std::array<uint8_t, 4> red = {255, 0, 0, 255};
    const std::array<uint8_t, 4> blue = {0, 0, 255, 255};
    TextureEntry& first = textures.addTexture("PLUS", 1, 1, 0, red.data(), GL_NEAREST, GL_NEAREST);
    textures.addTexture("PLUS", 1, 1, 0, blue.data(), GL_NEAREST, GL_NEAREST);
    TextureEntry& other = textures.addMipmappedTexture("DOT", 1, 1, blue.data());

    EXPECT_EQ(textures.findTexture("PLUS"), &first);
    EXPECT_EQ(readTexels(*textures.findTexture("PLUS")), std::vector<uint8_t>(red.begin(), red.end()));
    EXPECT_EQ(textures.findTexture("plus"), nullptr);
    EXPECT_EQ(textures.findTexture("PLU"), nullptr);
    EXPECT_EQ(textures.findTexture("PLUS "), nullptr);
    EXPECT_EQ(textures.findTexture("MISSING"), nullptr);

    // Adding more entries never moves the earlier ones.
    for (int i = 0; i < 100; ++i) textures.addTexture("FILL", 1, 1, 0, nullptr, GL_LINEAR, GL_LINEAR);
    EXPECT_EQ(textures.findTexture("PLUS"), &first);
    EXPECT_EQ(textures.findTexture("DOT"), &other);
    EXPECT_EQ(other.wrap, static_cast<GLenum>(GL_REPEAT));
    EXPECT_EQ(other.minFilter, static_cast<GLenum>(GL_LINEAR_MIPMAP_LINEAR));
    EXPECT_EQ(other.mipmapMode, 1);
    EXPECT_EQ(first.wrap, static_cast<GLenum>(GL_CLAMP_TO_EDGE));
    textures.destroyTextures();
}

TEST(TextureRegistry, NullPixelsGiveAnAllZeroTextureAndCallerDataIsCopied) {
    REQUIRE_GL();
    TextureRegistry textures;
    TextureEntry& blank = textures.addTexture("BLANK", 8, 4, 0, nullptr, GL_LINEAR, GL_LINEAR);
    EXPECT_EQ(blank.pixels, std::vector<uint8_t>(8 * 4 * 4, 0));
    EXPECT_EQ(readTexels(blank), std::vector<uint8_t>(8 * 4 * 4, 0));

    std::vector<uint8_t> source(16 * 16 * 4);
    for (size_t i = 0; i < source.size(); ++i) source[i] = static_cast<uint8_t>(i);
    TextureEntry& copied = textures.addMipmappedTexture("COPY", 16, 16, source.data());
    std::fill(source.begin(), source.end(), 0);
    EXPECT_EQ(copied.pixels[5], 5);
    EXPECT_EQ(readTexels(copied)[5], 5);

    // A mipmapped blank texture is zero at every level, not only the first.
    TextureEntry& blankMip = textures.addMipmappedTexture("BLANK_MIP", 16, 16, nullptr);
    glBindTexture(GL_TEXTURE_2D, blankMip.glName);
    std::array<uint8_t, 4> smallest{9, 9, 9, 9};
    glGetTexImage(GL_TEXTURE_2D, 4, GL_RGBA, GL_UNSIGNED_BYTE, smallest.data());
    EXPECT_EQ(smallest, (std::array<uint8_t, 4>{0, 0, 0, 0}));
    textures.destroyTextures();
}

TEST(TextureRegistry, RenderTargetBindsItsViewportAndRestoresTheWindow) {
    REQUIRE_GL();
    TextureRegistry textures;
    TextureEntry& colour = textures.addTexture("T", 320, 180, 0, nullptr, GL_LINEAR, GL_LINEAR);
    RenderTarget& target = textures.addRenderTarget("RT_T", colour);
    EXPECT_EQ(textures.findRenderTarget("RT_T"), &target);
    EXPECT_EQ(textures.findRenderTarget("rt_t"), nullptr);
    EXPECT_EQ(target.width, 320);
    EXPECT_EQ(target.height, 180);
    ASSERT_EQ(target.attachments.size(), 1u);
    EXPECT_EQ(target.attachments[0].texture, &colour);

    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    glViewport(3, 4, 50, 60);
    TextureRegistry::bindRenderTarget(target);
    GLint viewport[4];
    GLint bound = 0;
    glGetIntegerv(GL_VIEWPORT, viewport);
    glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &bound);
    EXPECT_EQ(std::vector<GLint>(viewport, viewport + 4), (std::vector<GLint>{0, 0, 320, 180}));
    EXPECT_EQ(static_cast<GLuint>(bound), target.fbo);
    EXPECT_EQ(glCheckFramebufferStatusEXT(GL_FRAMEBUFFER_EXT), static_cast<GLenum>(GL_FRAMEBUFFER_COMPLETE_EXT));

    // Drawing lands in the texture.
    glClearColor(0, 1, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    TextureRegistry::unbindRenderTarget();
    glGetIntegerv(GL_VIEWPORT, viewport);
    glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &bound);
    EXPECT_EQ(std::vector<GLint>(viewport, viewport + 4), (std::vector<GLint>{3, 4, 50, 60}));
    EXPECT_EQ(bound, 0);
    EXPECT_EQ(readTexels(colour)[1], 255);
    textures.destroyTextures();
}

TEST(TextureRegistry, DestroyDeletesEachObjectOnceAndForgetsEverything) {
    REQUIRE_GL();
    TextureRegistry textures;
    TextureEntry& a = textures.addTexture("A", 4, 4, 0, nullptr, GL_LINEAR, GL_LINEAR);
    TextureEntry& b = textures.addTexture("B", 4, 4, 0, nullptr, GL_LINEAR, GL_LINEAR);
    RenderTarget& target = textures.addRenderTarget("RT", a);
    textures.attachTexture(target, b, GL_COLOR_ATTACHMENT1_EXT);
    ASSERT_EQ(target.attachments.size(), 2u);
    EXPECT_EQ(target.attachments[0].point, static_cast<GLenum>(GL_COLOR_ATTACHMENT0_EXT));
    EXPECT_EQ(target.attachments[1].texture, &b);
    EXPECT_EQ(target.attachments[1].point, static_cast<GLenum>(GL_COLOR_ATTACHMENT1_EXT));
    const GLuint names[2] = {a.glName, b.glName};

    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    textures.destroyTextures();
    EXPECT_FALSE(glIsTexture(names[0]));
    EXPECT_FALSE(glIsTexture(names[1]));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    EXPECT_EQ(textures.textureCount(), 0u);
    EXPECT_EQ(textures.renderTargetCount(), 0u);
    EXPECT_EQ(textures.findTexture("A"), nullptr);
    EXPECT_EQ(textures.findRenderTarget("RT"), nullptr);
}

TEST(ProgramRegistry, MissingOrFailedShadersCreateNoProgram) {
    REQUIRE_GL();
    ProgramRegistry programs;
    EXPECT_TRUE(programs.addShader("V", GL_VERTEX_SHADER, kVertex));
    EXPECT_TRUE(programs.addShader("F", GL_FRAGMENT_SHADER, kFragment));
    EXPECT_EQ(programs.addProgram("P", "NOPE", "F"), nullptr);
    EXPECT_EQ(programs.addProgram("P", "V", "nope"), nullptr);
    EXPECT_EQ(programs.programCount(), 0u);

    EXPECT_FALSE(programs.addShader("BROKEN", GL_FRAGMENT_SHADER, "void main() { syntax error }"));
    EXPECT_FALSE(programs.lastLog().empty());
    EXPECT_EQ(programs.findShader("BROKEN"), nullptr);
    EXPECT_EQ(programs.addProgram("P", "V", "BROKEN"), nullptr);
    EXPECT_EQ(programs.shaderCount(), 3u);

    // Two shaders compile, but the fragment stage calls a function nobody defines.
    ASSERT_TRUE(programs.addShader("UNRESOLVED", GL_FRAGMENT_SHADER,
                                   "vec4 elsewhere(); void main() { gl_FragColor = elsewhere(); }"));
    ProgramEntry* unlinked = programs.addProgram("BAD", "V", "UNRESOLVED");
    ASSERT_NE(unlinked, nullptr);
    EXPECT_FALSE(unlinked->linked);
    EXPECT_FALSE(programs.lastLog().empty());
    EXPECT_EQ(programs.findProgram("BAD"), unlinked);
    programs.destroyPrograms();
}

TEST(ProgramRegistry, ProgramsShareShadersAndFindTheirOwnSlots) {
    REQUIRE_GL();
    ProgramRegistry programs;
    ASSERT_TRUE(programs.addShader("V", GL_VERTEX_SHADER, kVertex));
    ASSERT_TRUE(programs.addShader("F", GL_FRAGMENT_SHADER, kFragment));
    ProgramEntry* one = programs.addProgram("ONE", "V", "F");
    ProgramEntry* two = programs.addProgram("TWO", "V", "F");
    ASSERT_TRUE(one && two && one->linked && two->linked);
    GLuint shadersOne[2] = {}, shadersTwo[2] = {};
    glGetAttachedShaders(one->glProgram, 2, nullptr, shadersOne);
    glGetAttachedShaders(two->glProgram, 2, nullptr, shadersTwo);
    EXPECT_EQ(std::vector<GLuint>(shadersOne, shadersOne + 2), std::vector<GLuint>(shadersTwo, shadersTwo + 2));

    programs.addUniform(*one, UniformType::Vec2, "offsets");
    programs.addUniform(*one, UniformType::Vec3, "unused_name");
    EXPECT_NE(ProgramRegistry::findUniform(*one, "offsets"), nullptr);
    EXPECT_EQ(ProgramRegistry::findUniform(*one, "Offsets"), nullptr);
    EXPECT_EQ(ProgramRegistry::findUniform(*two, "offsets"), nullptr);
    EXPECT_EQ(ProgramRegistry::findUniform(*one, "unused_name")->location, -1);
    EXPECT_EQ(programs.findProgram("ONE"), one);
    EXPECT_EQ(programs.findProgram("one"), nullptr);

    const GLuint programNames[2] = {one->glProgram, two->glProgram};
    const GLuint shaderNames[2] = {shadersOne[0], shadersOne[1]};
    programs.destroyPrograms();
    // The loader does not fetch these two; the test asks the driver itself.
    auto isProgram = reinterpret_cast<PFNGLISPROGRAMPROC>(SDL_GL_GetProcAddress("glIsProgram"));
    auto isShader = reinterpret_cast<PFNGLISSHADERPROC>(SDL_GL_GetProcAddress("glIsShader"));
    ASSERT_TRUE(isProgram && isShader);
    for (GLuint name : programNames) EXPECT_FALSE(isProgram(name));
    for (GLuint name : shaderNames) EXPECT_FALSE(isShader(name));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    EXPECT_EQ(programs.findProgram("ONE"), nullptr);
}

TEST(ProgramRegistry, SettersUploadAccordingToTheSlotType) {
    REQUIRE_GL();
    ProgramRegistry programs;
    ASSERT_TRUE(programs.addShader("V", GL_VERTEX_SHADER, kVertex));
    ASSERT_TRUE(programs.addShader("F", GL_FRAGMENT_SHADER, kFragment));
    ProgramEntry* p = programs.addProgram("P", "V", "F");
    ASSERT_TRUE(p && p->linked);
    programs.addUniform(*p, UniformType::Vec2, "offsets");
    programs.addUniform(*p, UniformType::Vec3, "tint");
    programs.addUniform(*p, UniformType::Mat4, "m");
    programs.addUniform(*p, UniformType::Int, "tex");
    glUseProgram(p->glProgram);

    const UniformSlot& offsets = *ProgramRegistry::findUniform(*p, "offsets");
    const float six[6] = {1, 2, 3, 4, 5, 6};
    ProgramRegistry::setArray(offsets, six, 3);
    GLfloat got[4] = {};
    glGetUniformfv(p->glProgram, glGetUniformLocation(p->glProgram, "offsets[2]"), got);
    EXPECT_EQ(got[0], 5.0f);
    EXPECT_EQ(got[1], 6.0f);

    const UniformSlot& tint = *ProgramRegistry::findUniform(*p, "tint");
    ProgramRegistry::setFloats(tint, 0.5f, 0.25f, 0.125f, 99.0f);
    glGetUniformfv(p->glProgram, tint.location, got);
    EXPECT_EQ(got[0], 0.5f);
    EXPECT_EQ(got[1], 0.25f);
    EXPECT_EQ(got[2], 0.125f);
    UniformSlot tintAsInt = tint;
    tintAsInt.type = UniformType::Int;
    ProgramRegistry::setFloats(tintAsInt, 7.0f);
    ProgramRegistry::setInt(tint, 3);
    glGetUniformfv(p->glProgram, tint.location, got);
    EXPECT_EQ(got[0], 0.5f);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

    float matrix[16];
    for (int i = 0; i < 16; ++i) matrix[i] = static_cast<float>(i);
    ProgramRegistry::setArray(*ProgramRegistry::findUniform(*p, "m"), matrix, 7);
    GLfloat gotMatrix[16] = {};
    glGetUniformfv(p->glProgram, glGetUniformLocation(p->glProgram, "m"), gotMatrix);
    EXPECT_EQ(std::vector<float>(gotMatrix, gotMatrix + 16), std::vector<float>(matrix, matrix + 16));

    ProgramRegistry::setInt(*ProgramRegistry::findUniform(*p, "tex"), 1);
    GLint unit = -1;
    glGetUniformiv(p->glProgram, glGetUniformLocation(p->glProgram, "tex"), &unit);
    EXPECT_EQ(unit, 1);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    glUseProgram(0);
    programs.destroyPrograms();
}
