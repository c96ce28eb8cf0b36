#pragma once

#include <string>
#include <vector>

namespace platform {

// The names (without folder) of the regular files in folder/pattern's folder that match
// the pattern's name part, in the order the directory lists them. '*' matches any run
// of characters and '?' any one; the comparison is case-sensitive except for the
// extension after the pattern's last '.', so "*.bmp" also finds "PICTURE.BMP".
// A folder that does not exist or cannot be read gives no names.
std::vector<std::string> findFiles(const std::string& pattern);

// The matching rule alone.
bool matchesPattern(const std::string& name, const std::string& namePattern);

}  // namespace platform
