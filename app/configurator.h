// configurator.h: the object through which the entry sequence has the assets loaded.
//
// runShow makes one configurator before the window opens. Before the window
// it calls openMusic() (its failure is reported only once the window is open)
// and readFiles() on a thread of its own, beside the window; loadAssets()
// once the GL context is current, after readFiles() has returned; and it
// deletes the configurator at shutdown. loadAssets() alone does the whole
// load. QuillonConfigurator is the show's own: it loads the whole asset
// catalogue into the record.
//
//   if (!configurator.openMusic()) hold configurator.error();
//   std::thread files([&] { configurator.readFiles(); });
//   ... open the window ...;  files.join();
//   if (!configurator.loadAssets()) report configurator.error();
#pragma once

#include <string>

#include "gfx/asset_catalogue.h"

struct DemoApplication;

class DemoConfigurator {
public:
    explicit DemoConfigurator(DemoApplication& app)
        : app(app)
    {
    }
    virtual ~DemoConfigurator() = default;

    // Starts the audio output and opens the music. Returns false and fills error() on failure.
    virtual bool openMusic() { return true; }
    // Reads what the assets are made from, without GL and without touching the
    // record beyond its data folder, so it may run on another thread.
    virtual void readFiles() { }
    // Loads everything the show draws with (opening the music first when
    // openMusic() has not). Returns false and fills error() on failure.
    virtual bool loadAssets() = 0;

    const std::string& error() const { return error_; }

protected:
    DemoApplication& app;
    std::string error_;
};

class QuillonConfigurator : public DemoConfigurator {
public:
    using DemoConfigurator::DemoConfigurator;
    // Initialises the audio back end and opens the music.
    bool openMusic() override;
    // Reads and decodes the image files.
    void readFiles() override;
    // Builds the programs, textures and render targets. The error text names what failed.
    bool loadAssets() override;

private:
    bool musicOpen_ = false;
    bool filesRead_ = false;
    ImageFiles images_;
};
