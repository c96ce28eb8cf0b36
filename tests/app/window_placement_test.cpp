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

namespace {

// A window manager that puts the client area where it is asked and draws its frame
// around it; the program restarts three times from what it stored.
TEST(WindowPosition, ThreeRestartsLeaveTheWindowWhereItWas) {
    const struct {
        const char* name;
        Point stored;
        app::FrameMargins frame;
        Point expected;  // after the first start: then it stays
    } cases[] = {
        {"title bar and borders", {300, 200}, {1, 20, 1, 1}, {300, 200}},
        {"no frame", {300, 200}, {}, {300, 200}},
        {"flush with the screen's top edge", {1, 20}, {1, 20, 1, 1}, {1, 20}},
        {"title bar above the screen comes down", {300, 5}, {1, 20, 1, 1}, {300, 20}},
    };
    const std::vector<Rect> screens = {kLeft};
    constexpr int kWidth = 480;
    constexpr int kHeight = 600;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Point stored = c.stored;
        for (int start = 0; start < 3; ++start) {
            const std::optional<Point> at =
                app::restoredClientPosition(stored, kWidth, kHeight, c.frame, screens);
            ASSERT_TRUE(at.has_value());
            const Rect client{at->x, at->y, at->x + kWidth, at->y + kHeight};
            const Rect frame{client.left - c.frame.left, client.top - c.frame.top,
                             client.right + c.frame.right, client.bottom + c.frame.bottom};
            EXPECT_GE(frame.top, kLeft.top);
            stored = app::positionToStore(client, frame);
            EXPECT_EQ(stored, c.expected) << "start " << start;
        }
    }
    EXPECT_EQ(app::restoredClientPosition({5000, 5000}, kWidth, kHeight, {1, 20, 1, 1}, screens),
              std::nullopt);
    EXPECT_EQ(app::restoredClientPosition({-100, -100}, kWidth, kHeight, {1, 20, 1, 1}, screens),
              (Point{1, 20}));
    // Stored values from a damaged file do not overflow.
    EXPECT_EQ(
        app::restoredClientPosition({INT_MIN, INT_MAX}, kWidth, kHeight, {1, 20, 1, 1}, screens),
        std::nullopt);
}

}  // namespace
