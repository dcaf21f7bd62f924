// gl_test_context.h: one hidden SDL window with a compatibility GL context and
// the extension entry points loaded, shared by every GL test in the process.
// Run the tests under Xvfb when no display is at hand.
#pragma once

#include <SDL.h>

#include <string>

#include "app/gl_api.h"
#include "app/gl_loader.h"

class GlTestContext {
public:
    // Creates the context on first use; ready() says whether that worked and
    // error() why not.
    static GlTestContext& instance() {
        static GlTestContext context;
        return context;
    }
    bool ready() const { return ready_; }
    const std::string& error() const { return error_; }

private:
    GlTestContext() {
        if (SDL_Init(SDL_INIT_VIDEO) != 0) {
            error_ = std::string("SDL_Init: ") + SDL_GetError();
            return;
        }
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 2);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 1);
        window_ = SDL_CreateWindow("gfx tests", 0, 0, 64, 64, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
        if (!window_) {
            error_ = std::string("SDL_CreateWindow: ") + SDL_GetError();
            return;
        }
        context_ = SDL_GL_CreateContext(window_);
        if (!context_) {
            error_ = std::string("SDL_GL_CreateContext: ") + SDL_GetError();
            return;
        }
        ExtensionLoader loader;
        if (!loader.load(readGLVersion(), reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS)),
                         SDL_GL_GetProcAddress)) {
            error_ = loader.failureText();
            return;
        }
        ready_ = true;
    }
    ~GlTestContext() {
        if (context_) SDL_GL_DeleteContext(context_);
        if (window_) SDL_DestroyWindow(window_);
        SDL_Quit();
    }

    SDL_Window* window_ = nullptr;
    SDL_GLContext context_ = nullptr;
    bool ready_ = false;
    std::string error_;
};

#define REQUIRE_GL() ASSERT_TRUE(GlTestContext::instance().ready()) << GlTestContext::instance().error()
