// dialog_module.h: what the launch dialog's module, brindle-dialog.so, hands
// the program. Only the module links GTK; the program loads it (launch_dialog.cpp)
// the first time the dialog or its toolkit is wanted and resolves one symbol,
// brindle_dialog_entry, which returns the module's two functions.
//
// The module is looked for beside the executable (the build tree), then in
// ../lib/brindle relative to it (an installed copy, <prefix>/bin/brindle).
#pragma once

#include "app/launch_dialog.h"

inline constexpr const char* kDialogModuleName = "brindle-dialog.so";
inline constexpr const char* kInstalledDialogModuleDir = "../lib/brindle";
inline constexpr const char* kDialogEntrySymbol = "brindle_dialog_entry";

// initDialogToolkit and runLaunchDialog as the module implements them.
struct DialogModuleEntry {
    bool (*initToolkit)(std::string& error);
    LaunchResult (*run)(LaunchSettings& settings, const std::vector<DisplayMode>& modes, int maxSamples);
};

extern "C" {
using DialogModuleEntryFunction = const DialogModuleEntry* (*)();
__attribute__((visibility("default"))) const DialogModuleEntry* brindle_dialog_entry();
}
