#include "catalogue/factory.h"

#include <gtest/gtest.h>

#include <numbers>
#include <string>
#include <vector>

#include "orbit/orbit_fractal.h"
#include "platform/headless_window.h"
#include "platform/settings_store.h"

namespace {

struct Rig {
    platform::HeadlessWindow window{24, 18};
    platform::MemorySettingsStore store;
    platform::RecordingSound sound;
    platform::Services services() { return platform::Services{window, store, sound}; }
};

struct Expected {
    engine::FractalType id;
    engine::FractalType type;
    const char* name;
    bool orbit;
    double a, b, c;
};

TEST(Factory, CreatesEachTypeWithItsInitialParameters) {
    const Expected table[] = {
        {1, 1, "Hopalong", true, 10, 20, 30},
        {2, 2, "Quadruptwo", true, 40, 10, 30},
        {3, 3, "Threeply", true, 10, 20, 30},
        {4, 4, "Chip", true, 10, 20, 30},
        {5, 5, "Mandelbrot", false, 0, 0, 0},
        {6, 6, "Julia", false, 0, 0, 0},
        {7, 7, "Martin", true, std::numbers::pi, 0, 0},
        {8, 8, "Henon", true, 1.4, 0.3, 0},
        {9, 9, "Gingerbreadman", true, -0.1, 0, 0},
        {10, 10, "Unity", false, 0, 0, 0},
        {11, 11, "Spider", false, 0, 0, 0},
        {12, 12, "Manowar", false, 0, 0, 0},
        {13, 13, "Phoenix", false, 0, 0, 0},
        // Every other id makes a Mandelbrot.
        {0, 5, "Mandelbrot", false, 0, 0, 0},
        {-1, 5, "Mandelbrot", false, 0, 0, 0},
        {14, 5, "Mandelbrot", false, 0, 0, 0},
        {INT32_MIN, 5, "Mandelbrot", false, 0, 0, 0},
    };
    for (const Expected& e : table) {
        SCOPED_TRACE(e.id);
        Rig rig;
        engine::FractalPtr fractal = catalogue::createFractal(e.id, rig.services());
        ASSERT_NE(fractal, nullptr);
        EXPECT_EQ(fractal->type, e.type);
        EXPECT_EQ(fractal->opened.type, e.type);
        EXPECT_EQ(fractal->typeName, e.name);
        EXPECT_FALSE(fractal->isRunning());
        const auto* orbit = dynamic_cast<const orbit::OrbitFractal*>(fractal.get());
        ASSERT_EQ(orbit != nullptr, e.orbit);
        if (orbit != nullptr) {
            EXPECT_EQ(orbit->paramA(), e.a);
            EXPECT_EQ(orbit->paramB(), e.b);
            EXPECT_EQ(orbit->paramC(), e.c);
        }
    }
}

TEST(Factory, NamesAndIdsMatchBothWays) {
    for (engine::FractalType id = 1; id <= 13; ++id) {
        const std::string name = catalogue::fractalTypeName(id);
        ASSERT_FALSE(name.empty()) << id;
        EXPECT_EQ(catalogue::fractalTypeFromName(name), id);
    }
    EXPECT_EQ(catalogue::fractalTypeFromName("mandelbrot"), engine::kMandelbrot);
    EXPECT_EQ(catalogue::fractalTypeFromName("GINGERBREADMAN"), engine::kGingerbreadman);
    EXPECT_EQ(catalogue::fractalTypeFromName("Mandel"), std::nullopt);
    EXPECT_EQ(catalogue::fractalTypeFromName(""), std::nullopt);
    EXPECT_EQ(catalogue::fractalTypeName(0), "");
    EXPECT_EQ(catalogue::fractalTypeName(14), "");
}

// Records every value written under one name, so that a value that is stored only
// for a moment is seen too.
class WriteLog : public platform::MemorySettingsStore {
  public:
    explicit WriteLog(std::string name) : name_(std::move(name)) {}
    bool write(const std::string& keyPath, const std::string& name,
               const platform::SettingsValue& value) override {
        if (name == name_)
            written.push_back(value.text);
        return MemorySettingsStore::write(keyPath, name, value);
    }
    std::vector<std::string> written;

  private:
    std::string name_;
};

// Starting a type, or continuing a picture opened from a file, never stores anything
// but the parameters it goes on with: a program that ends during the first run must
// find them again.
TEST(Factory, CreationStoresOnlyTheParametersItContinuesWith) {
    const struct {
        engine::FractalType type;
        const char* name;
        const char* stored;
    } table[] = {
        {engine::kJulia, "Julia", "-1.6,-1.2,1.6,1.2,500,0.3,0.5,1,1,50"},
        {engine::kHopalong, "Hopalong", "-400,-300,400,300,1.5,2.5,3.5,700,0"},
        {engine::kMandelbrot, "Mandelbrot",
         "-0.7436438870371753,0.1318259042053,-0.7436438870370421,0.1318259042054,200,0,0,1,1,"
         "100"},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.name);
        for (const bool fromFile : {false, true}) {
            SCOPED_TRACE(fromFile ? "opened picture" : "stored parameters");
            platform::HeadlessWindow window{24, 18};
            WriteLog store(row.name);
            platform::RecordingSound sound;
            const platform::Services services{window, store, sound};
            engine::FractalPtr fractal = catalogue::createFractal(row.type, services);
            if (fromFile) {
                engine::FractalPtr opened = catalogue::createFractal(row.type, services);
                opened->opened.params = row.stored;
                fractal->takeOverPicture(*opened);
            } else {
                store.write("Software\\Velk\\Corvane", row.name,
                            platform::SettingsValue::ofText(row.stored));
                store.written.clear();
                fractal->startFromSettings();
            }
            const std::vector<std::string> expected(store.written.size(), row.stored);
            EXPECT_FALSE(store.written.empty());
            EXPECT_EQ(store.written, expected);
            fractal.reset();
        }
    }
}

}  // namespace
