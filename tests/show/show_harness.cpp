// show_harness.cpp: the off-screen show used by the frame tests.
#include "show_harness.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "gfx/gl_api.h"
#include "gfx/gl_loader.h"
#include "app/png_writer.h"
#include "app/window.h"
#include "gfx/asset_catalogue.h"

ShowHarness::~ShowHarness()
{
    show_.reset();
    if (scene_)
        destroyShowState(*scene_);
    scene_.reset();
    if (context_) {
        app_.releaseGraphics();
        SDL_GL_DeleteContext(context_);
    }
    if (window_)
        SDL_DestroyWindow(window_);
}

bool ShowHarness::open(int width, int height, const std::string& dataDir, std::string& error)
{
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        error = std::string("SDL video: ") + SDL_GetError();
        return false;
    }
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 2);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 1);
    window_ = SDL_CreateWindow("show harness", 0, 0, width, height, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (!window_) {
        error = std::string("window: ") + SDL_GetError();
        return false;
    }
    context_ = SDL_GL_CreateContext(window_);
    if (!context_) {
        error = std::string("context: ") + SDL_GetError();
        return false;
    }
    if (!app_.extensions.load(readGLVersion(), reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS)),
                              SDL_GL_GetProcAddress)) {
        error = app_.extensions.failureText();
        return false;
    }
    app_.width = width;
    app_.height = height;
    app_.aspectMode = AspectCode::Ratio16x10;
    app_.dataDir = dataDir;
    if (!buildPrograms(app_.programs, error))
        return false;
    for (const std::string& warning : loadImageTextures(app_.textures, dataDir))
        std::fprintf(stderr, "%s\n", warning.c_str());
    createRenderTargets(app_.textures, width, height);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    setupProjection(width, height, app_.aspectMode);
    scene_ = buildShowState(app_.music, app_.programs, app_.textures);
    show_ = std::make_unique<ShowFrameState>(*scene_);
    return true;
}

void ShowHarness::frame(uint32_t t, float step)
{
    SDL_GL_MakeCurrent(window_, context_);
    renderFrame(*show_, t, step, nullptr);
    // Frames without a beat see a steady, silent spectrum.
    show_->beats.analyse(quiet_.data());
    lastTime_ = t;
    started_ = true;
}

void ShowHarness::runTo(uint32_t t, uint32_t frameMs)
{
    uint32_t now = started_ ? lastTime_ : 0;
    uint32_t previous = now;
    if (!started_)
        frame(0, 0.002f);
    while (now < t) {
        now = std::min(now + frameMs, t);
        frame(now, std::max(static_cast<float>(now - previous) / 500.0f, 0.002f));
        previous = now;
    }
}

void ShowHarness::beatNextFrame()
{
    show_->beats.analyse(loud_.data());
}

RgbImage ShowHarness::read() const
{
    RgbImage image;
    image.width = app_.width;
    image.height = app_.height;
    std::vector<uint8_t> rows(static_cast<size_t>(image.width) * image.height * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, image.width, image.height, GL_RGB, GL_UNSIGNED_BYTE, rows.data());
    image.rgb.resize(rows.size());
    const size_t stride = static_cast<size_t>(image.width) * 3;
    for (int y = 0; y < image.height; ++y)
        std::copy_n(&rows[(image.height - 1 - y) * stride], stride, &image.rgb[y * stride]);
    return image;
}

RgbImage shrink(const RgbImage& image, int factor)
{
    RgbImage out;
    out.width = image.width / factor;
    out.height = image.height / factor;
    out.rgb.resize(static_cast<size_t>(out.width) * out.height * 3);
    for (int y = 0; y < out.height; ++y) {
        for (int x = 0; x < out.width; ++x) {
            for (int c = 0; c < 3; ++c) {
                int sum = 0;
                for (int dy = 0; dy < factor; ++dy)
                    for (int dx = 0; dx < factor; ++dx)
                        sum += image.pixel(x * factor + dx, y * factor + dy)[c];
                out.rgb[(static_cast<size_t>(y) * out.width + x) * 3 + c] =
                    static_cast<uint8_t>(sum / (factor * factor));
            }
        }
    }
    return out;
}

bool writePng(const std::string& path, const RgbImage& image, std::string& error)
{
    return writePng(path, image.width, image.height, image.rgb.data(), error);
}

bool readPng(const std::string& path, RgbImage& image, std::string& error)
{
    return readPng(path, image.width, image.height, image.rgb, error);
}

double meanDifference(const RgbImage& a, const RgbImage& b)
{
    if (a.rgb.size() != b.rgb.size() || a.rgb.empty())
        return 255.0;
    double total = 0.0;
    for (size_t i = 0; i < a.rgb.size(); ++i)
        total += std::abs(static_cast<int>(a.rgb[i]) - static_cast<int>(b.rgb[i]));
    return total / static_cast<double>(a.rgb.size());
}
