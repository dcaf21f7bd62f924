// gl_context.h: one hidden window with a compatibility GL context and the
// extension entry points loaded, shared by the scene's GL tests in a process.
// Run the tests under Xvfb when no display is at hand.
#pragma once

#include <SDL.h>

#include <string>

#include "gfx/gl_api.h"
#include "gfx/gl_loader.h"

class SceneGlContext {
public:
    // Empty once the context is ready, else why it could not be made.
    static const std::string& failure()
    {
        static SceneGlContext context;
        return context.failure_;
    }

private:
    SceneGlContext()
    {
        if (SDL_Init(SDL_INIT_VIDEO) != 0 ||
            !(window_ = SDL_CreateWindow("scene tests", 0, 0, 64, 64, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN)) ||
            !(context_ = SDL_GL_CreateContext(window_))) {
            failure_ = std::string("no GL context: ") + SDL_GetError();
            return;
        }
        ExtensionLoader loader;
        if (!loader.load(readGLVersion(), reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS)),
                         SDL_GL_GetProcAddress))
            failure_ = loader.failureText();
    }
    ~SceneGlContext()
    {
        if (context_)
            SDL_GL_DeleteContext(context_);
        if (window_)
            SDL_DestroyWindow(window_);
        SDL_Quit();
    }

    SDL_Window* window_ = nullptr;
    SDL_GLContext context_ = nullptr;
    std::string failure_;
};
