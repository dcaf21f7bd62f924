// shader_sources.h: the GLSL sources built into the program, by key.
//
// Usage:
//     for (const ShaderSource& s : builtInShaders()) programs.addShader(s.key, s.type, s.text);
//     const ShaderSource* pp = findBuiltInShader("PP_FRAG");   // null if missing
// The texts are kept byte for byte as the show was recorded with them, odd
// spacing included: several lines end in a space or carry several statements
// joined by tabs, and none ends in a line feed. Only the reference frames
// guard them, and only through what they draw.
#pragma once

#include <span>
#include <string_view>

#include "gfx/gl_api.h"

struct ShaderSource {
    std::string_view key;  // ends in _VERT or _FRAG
    GLenum type;           // GL_VERTEX_SHADER or GL_FRAGMENT_SHADER
    const char* text;      // NUL-terminated
};

std::span<const ShaderSource> builtInShaders();

// Returns null if missing.
const ShaderSource* findBuiltInShader(std::string_view key);
