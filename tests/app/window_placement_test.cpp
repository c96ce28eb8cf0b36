#include "app/window_placement.h"

#include <gtest/gtest.h>

#include <climits>
#include <ostream>

namespace {

using platform::Point;
using platform::Rect;

struct PlacementCase {
    const char* name;
    Rect window;
    std::vector<Rect> screens;
    std::optional<Point> expected;
};

void PrintTo(const PlacementCase& c, std::ostream* out) {
    *out << c.name;
}

class KeptOnScreen : public testing::TestWithParam<PlacementCase> {};

TEST_P(KeptOnScreen, MovesTheLeastOntoTheScreenShowingMost) {
    EXPECT_EQ(app::keptOnScreen(GetParam().window, GetParam().screens), GetParam().expected);
}

const Rect kLeft{0, 0, 1920, 1080};
const Rect kRight{1920, 0, 3200, 1024};

INSTANTIATE_TEST_SUITE_P(
    Windows, KeptOnScreen,
    testing::Values(
        PlacementCase{"WhollyOnScreenStays", {100, 50, 600, 650}, {kLeft}, Point{100, 50}},
        PlacementCase{
            "HangingOffTheRightComesBack", {1700, 50, 2200, 650}, {kLeft}, Point{1420, 50}},
        PlacementCase{"AboveTheTopComesDown", {100, -300, 600, 300}, {kLeft}, Point{100, 0}},
        PlacementCase{
            "LargerThanTheScreenAtItsCorner", {-50, -50, 2500, 1500}, {kLeft}, Point{0, 0}},
        PlacementCase{
            "ScreenShowingMostWins", {1800, 100, 2300, 600}, {kLeft, kRight}, Point{1920, 100}},
        PlacementCase{"RemovedMonitorLeftToTheWindowManager",
                      {4000, 100, 4500, 600},
                      {kLeft, kRight},
                      std::nullopt},
        PlacementCase{"NoScreens", {0, 0, 10, 10}, {}, std::nullopt},
        PlacementCase{"ExtremeStoredValuesDoNotOverflow",
                      {INT_MIN, INT_MIN, INT_MAX, INT_MAX},
                      {kLeft},
                      Point{0, 0}}),
    [](const testing::TestParamInfo<PlacementCase>& info) { return info.param.name; });

}  // namespace
