#pragma once

// The MPFR number inside a BigFloat, for code that computes with MPFR directly (the
// reference orbits, where each step works in place). Only the layers that link MPFR
// include this header.
#include <mpfr.h>

#include <new>

#include "numeric/big_float.h"

namespace numeric {

struct MpfrAccess {
    static_assert(sizeof(__mpfr_struct) <= sizeof(BigFloat::storage_) &&
                  alignof(__mpfr_struct) <= 8);
    static mpfr_ptr of(BigFloat& x) noexcept {
        return std::launder(reinterpret_cast<mpfr_ptr>(x.storage_));
    }
    static mpfr_srcptr of(const BigFloat& x) noexcept {
        return std::launder(reinterpret_cast<mpfr_srcptr>(x.storage_));
    }
    // Starts the lifetime of the MPFR number in x's storage (before mpfr_init2).
    static mpfr_ptr create(BigFloat& x) noexcept { return new (x.storage_) __mpfr_struct; }
};

inline mpfr_ptr raw(BigFloat& x) noexcept {
    return MpfrAccess::of(x);
}
inline mpfr_srcptr raw(const BigFloat& x) noexcept {
    return MpfrAccess::of(x);
}

}  // namespace numeric
