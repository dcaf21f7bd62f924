// show_harness.h: runs the real show off-screen for tests and for looking at frames.
//
// Opens a hidden window of the requested size with a compatibility context,
// builds the programs, the images from the data folder and the frame targets,
// sets the 16:10 viewport and projection, builds the show state, and then runs
// frames the way the main loop does. Frames
// are read back from the window's back buffer as RGB rows, top row first.
// There is no audio: a test that wants a beat feeds a spectrum to the detector
// with beatNextFrame() before the frame.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <SDL.h>

#include "app/application.h"
#include "scene/show_state.h"
#include "show/frame_driver.h"

struct RgbImage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;  // top row first

    const uint8_t* pixel(int x, int y) const { return &rgb[(static_cast<size_t>(y) * width + x) * 3]; }
};

class ShowHarness {
public:
    ShowHarness() = default;
    ~ShowHarness();
    ShowHarness(const ShowHarness&) = delete;
    ShowHarness& operator=(const ShowHarness&) = delete;

    // False with `error` set when the window, context or assets cannot be made.
    bool open(int width, int height, const std::string& dataDir, std::string& error);

    // One frame at show time t with the main loop's step (elapsed ms / 500, at least 0.002).
    void frame(uint32_t t, float step);
    // Frames every frameMs from the last frame's time up to and including t.
    void runTo(uint32_t t, uint32_t frameMs);
    // The next frame sees a beat in the detector (the spectrum jumps).
    void beatNextFrame();

    RgbImage read() const;

    DemoApplication& app() { return app_; }
    ShowFrameState& frameState() { return *show_; }
    uint32_t lastTime() const { return lastTime_; }

private:
    DemoApplication app_;
    std::unique_ptr<ShowState> scene_;
    std::unique_ptr<ShowFrameState> show_;
    SDL_Window* window_ = nullptr;
    SDL_GLContext context_ = nullptr;
    uint32_t lastTime_ = 0;
    bool started_ = false;
    std::vector<float> quiet_ = std::vector<float>(1024, 0.0f);
    std::vector<float> loud_ = std::vector<float>(1024, 1.0f);
};

// Box-filters an image down by an integer factor.
RgbImage shrink(const RgbImage& image, int factor);

// PNG files through the program's own writer; false with the reason in `error`.
bool writePng(const std::string& path, const RgbImage& image, std::string& error);
bool readPng(const std::string& path, RgbImage& image, std::string& error);

// The mean absolute difference per channel, 0..255; the images must be the same size.
double meanDifference(const RgbImage& a, const RgbImage& b);
