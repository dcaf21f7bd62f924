// bare_window: the floor for the show's start-up. Opens a 1280x720 OpenGL
// window with the show's context attributes, clears it, presents one frame and
// writes that frame into FILE in the format of `brindle --frame-log FILE`.
// It links SDL2 and GL only, so its start is what any such program pays.
//
//   bare_window FILE
#include <cstdio>
#include <ctime>

#include <SDL.h>
#include <SDL_opengl.h>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fputs("usage: bare_window FRAME_LOG\n", stderr);
        return 2;
    }
    std::FILE* log = std::fopen(argv[1], "w");
    if (!log) {
        std::fprintf(stderr, "bare_window: cannot write %s\n", argv[1]);
        return 1;
    }
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        std::fprintf(stderr, "bare_window: %s\n", SDL_GetError());
        std::fclose(log);
        return 1;
    }
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    SDL_Window* window = SDL_CreateWindow("bare_window", 0, 0, 1280, 720, SDL_WINDOW_OPENGL);
    SDL_GLContext context = window ? SDL_GL_CreateContext(window) : nullptr;
    if (!context) {
        std::fprintf(stderr, "bare_window: %s\n", SDL_GetError());
        std::fclose(log);
        SDL_Quit();
        return 1;
    }
    SDL_GL_SetSwapInterval(0);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    SDL_GL_SwapWindow(window);
    timespec swapped {};
    clock_gettime(CLOCK_MONOTONIC, &swapped);
    const long long swapNs = static_cast<long long>(swapped.tv_sec) * 1000000000LL + swapped.tv_nsec;
    const bool logged = std::fprintf(log, "frame,show_ms,swap_ns,beat\n0,0,%lld,0\n", swapNs) > 0;
    SDL_GL_DeleteContext(context);
    SDL_DestroyWindow(window);
    SDL_Quit();
    if (std::fclose(log) != 0 || !logged) {
        std::fprintf(stderr, "bare_window: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
