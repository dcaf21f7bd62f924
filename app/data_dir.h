// data_dir.h: where the program finds its Data folder when --data is not given.
//
// Two layouts are looked for, in this order:
//   <exeDir>/Data                    the build tree, or an unpacked copy
//   <exeDir>/../share/brindle/Data   an installed copy (<prefix>/bin/brindle)
// The second is relative to the executable, so an installed tree still works
// after it is moved to another prefix.
//
//   char* base = SDL_GetBasePath();
//   app.dataDir = findDataDir(base ? base : "");
//   SDL_free(base);
#pragma once

#include <string>

// The installed Data folder, relative to the folder that holds the executable.
inline constexpr const char* kInstalledDataPath = "../share/brindle/Data";

// Returns the first of the two layouts whose folder exists, in normal form
// without "." or ".." parts. When neither exists, returns the one a user would
// look for, so that the missing-data error names it: the installed folder for
// a program in a folder named "bin", else <exeDir>/Data. An empty `exeDir`
// means the working directory. A trailing '/' on `exeDir` is optional.
std::string findDataDir(const std::string& exeDir);
