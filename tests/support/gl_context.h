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

class TestGlContext {
public:
    // The window's size: a picture read back from it can be no larger.
    static constexpr int kWidth = 320;
    static constexpr int kHeight = 200;

    // Empty once the context is current, else why it could not be made.
    static const std::string& error()
    {
        // Never torn down: statics of the tests may still release GL objects at exit.
        static const TestGlContext* context = new TestGlContext;
        return context->error_;
    }

private:
    TestGlContext()
    {
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
            error_ = std::string("SDL video: ") + SDL_GetError();
            return;
        }
        SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 8);
        SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
        SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 8);
        SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
        SDL_Window* window = SDL_CreateWindow("GL tests", 0, 0, kWidth, kHeight, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
        if (!window || !SDL_GL_CreateContext(window)) {
            error_ = std::string("no GL context: ") + SDL_GetError();
            return;
        }
        ExtensionLoader loader;
        if (!loader.load(
                readGLVersion(), reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS)), SDL_GL_GetProcAddress))
            error_ = loader.failureText();
    }

    std::string error_;
};

#define REQUIRE_GL() ASSERT_EQ(TestGlContext::error(), "")
