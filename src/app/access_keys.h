#pragma once

#include <string>
#include <vector>

namespace app {

// The texts of one dialog's controls with an access key marked in each ('&' before
// the key, a literal '&' doubled), no key used twice: the first letter of a word
// where it is still free, else the first free letter or digit. A text with nothing
// free gets no key. Earlier texts choose first.
std::vector<std::string> withAccessKeys(const std::vector<std::string>& texts);

}  // namespace app
