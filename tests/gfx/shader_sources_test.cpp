// The built-in shader texts: exact lengths, and every program builds on this GL.
#include <gtest/gtest.h>

#include <cstring>
#include <map>

#include "gfx/asset_catalogue.h"
#include "gfx/program_registry.h"
#include "gfx/shader_sources.h"
#include "gl_test_context.h"

TEST(ShaderSources, TextsHaveTheirExactLengthsAndShape) {
    const std::map<std::string_view, size_t> lengths = {
        {"PP_SHADOWED_VERT", 618}, {"PP_SHADOWED_FRAG", 1534}, {"PP_VERT", 504}, {"PP_FRAG", 993},
        {"SHADOWPASS_VERT", 113}, {"SHADOWPASS_FRAG", 54}, {"SHADOWPASSTEXTURED_VERT", 150},
        {"SHADOWPASSTEXTURED_FRAG", 320}, {"STANDARD_VERT", 177}, {"OVERLAY_FRAG", 604},
        {"SEPBLUR_VERT", 460}, {"SEPBLUR_FRAG", 500}};
    ASSERT_EQ(builtInShaders().size(), lengths.size());
    for (const ShaderSource& source : builtInShaders()) {
        EXPECT_EQ(std::strlen(source.text), lengths.at(source.key)) << source.key;
        EXPECT_EQ(source.type, static_cast<GLenum>(source.key.ends_with("_VERT") ? GL_VERTEX_SHADER : GL_FRAGMENT_SHADER));
        EXPECT_EQ(findBuiltInShader(source.key), &source);
    }
    EXPECT_EQ(findBuiltInShader("pp_vert"), nullptr);
    // A trailing space, and an indented last line with no line feed after it.
    EXPECT_STREQ(findBuiltInShader("SHADOWPASS_FRAG")->text, "#version 120\nvoid main()\n{\n\tgl_FragColor = vec4(1);\n} ");
    EXPECT_TRUE(std::string_view(findBuiltInShader("STANDARD_VERT")->text).ends_with("\n   globalColor = gl_Color;}"));
}

TEST(ShaderSources, EveryBuiltInProgramCompilesLinksAndGetsItsSlots) {
    REQUIRE_GL();
    ProgramRegistry programs;
    std::string error;
    ASSERT_TRUE(buildPrograms(programs, error)) << error;
    EXPECT_EQ(programs.shaderCount(), 12u);
    EXPECT_EQ(programs.programCount(), 6u);
    using Slots = std::vector<std::pair<std::string_view, UniformType>>;
    const std::map<std::string_view, Slots> slots = {
        {"PP_SHADOWED", {{"lightProjectionView", UniformType::Mat4}, {"shadowMap", UniformType::Int}, {"lightMap", UniformType::Int}}},
        {"PP", {{"tex", UniformType::Int}, {"pixelate", UniformType::Float}}},
        {"SHADOW_PASS", {}},
        {"SHADOW_PASS_TEXTURED", {{"tex", UniformType::Int}, {"pixelate", UniformType::Float}}},
        {"OVERLAY", {{"tex", UniformType::Int}, {"bleedOffset", UniformType::Vec2}, {"bleedStrength", UniformType::Vec3}}},
        {"SEPBLUR", {{"offsets", UniformType::Vec2}}}};
    for (const auto& [key, expected] : slots) {
        ProgramEntry* program = programs.findProgram(key);
        ASSERT_TRUE(program && program->linked) << key;
        ASSERT_EQ(program->uniforms.size(), expected.size()) << key;
        for (size_t i = 0; i < expected.size(); ++i) {
            const UniformSlot& slot = program->uniforms[i];
            EXPECT_EQ(std::pair(std::string_view(slot.name), slot.type), expected[i]) << key;
            // The light map's sample feeds a value the shader never uses, so the
            // compiler drops it and that one slot stays at -1.
            EXPECT_EQ(slot.location == -1, slot.name == "lightMap") << key << " " << slot.name;
        }
    }
    GLint current = -1;
    glGetIntegerv(GL_CURRENT_PROGRAM, &current);
    EXPECT_EQ(current, 0);
    programs.destroyPrograms();
}
