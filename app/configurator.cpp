#include "app/configurator.h"

#include "gfx/asset_catalogue.h"

bool QuillonConfigurator::loadAssets()
{
    error_.clear();
    return ::loadAssets(app, error_);
}
