// shader_sources.h: the GLSL sources built into the program, by key.
//
// Usage:
//     for (const ShaderSource& s : builtInShaders()) programs.addShader(s.key, s.type, s.text);
//     const ShaderSource* pp = findBuiltInShader("PP_FRAG");   // null if missing
// The texts are fixed byte for byte (their lengths are checked by the tests):
// several lines end in a space or carry several statements joined by tabs, and
// none ends in a line feed.
#pragma once

#include <array>
#include <string_view>

#include "gfx/gl_api.h"

struct ShaderSource {
    std::string_view key;  // ends in _VERT or _FRAG
    GLenum type;           // GL_VERTEX_SHADER or GL_FRAGMENT_SHADER
    const char* text;      // NUL-terminated
};

const std::array<ShaderSource, 12>& builtInShaders();

// Returns null if missing.
const ShaderSource* findBuiltInShader(std::string_view key);
