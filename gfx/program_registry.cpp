// program_registry.cpp: shader compilation, program linking and uniform upload.
#include "gfx/program_registry.h"

#include <cstring>

namespace {

std::string shaderLog(GLuint shader)
{
    GLint length = 0;
    glGetShaderiv(shader, GL_INFO_LOG_LENGTH, &length);
    std::string log(static_cast<size_t>(length > 0 ? length : 0), '\0');
    if (length > 0)
        glGetShaderInfoLog(shader, length, nullptr, log.data());
    while (!log.empty() && (log.back() == '\0' || log.back() == '\n'))
        log.pop_back();
    return log;
}

std::string programLog(GLuint program)
{
    GLint length = 0;
    glGetProgramiv(program, GL_INFO_LOG_LENGTH, &length);
    std::string log(static_cast<size_t>(length > 0 ? length : 0), '\0');
    if (length > 0)
        glGetProgramInfoLog(program, length, nullptr, log.data());
    while (!log.empty() && (log.back() == '\0' || log.back() == '\n'))
        log.pop_back();
    return log;
}

}  // namespace

bool ProgramRegistry::addShader(std::string_view key, GLenum type, const char* source)
{
    ShaderEntry& entry = shaders_.emplace_back();
    entry.type = type;
    entry.glShader = glCreateShader(type);
    const GLint length = static_cast<GLint>(std::strlen(source));
    glShaderSource(entry.glShader, 1, &source, &length);
    glCompileShader(entry.glShader);
    GLint status = 0;
    glGetShaderiv(entry.glShader, GL_COMPILE_STATUS, &status);
    if (status == 0) {
        lastLog_ = shaderLog(entry.glShader);
        return false;
    }
    entry.key = key;
    entry.compiled = true;
    lastLog_.clear();
    return true;
}

ShaderEntry* ProgramRegistry::findShader(std::string_view key)
{
    for (ShaderEntry& entry : shaders_) {
        if (entry.compiled && entry.key == key)
            return &entry;
    }
    return nullptr;
}

ProgramEntry* ProgramRegistry::addProgram(
    std::string_view key, std::string_view vertexKey, std::string_view fragmentKey)
{
    ShaderEntry* vertex = findShader(vertexKey);
    ShaderEntry* fragment = findShader(fragmentKey);
    if (!vertex || !fragment)
        return nullptr;
    ProgramEntry& entry = programs_.emplace_back();
    entry.key = key;
    entry.glProgram = glCreateProgram();
    glAttachShader(entry.glProgram, vertex->glShader);
    glAttachShader(entry.glProgram, fragment->glShader);
    glLinkProgram(entry.glProgram);
    GLint status = 0;
    glGetProgramiv(entry.glProgram, GL_LINK_STATUS, &status);
    entry.linked = status != 0;
    if (entry.linked) {
        lastLog_.clear();
    } else {
        lastLog_ = programLog(entry.glProgram);
    }
    return &entry;
}

ProgramEntry* ProgramRegistry::findProgram(std::string_view key)
{
    for (ProgramEntry& entry : programs_) {
        if (entry.key == key)
            return &entry;
    }
    return nullptr;
}

void ProgramRegistry::addUniform(ProgramEntry& program, UniformType type, std::string_view name)
{
    UniformSlot slot;
    slot.name = name;
    slot.location = glGetUniformLocation(program.glProgram, slot.name.c_str());
    slot.type = type;
    program.uniforms.push_back(std::move(slot));
}

UniformSlot* ProgramRegistry::findUniform(ProgramEntry& program, std::string_view name)
{
    for (UniformSlot& slot : program.uniforms) {
        if (slot.name == name)
            return &slot;
    }
    return nullptr;
}

void ProgramRegistry::setArray(const UniformSlot& slot, const void* values, int count)
{
    const auto* f = static_cast<const GLfloat*>(values);
    const auto* i = static_cast<const GLint*>(values);
    switch (slot.type) {
    case UniformType::Float: glUniform1fv(slot.location, count, f); break;
    case UniformType::Vec2: glUniform2fv(slot.location, count, f); break;
    case UniformType::Vec3: glUniform3fv(slot.location, count, f); break;
    case UniformType::Vec4: glUniform4fv(slot.location, count, f); break;
    case UniformType::Int: glUniform1iv(slot.location, count, i); break;
    case UniformType::IVec2: glUniform2iv(slot.location, count, i); break;
    case UniformType::IVec3: glUniform3iv(slot.location, count, i); break;
    case UniformType::IVec4: glUniform4iv(slot.location, count, i); break;
    case UniformType::Mat4: glUniformMatrix4fv(slot.location, 1, GL_FALSE, f); break;
    }
}

void ProgramRegistry::setFloats(const UniformSlot& slot, float x, float y, float z, float w)
{
    switch (slot.type) {
    case UniformType::Float: glUniform1f(slot.location, x); break;
    case UniformType::Vec2: glUniform2f(slot.location, x, y); break;
    case UniformType::Vec3: glUniform3f(slot.location, x, y, z); break;
    case UniformType::Vec4: glUniform4f(slot.location, x, y, z, w); break;
    default: break;
    }
}

void ProgramRegistry::setInt(const UniformSlot& slot, int value)
{
    if (slot.type == UniformType::Int)
        glUniform1i(slot.location, value);
}

void ProgramRegistry::destroyPrograms()
{
    for (ProgramEntry& entry : programs_)
        glDeleteProgram(entry.glProgram);
    for (ShaderEntry& entry : shaders_)
        glDeleteShader(entry.glShader);
    programs_.clear();
    shaders_.clear();
}
