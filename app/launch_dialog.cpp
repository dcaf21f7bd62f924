// The mapping from the launch dialog's controls to the launch settings, and
// the loader that reaches the dialog's window in its module on first use.
#include "app/launch_dialog.h"

#include "app/dialog_module.h"
#include "desktop/report.h"

#include <dlfcn.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <iterator>
#include <system_error>

namespace fs = std::filesystem;

namespace {

constexpr int kAspectRows = static_cast<int>(std::size(kAspectNames));

// Parses "WxH" (surrounding blanks allowed) into positive numbers.
bool parseModeText(const std::string& text, int& width, int& height)
{
    size_t at = 0;
    const auto skipBlanks = [&] {
        while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at])))
            ++at;
    };
    const auto readNumber = [&](int& value) {
        const size_t start = at;
        long number = 0;
        while (at < text.size() && std::isdigit(static_cast<unsigned char>(text[at])) && at - start < 6) {
            number = number * 10 + (text[at] - '0');
            ++at;
        }
        value = static_cast<int>(number);
        return at > start && number > 0 && (at == text.size() || !std::isdigit(static_cast<unsigned char>(text[at])));
    };
    skipBlanks();
    if (!readNumber(width))
        return false;
    if (at >= text.size() || (text[at] != 'x' && text[at] != 'X'))
        return false;
    ++at;
    if (!readNumber(height))
        return false;
    skipBlanks();
    return at == text.size();
}

// The module beside the executable (the build tree), else the installed one;
// the first when neither exists, so the loader's error names the usual place.
fs::path dialogModulePath()
{
    std::error_code failed;
    const fs::path exeDir = fs::read_symlink("/proc/self/exe", failed).parent_path();
    const fs::path beside = exeDir / kDialogModuleName;
    const fs::path installed = (exeDir / kInstalledDialogModuleDir / kDialogModuleName).lexically_normal();
    return fs::exists(beside, failed) || !fs::exists(installed, failed) ? beside : installed;
}

// Loads the module once and keeps it until exit: the toolkit cannot be
// unloaded. Null, with `error` saying why, when it cannot be loaded.
const DialogModuleEntry* dialogModule(std::string& error)
{
    static const DialogModuleEntry* entry = nullptr;
    static std::string failure;
    if (entry == nullptr && failure.empty()) {
        void* module = dlopen(dialogModulePath().c_str(), RTLD_NOW | RTLD_LOCAL);
        const auto find = module ? reinterpret_cast<DialogModuleEntryFunction>(dlsym(module, kDialogEntrySymbol))
                                 : nullptr;
        if (find) {
            entry = find();
        } else {
            // dlsym may find the name bound to nothing, and then the loader has no reason to give.
            const char* loaderReason = dlerror();
            std::string reason = loaderReason ? loaderReason : std::string(kDialogEntrySymbol) + " is missing";
            std::replace(reason.begin(), reason.end(), '\n', ' ');
            failure = "cannot open the launch dialog (" + reason + "); reinstall brindle, or start with --no-dialog";
        }
    }
    error = failure;
    return entry;
}

}  // namespace

int chosenModeIndex(const std::vector<DisplayMode>& modes, const LaunchControls& controls)
{
    if (controls.resolutionIndex >= 0) {
        return controls.resolutionIndex < static_cast<int>(modes.size()) ? controls.resolutionIndex : -1;
    }
    int width = 0;
    int height = 0;
    if (!parseModeText(controls.resolutionText, width, height))
        return -1;
    return findMode(modes, width, height);
}

bool applyLaunchControls(
    const std::vector<DisplayMode>& modes, const LaunchControls& controls, LaunchSettings& settings)
{
    const int index = chosenModeIndex(modes, controls);
    if (index < 0)
        return false;
    const DisplayMode& mode = modes[static_cast<size_t>(index)];
    settings.width = mode.width;
    settings.height = mode.height;
    settings.bitsPerPixel = mode.bitsPerPixel;
    if (controls.aspectIndex >= 0 && controls.aspectIndex < kAspectRows)
        settings.aspect = kAspectNames[controls.aspectIndex].code;
    // Entry k of the multisampling list offers 2^k samples; entry 0 is "None".
    if (controls.samplingIndex == 0) {
        settings.samples = 0;
    } else if (controls.samplingIndex >= 1 && controls.samplingIndex < 31) {
        settings.samples = 1 << controls.samplingIndex;
    }
    settings.fullscreen = controls.fullscreen;
    settings.vsync = controls.vsync;
    settings.musicEnabled = controls.music;
    return true;
}

bool initDialogToolkit(std::string& error)
{
    const DialogModuleEntry* module = dialogModule(error);
    return module && module->initToolkit(error);
}

LaunchResult runLaunchDialog(LaunchSettings& settings, const std::vector<DisplayMode>& modes, int maxSamples)
{
    std::string error;
    const DialogModuleEntry* module = dialogModule(error);
    if (!module) {
        report(error);
        return LaunchResult::Failed;
    }
    return module->run(settings, modes, maxSamples);
}
