#include "app/application.h"

#include "app/configurator.h"

DemoApplication::DemoApplication() = default;

DemoApplication::~DemoApplication()
{
    configurator.reset();
    if (audio) {
        audio->stop();
        audio->release();
    }
}

void DemoApplication::releaseGraphics()
{
    programs.destroyPrograms();
    textures.destroyTextures();
}
