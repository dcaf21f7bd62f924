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
        {"PP_SHADOWED_VERT", 618}, {"PP_SHADOWED_FRAG", 1534}, {"PP_VERT", 504},
        {"PP_FRAG", 993},          {"SHADOWPASS_VERT", 113},   {"SHADOWPASS_FRAG", 54},
        {"SHADOWPASSTEXTURED_VERT", 150}, {"SHADOWPASSTEXTURED_FRAG", 320}, {"STANDARD_VERT", 177},
        {"OVERLAY_FRAG", 604},     {"SEPBLUR_VERT", 460},      {"SEPBLUR_FRAG", 500},
    };
    ASSERT_EQ(builtInShaders().size(), lengths.size());
    for (const ShaderSource& source : builtInShaders()) {
        const size_t length = std::strlen(source.text);
        EXPECT_EQ(length, lengths.at(source.key)) << source.key;
        EXPECT_NE(source.text[length - 1], '\n') << source.key;
        const bool vertex = source.key.ends_with("_VERT");
        EXPECT_EQ(source.type, static_cast<GLenum>(vertex ? GL_VERTEX_SHADER : GL_FRAGMENT_SHADER)) << source.key;
        EXPECT_EQ(findBuiltInShader(source.key), &source);
    }
    EXPECT_EQ(findBuiltInShader("pp_vert"), nullptr);
    // Lines the layout depends on: a trailing space and an indented last line.
    EXPECT_STREQ(findBuiltInShader("SHADOWPASS_FRAG")->text, "#version 120\nvoid main()\n{\n\tgl_FragColor = vec4(1);\n} ");
    EXPECT_TRUE(std::string_view(findBuiltInShader("STANDARD_VERT")->text).ends_with("\n   globalColor = gl_Color;}"));
}

TEST(ShaderSources, EveryBuiltInProgramCompilesAndLinks) {
    REQUIRE_GL();
    ProgramRegistry programs;
    std::string error;
    ASSERT_TRUE(buildPrograms(programs, error)) << error << "\n" << programs.lastLog();
    EXPECT_EQ(programs.shaderCount(), 12u);
    ASSERT_EQ(programs.programCount(), 6u);

    const std::map<std::string_view, std::vector<std::pair<std::string_view, UniformType>>> slots = {
        {"PP_SHADOWED",
         {{"lightProjectionView", UniformType::Mat4}, {"shadowMap", UniformType::Int}, {"lightMap", UniformType::Int}}},
        {"PP", {{"tex", UniformType::Int}, {"pixelate", UniformType::Float}}},
        {"SHADOW_PASS", {}},
        {"SHADOW_PASS_TEXTURED", {{"tex", UniformType::Int}, {"pixelate", UniformType::Float}}},
        {"OVERLAY", {{"tex", UniformType::Int}, {"bleedOffset", UniformType::Vec2}, {"bleedStrength", UniformType::Vec3}}},
        {"SEPBLUR", {{"offsets", UniformType::Vec2}}},
    };
    for (const auto& [key, expected] : slots) {
        ProgramEntry* program = programs.findProgram(key);
        ASSERT_NE(program, nullptr) << key;
        EXPECT_TRUE(program->linked) << key;
        ASSERT_EQ(program->uniforms.size(), expected.size()) << key;
        for (size_t i = 0; i < expected.size(); ++i) {
            EXPECT_EQ(program->uniforms[i].name, expected[i].first) << key;
            EXPECT_EQ(program->uniforms[i].type, expected[i].second) << key;
            // The light map's sample feeds a value the shader never uses, so
            // the compiler drops it and the slot stays at -1.
            const bool optimisedAway = key == "PP_SHADOWED" && expected[i].first == "lightMap";
            if (!optimisedAway) {
                EXPECT_NE(program->uniforms[i].location, -1) << key << " " << expected[i].first;
            }
        }
    }
    GLint current = -1;
    glGetIntegerv(GL_CURRENT_PROGRAM, &current);
    EXPECT_EQ(current, 0);
    programs.destroyPrograms();
}
