#pragma once

namespace complex {

// The iteration limit an escape-time picture chooses itself when the user lets it:
// deeper views need more iterations before their points escape, so the limit grows
// with the depth; and where the last finished picture's border shows escapes close
// to its limit (or none at all), the limit was too low there, so a factor kept from
// picture to picture doubles. The factor halves again once the border's escapes lie
// far below the limit, never below 1.
class AutomaticLimit {
  public:
    // Iterations per doubling of the magnification.
    static constexpr double kIterationsPerDoubling = 100.0;
    // The border's highest escape at or above this share of the limit raises it.
    static constexpr double kRaiseShare = 0.75;
    // ... and below this share lowers it.
    static constexpr double kLowerShare = 0.125;
    static constexpr double kMostFactor = 64.0;

    // What the last finished picture's border showed: its limit and the highest
    // count of a border pixel that escaped (-1: none did).
    struct Border {
        int limit = 0;
        int highestEscape = -1;
    };

    // The limit for a view magnified 2^log2Magnification over the type's default
    // view: at least floor (the type's default limit), at most most.
    int limitFor(double log2Magnification, int floor, int most) const noexcept;
    // Takes the last finished picture's border into account for the next limits.
    void observe(const Border& border) noexcept;
    double factor() const noexcept { return factor_; }
    void reset() noexcept { factor_ = 1.0; }

  private:
    double factor_ = 1.0;
};

}  // namespace complex
