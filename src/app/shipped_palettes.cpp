#include "app/shipped_palettes.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "platform/file_search.h"
#include "platform/program_folder.h"

namespace app {

namespace {

constexpr char kExtension[] = ".pal";

bool isFolder(const std::filesystem::path& path) {
    std::error_code error;
    return std::filesystem::is_directory(path, error);
}

}  // namespace

std::string shippedPaletteFolder() {
    if (const char* chosen = std::getenv("CORVANE_PALETTES"); chosen != nullptr && *chosen != 0)
        return chosen;
    const std::string program = platform::programFolder();
    if (program.empty())
        return {};
    const std::filesystem::path bin(program);
    for (const std::filesystem::path& candidate :
         {bin.parent_path() / "share" / "corvane" / "palettes", bin / "palettes"}) {
        if (isFolder(candidate))
            return candidate.lexically_normal().string();
    }
    return {};
}

std::vector<ShippedPalette> listShippedPalettes(const std::string& folder) {
    if (folder.empty())
        return {};
    std::vector<std::string> names = platform::findFiles(folder + "/*" + kExtension);
    std::sort(names.begin(), names.end());
    if (names.size() > kMaxShippedPalettes)
        names.resize(kMaxShippedPalettes);
    std::vector<ShippedPalette> palettes;
    for (const std::string& name : names)
        palettes.push_back(ShippedPalette{paletteMenuName(name), folder + "/" + name});
    return palettes;
}

std::string paletteMenuName(const std::string& fileName) {
    std::string name = fileName;
    const std::size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0)
        name.resize(dot);
    std::replace(name.begin(), name.end(), '-', ' ');
    std::replace(name.begin(), name.end(), '_', ' ');
    if (!name.empty() && name[0] >= 'a' && name[0] <= 'z')
        name[0] = static_cast<char>(name[0] - 'a' + 'A');
    return name;
}

}  // namespace app
