// gl_test_context.h: one hidden SDL window with a compatibility GL context and
// the extension entry points loaded, shared by every GL test in the process.
// Run the tests under Xvfb when no display is at hand.
#pragma once

#include <SDL.h>

#include <string>

#include "gfx/gl_api.h"
#include "gfx/gl_loader.h"

class GlTestContext {
public:
    static const std::string& error() {
        static GlTestContext context;
        return context.error_;
    }

private:
    GlTestContext() {
        if (SDL_Init(SDL_INIT_VIDEO) != 0 ||
            !(window_ = SDL_CreateWindow("gfx tests", 0, 0, 64, 64, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN)) ||
            !(context_ = SDL_GL_CreateContext(window_))) {
            error_ = std::string("no GL context: ") + SDL_GetError();
            return;
        }
        ExtensionLoader loader;
        if (!loader.load(readGLVersion(), reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS)), SDL_GL_GetProcAddress)) {
            error_ = loader.failureText();
        }
    }
    ~GlTestContext() {
        if (context_) SDL_GL_DeleteContext(context_);
        if (window_) SDL_DestroyWindow(window_);
        SDL_Quit();
    }
    SDL_Window* window_ = nullptr;
    SDL_GLContext context_ = nullptr;
    std::string error_;
};

#define REQUIRE_GL() ASSERT_EQ(GlTestContext::error(), "")
