// gl_context.h: the GL context every GL test in a process shares: one hidden
// window with the attributes the program asks for, a compatibility context and
// the extension entry points loaded. Run GL tests under Xvfb when no display is
// at hand.
#pragma once

#include <SDL.h>
#include <gtest/gtest.h>

#include <string>

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
