// gl_context.h: the GL context every GL test in a process shares (one hidden
// window with the attributes the program asks for, a compatibility context and
// the extension entry points loaded) and the state readers the tests share. Run
// GL tests under Xvfb when no display is at hand.
#pragma once

#include <SDL.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gfx/gl_api.h"
#include "gfx/gl_loader.h"

// The window's size: a picture read back from it can be no larger.
constexpr int kGlWindowWidth = 320;
constexpr int kGlWindowHeight = 200;

// Empty once the context is current, else why it could not be made. Never torn
// down: statics of the tests may still release GL objects at exit.
inline const std::string& glContextError()
{
    static const std::string error = [] {
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
            return std::string("SDL video: ") + SDL_GetError();
        SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 8);
        SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
        SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 8);
        SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
        SDL_Window* window = SDL_CreateWindow(
            "GL tests", 0, 0, kGlWindowWidth, kGlWindowHeight, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
        if (!window || !SDL_GL_CreateContext(window))
            return std::string("no GL context: ") + SDL_GetError();
        ExtensionLoader loader;
        const char* extensions = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
        return std::string(loader.load(readGLVersion(), extensions, SDL_GL_GetProcAddress) ? "" : loader.failureText());
    }();
    return error;
}

#define REQUIRE_GL() ASSERT_EQ(glContextError(), "")

inline std::vector<GLint> integers(GLenum name, int count)
{
    std::vector<GLint> values(count, -1);
    glGetIntegerv(name, values.data());
    return values;
}

inline GLint integer(GLenum name) { return integers(name, 1)[0]; }

// Level 0 of a 2D texture, at the size GL stores it.
inline std::vector<uint8_t> texels(GLuint texture)
{
    GLint width = 0, height = 0;
    glBindTexture(GL_TEXTURE_2D, texture);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
    std::vector<uint8_t> out(static_cast<size_t>(width) * height * 4, 0xEE);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, out.data());
    return out;
}
