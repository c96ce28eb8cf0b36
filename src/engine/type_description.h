#pragma once

#include <array>
#include <optional>
#include <string_view>
#include <type_traits>

#include "engine/fractal.h"
#include "platform/services.h"

namespace engine {

enum class TypeFamily { kOrbit, kComplex };

// The view a type starts from.
struct DefaultView {
    // The origin in the centre at one plane unit per pixel; the corners are unused.
    bool centredOnOrigin = false;
    // Otherwise these two corners, ordered and widened to the picture's aspect.
    double x1 = 0.0;
    double y1 = 0.0;
    double x2 = 0.0;
    double y2 = 0.0;
};

// Everything the program knows about one fractal type apart from its run-time code.
// Each type's class defines its own description beside its map or kernel and hands it
// to its family's constructor; the catalogue (catalogue/fractal_types.h) lists them all,
// so adding or changing a type touches its own files and that table only.
struct TypeDescription {
    FractalType id = 0;
    // Shown in the Type dialog and the title; also the name the type's parameter
    // string is stored under and the stem of its picture file names, so it never
    // changes once a type has shipped.
    std::string_view name;
    // The type's place in the string table (500..512): the Type dialog receives and
    // searches the names in this order, not in the order of the ids.
    int nameStringId = 0;
    // Shown by the Type dialog; lines end in "\r\n" as stored.
    std::string_view description;
    TypeFamily family = TypeFamily::kComplex;
    // a, b and c of an orbit type; the real and imaginary parameters of an
    // escape-time type (the third is unused and 0).
    std::array<double, 3> defaultParameters{};
    DefaultView defaultView;
    // A new object of the type with its initial parameters; nothing is computed
    // yet. Throws std::bad_alloc when memory runs out.
    FractalPtr (*create)(const platform::Services& services) = nullptr;

    // The description's id in the string table.
    constexpr int descriptionStringId() const { return nameStringId + 101; }
};

// A new object of type T with the parameters its description gives (the table's
// create function of every type).
template <class T>
FractalPtr createWithDefaults(const platform::Services& services) {
    const auto& p = T::kDescription.defaultParameters;
    using S = const platform::Services&;
    if constexpr (std::is_constructible_v<T, S, double, double, double>)
        return FractalPtr(new T(services, p[0], p[1], p[2]));
    else if constexpr (std::is_constructible_v<T, S, double, double>)
        return FractalPtr(new T(services, p[0], p[1]));
    else if constexpr (std::is_constructible_v<T, S, double>)
        return FractalPtr(new T(services, p[0]));
    else
        return FractalPtr(new T(services));
}

}  // namespace engine
