#include "catalogue/factory.h"

#include <cctype>
#include <new>

#include "catalogue/fractal_types.h"

namespace catalogue {

namespace {

bool equalIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

}  // namespace

engine::FractalPtr createFractal(engine::FractalType id, const platform::Services& services) {
    const engine::TypeDescription* description = catalogue::findFractalType(id);
    if (description == nullptr)
        description = catalogue::findFractalType(engine::kMandelbrot);
    try {
        return description->create(services);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

std::optional<engine::FractalType> fractalTypeFromName(std::string_view name) {
    for (const engine::TypeDescription* description : catalogue::fractalTypes()) {
        if (equalIgnoringCase(name, description->name))
            return description->id;
    }
    return std::nullopt;
}

std::string fractalTypeName(engine::FractalType id) {
    const engine::TypeDescription* description = catalogue::findFractalType(id);
    return description == nullptr ? std::string() : std::string(description->name);
}

}  // namespace catalogue
