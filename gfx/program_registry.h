// program_registry.h: named GLSL shaders and programs with their uniform slots.
//
// Usage:
//     programs.addShader("PP_VERT", GL_VERTEX_SHADER, source);
//     programs.addShader("PP_FRAG", GL_FRAGMENT_SHADER, source);
//     ProgramEntry* p = programs.addProgram("PP", "PP_VERT", "PP_FRAG");
//     programs.addUniform(*p, UniformType::Float, "pixelate");
//     glUseProgram(p->glProgram);
//     if (UniformSlot* s = ProgramRegistry::findUniform(*p, "pixelate")) ProgramRegistry::setFloats(*s, 64.0f);
//     glUseProgram(0);
// The registry never changes the current program: setters act on whatever
// program is current. Keys and uniform names compare byte for byte, first match
// wins. Programs never move; a slot pointer stays valid until the next addUniform
// on the same program. Building and destroyPrograms() need the GL context
// current; the destructor frees memory only.
#pragma once

#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "gfx/gl_api.h"

// One bit per GLSL type; sampler2D slots are Int (the value is a texture unit).
enum class UniformType : int {
    Float = 1,
    Vec2 = 2,
    Vec3 = 4,
    Vec4 = 8,
    Int = 16,
    IVec2 = 32,
    IVec3 = 64,
    IVec4 = 128,
    Mat4 = 256
};

struct UniformSlot {
    GLint location = -1;  // -1 when the program has no active uniform of that name
    std::string name;
    UniformType type = UniformType::Float;
};

struct ShaderEntry {
    GLuint glShader = 0;
    GLenum type = GL_VERTEX_SHADER;
    std::string key;  // empty when compilation failed: such an entry is never found
    bool compiled = false;
};

struct ProgramEntry {
    std::vector<UniformSlot> uniforms;  // in registration order
    GLuint glProgram = 0;
    std::string key;
    bool linked = false;  // GL_LINK_STATUS; a program that failed to link is still registered
};

class ProgramRegistry {
public:
    ProgramRegistry() = default;
    ProgramRegistry(const ProgramRegistry&) = delete;
    ProgramRegistry& operator=(const ProgramRegistry&) = delete;

    // Compiles `source` (NUL-terminated) and appends the entry, also when the
    // compile fails. Returns true when it compiled; otherwise lastLog() holds the
    // compiler's info log and the entry has no key.
    bool addShader(std::string_view key, GLenum type, const char* source);
    // Returns null if missing or if its compile failed.
    ShaderEntry* findShader(std::string_view key);
    // Links a program from two compiled shaders and appends it. Returns null (and
    // creates nothing) if a shader key is missing. A link failure still registers
    // and returns the program, with `linked` false and the log in lastLog().
    ProgramEntry* addProgram(std::string_view key, std::string_view vertexKey, std::string_view fragmentKey);
    // Returns null if missing; first match wins.
    ProgramEntry* findProgram(std::string_view key);

    // Looks up the location (the program need not be current) and appends a slot.
    void addUniform(ProgramEntry& program, UniformType type, std::string_view name);
    // Returns null if missing.
    static UniformSlot* findUniform(ProgramEntry& program, std::string_view name);

    // `values` holds `count` elements of the slot's type (floats, or ints for the
    // Int types); a Mat4 slot always takes one column-major matrix.
    static void setArray(const UniformSlot& slot, const void* values, int count);
    // Float, Vec2, Vec3, Vec4 only; components beyond the type's size are ignored.
    static void setFloats(const UniformSlot& slot, float x, float y = 0, float z = 0, float w = 0);
    // Int only (sampler slots take the texture unit number).
    static void setInt(const UniformSlot& slot, int value);

    // Info log of the last failed compile or link; empty after a success.
    const std::string& lastLog() const { return lastLog_; }

    // Deletes every GL program, then every GL shader, once; then forgets them all.
    void destroyPrograms();

    size_t shaderCount() const { return shaders_.size(); }
    size_t programCount() const { return programs_.size(); }

private:
    std::deque<ShaderEntry> shaders_;
    std::deque<ProgramEntry> programs_;
    std::string lastLog_;
};
