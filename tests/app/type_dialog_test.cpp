#include "app/type_dialog.h"

#include <gtest/gtest.h>

#include "dialog_test_rig.h"

namespace {

using corvane_test::DialogRig;

TEST(TypeDialog, ListsTheNamesAlphabetically) {
    DialogRig rig(engine::kMandelbrot);
    const app::TypeDialog dialog(*rig.fractal);
    const std::vector<std::string> expected = {
        "Chip",   "Gingerbreadman", "Henon",      "Hopalong", "Julia",    "Mandelbrot", "Manowar",
        "Martin", "Phoenix",        "Quadruptwo", "Spider",   "Threeply", "Unity"};
    EXPECT_EQ(dialog.names(), expected);
}

TEST(TypeDialog, OpensOnTheFractalsOwnTypeWithItsDescription) {
    DialogRig rig(engine::kJulia);
    const app::TypeDialog dialog(*rig.fractal);
    ASSERT_EQ(dialog.selectedIndex(), 4);
    EXPECT_EQ(dialog.names()[4], "Julia");
    EXPECT_EQ(dialog.description(),
              "Classic Julia set fractal.\nz(0) = pixel\nz(n+1) = z(n)^2 + c\nTwo parameters:\n"
              "real & imaginary parts of c.");
    EXPECT_EQ(dialog.chosenType(), engine::kJulia);
}

TEST(TypeDialog, EveryNameGivesItsOwnTypeAndDescription) {
    // The list is alphabetical, the type ids are not.
    struct Case {
        const char* name;
        engine::FractalType type;
        const char* descriptionStart;
    };
    const Case cases[] = {
        {"Chip", 4, "Orbit in two dimensions.\nx(0) = y(0) = 0\nx(n+1) = y(n) - sign(x(n)) * cos("},
        {"Gingerbreadman", 9, "Orbit in two dimensions.\nx(n+1) = 1 - y(n) + |x(n)|"},
        {"Henon", 8, "Orbit in two dimensions.\nx(0) = y(0) = 0\nx(n+1) = 1 + y(n)"},
        {"Hopalong", 1,
         "Orbit in two dimensions.\nx(0) = y(0) = 0\nx(n+1) = y(n) - sign(x(n)) * sqrt"},
        {"Julia", 6, "Classic Julia set fractal."},
        {"Mandelbrot", 5, "Classic Mandelbrot set fractal."},
        {"Manowar", 12, "Complex fractal.\nc = pixel\nz(n+1) = z(n)^2 + z1(n)"},
        {"Martin", 7, "Orbit in two dimensions.\nx(0) = y(0) = 0\nx(n+1) = y(n) - sin(x(n))"},
        {"Phoenix", 13, "Complex fractal.\nz(0) = pixel, y(0) = 0"},
        {"Quadruptwo", 2,
         "Orbit in two dimensions.\nx(0) = y(0) = 0\nx(n+1) = y(n) - sign(x(n)) * sin("},
        {"Spider", 11, "Complex fractal.\nc(0) = pixel"},
        {"Threeply", 3,
         "Orbit in two dimensions.\nx(0) = y(0) = 0\nx(n+1) = y(n) - sign(x(n)) * (abs("},
        {"Unity", 10, "Complex fractal.\nz(0) = pixel\nx = real(z(n))"},
    };
    DialogRig rig(engine::kMandelbrot);
    app::TypeDialog dialog(*rig.fractal);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto& names = dialog.names();
        const auto at = std::find(names.begin(), names.end(), c.name);
        ASSERT_NE(at, names.end());
        dialog.select(static_cast<int>(at - names.begin()));
        EXPECT_EQ(dialog.chosenType(), c.type);
        EXPECT_EQ(dialog.description().rfind(c.descriptionStart, 0), 0u) << dialog.description();
        EXPECT_EQ(dialog.description().find('\r'), std::string::npos);
    }
}

TEST(TypeDialog, AnUnknownNameSelectsNothingAndGivesHopalong) {
    DialogRig rig(engine::kMandelbrot);
    rig.fractal->typeName = "mandelbrot";  // the match is exact, case included
    app::TypeDialog dialog(*rig.fractal);
    EXPECT_EQ(dialog.selectedIndex(), -1);
    EXPECT_EQ(dialog.description(), "");
    EXPECT_EQ(dialog.chosenType(), engine::kHopalong);

    dialog.select(2);
    EXPECT_EQ(dialog.chosenType(), engine::kHenon);
    dialog.select(13);  // past the end
    EXPECT_EQ(dialog.selectedIndex(), -1);
    EXPECT_EQ(dialog.chosenType(), engine::kHopalong);

    EXPECT_EQ(app::TypeDialog::typeForName("Lorenz"), engine::kHopalong);
    EXPECT_EQ(app::TypeDialog::nameStringId("Phoenix"), 512);
    EXPECT_EQ(app::TypeDialog::nameStringId(""), 0);
}

}  // namespace
