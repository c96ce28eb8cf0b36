#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "engine/fractal.h"
#include "engine/type_description.h"
#include "platform/bitmap.h"
#include "platform/services.h"

namespace orbit {

// The text form of the view, a, b, c and the colouring, stored under the type's name
// and carried inside picture files. The view's four edges are written as the shortest
// text that reads back to the same double (strings stored with six decimals still
// read), a, b and c with six significant digits.
inline constexpr const char* kParameterWriteFormat = "%s,%s,%s,%s,%lg,%lg,%lg,%u,%u";
inline constexpr const char* kParameterReadFormat = "%lf,%lf,%lf,%lf,%lf,%lf,%lf,%u,%u";
inline constexpr int kParameterFieldCount = 9;
inline constexpr std::uint32_t kParameterCapacityBytes =
    engine::textCapacityBytes(engine::kMaxParameterUnits);
inline constexpr int kDefaultPointsPerColor = 5000;

// A parameter string as the family reads it.
struct StoredParameters {
    double x1 = 0.0, y1 = 0.0, x2 = 0.0, y2 = 0.0, a = 0.0, b = 0.0, c = 0.0;
    unsigned points = 0, random = 0;
    // Why the string cannot be applied (too few fields, a number out of range);
    // empty when it can.
    std::string damage;
};
StoredParameters readParameterString(const std::string& text);

// Two-dimensional maps whose orbit is plotted point after point for as long as the
// run lasts. A type supplies its map (iterate), its defaults and, where it needs to,
// its own way of taking the parameters.
//
// Threads: calculate() and iterate() run on the worker; everything else on the
// user-interface thread. The run reads a, b and c from the copy taken as it started;
// the orbit and the colouring state change only between a stop and the next start;
// pointsPerColor and options_.randomColors may change while a run goes on and are read afresh
// at every point.
// What the map reads besides the orbit: taken as a run starts.
struct OrbitParameters {
    double a = 0.0;
    double b = 0.0;
    double c = 0.0;
};

class OrbitFractal : public engine::Fractal {
  public:
    bool loadParameters() override;
    bool saveParameters() override;
    // The type's defaults from its description.
    void setDefaultParameters() override;
    int calculate() override;
    void prepareCalculation() override;
    void setDefaultView() override;

    virtual void setParameters(double a, double b, double c);
    virtual double currentX() const { return orbitX; }
    virtual double currentY() const { return orbitY; }
    // One step of the map: replaces (orbitX, orbitY) by the next point.
    virtual void iterate() = 0;
    // No type changes how the colours are counted; final lets the loop call it
    // without a second indirect call per point.
    virtual int getPointsPerColor() const final {
        return pointsPerColor.load(std::memory_order_relaxed);
    }
    virtual void setPointsPerColor(int n) final {
        pointsPerColor.store(n, std::memory_order_relaxed);
    }

    std::string parameterString() const override;

    // The parameters of the next run.
    double paramA() const noexcept { return paramA_; }
    double paramB() const noexcept { return paramB_; }
    double paramC() const noexcept { return paramC_; }

  protected:
    OrbitFractal(const platform::Services& services, double a, double b, double c);

    // Sets type and opened.type to the description's id and typeName to its name; the
    // description also gives the type's defaults.
    void identifyAs(const engine::TypeDescription& description);
    // 1 for x > 0, -1 for x < 0, 0 otherwise (NaN included).
    static double sign(double x) noexcept { return x > 0.0 ? 1.0 : (x < 0.0 ? -1.0 : 0.0); }
    // The family's setParameters without the stop and the start around it.
    void storeParameters(double a, double b, double c) {
        paramA_ = a;
        paramB_ = b;
        paramC_ = c;
    }
    // The parameters of the run under way, taken by prepareCalculation.
    const OrbitParameters& runParameters() const noexcept { return runParameters_; }
    void takeRunParameters() noexcept {
        runParameters_ = OrbitParameters{paramA_, paramB_, paramC_};
    }
    // The colouring of a new run: table entry 0, nothing counted yet.
    void resetColors() noexcept;
    // The default views: stop, remember the old view, set the new one, start.
    void showCentredOnOrigin();
    void showRect(double x1, double y1, double x2, double y2);

    // Written by the worker during a run.
    double orbitX = 0.0;
    double orbitY = 0.0;
    std::int32_t pointsInColor = 0;
    // Kept within the colour table (0 <= colorIndex < count), which walks the table
    // exactly as an ever-growing index would and can never overflow.
    std::int32_t colorIndex = 0;
    platform::Color currentColor = 0;

  private:
    const engine::TypeDescription* description_ = nullptr;
    // Counts the point just drawn and changes the colour once pointsPerColor points
    // have been drawn in it. The comparison is signed, so 0 or less changes the
    // colour after every point; comparing before counting keeps pointsInColor
    // from ever passing INT32_MAX.
    void countPointInColor() noexcept {
        if (pointsInColor >= getPointsPerColor()) {
            pointsInColor = 0;
            changeColor();
        } else {
            ++pointsInColor;
        }
    }
    void changeColor() noexcept;
    platform::Color randomColor() noexcept;
    unsigned randomComponent() noexcept;

    std::atomic<int> pointsPerColor{kDefaultPointsPerColor};
    double paramA_ = 0.0;
    double paramB_ = 0.0;
    double paramC_ = 0.0;
    OrbitParameters runParameters_;
};

}  // namespace orbit
