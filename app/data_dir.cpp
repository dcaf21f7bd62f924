// Finds the Data folder beside the executable or in the installed tree.
#include "app/data_dir.h"

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {

bool isFolder(const fs::path& path)
{
    std::error_code ignored;
    return fs::is_directory(path, ignored);
}

}  // namespace

std::string findDataDir(const std::string& exeDir)
{
    const fs::path base = exeDir.empty() ? fs::path(".") : fs::path(exeDir);
    const fs::path beside = (base / "Data").lexically_normal();
    if (isFolder(beside))
        return beside.string();
    const fs::path installed = (base / kInstalledDataPath).lexically_normal();
    if (isFolder(installed))
        return installed.string();
    const bool installedProgram = (base / "").lexically_normal().parent_path().filename() == "bin";
    return (installedProgram ? installed : beside).string();
}
