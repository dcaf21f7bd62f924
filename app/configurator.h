// configurator.h: the object through which the entry sequence has the assets loaded.
//
// runShow makes one configurator before the window opens, calls loadAssets()
// once the GL context is current, and deletes it at shutdown. QuillonConfigurator
// is the show's own: it loads the whole asset catalogue into the record. Tests
// derive their own to load nothing.
#pragma once

#include <string>

struct DemoApplication;

class DemoConfigurator {
public:
    explicit DemoConfigurator(DemoApplication& app)
        : app(app)
    {
    }
    virtual ~DemoConfigurator() = default;

    // Loads everything the show draws with. Returns false and fills error() on failure.
    virtual bool loadAssets() = 0;

    const std::string& error() const { return error_; }

protected:
    DemoApplication& app;
    std::string error_;
};

class QuillonConfigurator : public DemoConfigurator {
public:
    using DemoConfigurator::DemoConfigurator;
    // Initialises the audio back end, opens the music, builds the programs,
    // textures and render targets. The error text names what failed.
    bool loadAssets() override;
};
