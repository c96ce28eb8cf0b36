#include "app/zoom_path.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "app/frame_job.h"

namespace {

constexpr long kCheckPrecision = 2048;

numeric::BigFloat precise(const numeric::BigFloat& value) {
    numeric::BigFloat result(kCheckPrecision, 0.0);
    result += value;
    return result;
}

double ratio(const numeric::BigFloat& a, const numeric::BigFloat& b) {
    return (precise(a) / b).toDouble();
}

app::ZoomPath parsed(const std::string& text) {
    app::ZoomPathResult result = app::parseZoomPath(text);
    EXPECT_TRUE(result.value) << result.error << "\n" << text;
    if (!result.value)
        return app::ZoomPath();
    return std::move(*result.value);
}

app::PathPlan planned(const std::string& text) {
    const app::PathPlanResult plan = app::planPath(parsed(text));
    EXPECT_TRUE(plan.value) << plan.error;
    return *plan.value;
}

view::DeepView frameOf(const app::ZoomFrames& frames, long k) {
    const std::optional<view::DeepView> frame = frames.frame(k);
    EXPECT_TRUE(frame) << "frame " << k;
    return frame.value_or(frames.start());
}

struct FramesCase {
    const char* what;
    std::string text;
    long frames;
    // Frames k * perDoubling are w0 / 2^k wide (no ease, whole doublings).
    bool wholeDoublings;
};

// Every frame: its width shrinks (at a constant factor without ease), the fixed point
// stays at its place on the screen, the end centre lies in it; the ends are exact.
TEST(ZoomPathTest, FramesZoomAboutTheFixedPointFromTheStartToTheEndView) {
    const std::vector<FramesCase> cases = {
        {"straight in, 8 doublings",
         "start-centre -0.5 0\nstart-width 4\ncentre -0.5 0\n"
         "width 0.015625\nper-doubling 3\nsize 96x54\n",
         25, true},
        {"off centre, 10 doublings",
         "start-centre -0.5 0.1\nstart-width 3\ncentre -0.7436 0.1318\n"
         "width 0.0029296875\nper-doubling 4\nsize 160x90\n",
         41, true},
        {"to 1e-50 from the type's view",
         "centre -0.743643887037158704752191506114774 0.131825904205311970493132056385139\n"
         "width 1e-50\nper-doubling 2\nsize 96x54\n",
         0, false},
        {"eased",
         "start-centre 0 0\nstart-width 4\ncentre 0.25 0.1\nwidth 0.001\n"
         "per-doubling 5\nease 6\nsize 64x64\n",
         0, false},
        {"zoom out",
         "start-centre 0.3 0\nstart-width 0.01\ncentre 0.3004 0.001\nwidth 2.56\n"
         "per-doubling 2\nsize 64x48\n",
         17, true},
    };
    for (const FramesCase& c : cases) {
        SCOPED_TRACE(c.what);
        const app::PathPlan plan = planned(c.text);
        const app::ZoomFrames& frames = plan.frames;
        if (c.frames > 0) {
            EXPECT_EQ(frames.count(), c.frames);
        }
        const view::DeepView first = frameOf(frames, 0);
        const view::DeepView last = frameOf(frames, frames.count() - 1);
        EXPECT_TRUE(view::DeepView::same(first, frames.start()));
        EXPECT_TRUE(view::DeepView::same(last, frames.end()));
        EXPECT_EQ(view::widthText(last), view::widthText(*view::DeepView::fromCentreAndWidth(
                                             plan.path.end.x, plan.path.end.y, plan.path.end.width,
                                             last.width(), last.height())));
        // The fixed point p = (c1 - r c0) / (1 - r) of the similarity.
        const numeric::BigFloat r = precise(last.spanX()) / first.spanX();
        const numeric::BigFloat one(kCheckPrecision, 1.0);
        const numeric::BigFloat px = (precise(last.centreX()) - r * first.centreX()) / (one - r);
        const numeric::BigFloat py = (precise(last.centreY()) - r * first.centreY()) / (one - r);
        const double screenX = ((px - first.centreX()) / first.spanX()).toDouble();
        const double screenY = ((py - first.centreY()) / first.spanX()).toDouble();
        const bool zoomIn = compare(last.spanX(), first.spanX()) < 0;
        double previousStep = 0.0;
        for (long k = 0; k < frames.count(); ++k) {
            SCOPED_TRACE("frame " + std::to_string(k));
            const view::DeepView frame = frameOf(frames, k);
            ASSERT_EQ(frame.width(), first.width());
            const numeric::BigFloat& w = frame.spanX();
            // The fixed point stays where it was on the screen, to a tenth of a pixel (a
            // shallow frame's edges are doubles).
            const double pixel = 0.1 / frame.width();
            EXPECT_NEAR(((px - frame.centreX()) / w).toDouble(), screenX, pixel);
            EXPECT_NEAR(((py - frame.centreY()) / w).toDouble(), screenY, pixel);
            // The end centre lies in the frame.
            EXPECT_LE(std::fabs(((precise(last.centreX()) - frame.centreX()) / w).toDouble()), 0.5);
            EXPECT_LE(
                std::fabs(((precise(last.centreY()) - frame.centreY()) / frame.spanY()).toDouble()),
                0.5);
            if (c.wholeDoublings && k % plan.path.perDoubling == 0) {
                const double expected =
                    std::ldexp(1.0, static_cast<int>((zoomIn ? -k : k) / plan.path.perDoubling));
                EXPECT_NEAR(ratio(w, first.spanX()), expected, expected * 1e-12);
            }
            if (k == 0)
                continue;
            // Monotone; an eased path slows down to a stop (each step nearer 1).
            const double step = std::log2(ratio(w, frameOf(frames, k - 1).spanX()));
            EXPECT_TRUE(zoomIn ? step < 0 : step > 0) << step;
            // A constant factor a frame, to a pixel across the picture (a shallow frame's
            // edges are doubles).
            if (plan.path.ease == 0) {
                const double doublings = std::log2(ratio(last.spanX(), first.spanX()));
                EXPECT_NEAR(
                    std::log2(ratio(w, first.spanX())),
                    doublings * static_cast<double>(k) / static_cast<double>(frames.count() - 1),
                    1.0 / frame.width());
            }
            if (plan.path.ease > 0 && k > frames.count() - 1 - plan.path.ease) {
                EXPECT_LT(std::fabs(step), std::fabs(previousStep));
            }
            previousStep = step;
        }
        if (plan.path.ease > 0) {
            EXPECT_EQ(frames.count(),
                      std::lround(std::fabs(std::log2(ratio(last.spanX(), first.spanX()))) *
                                  plan.path.perDoubling) +
                          1 + plan.path.ease);
        }
    }
}

TEST(ZoomPathTest, DeepFramesAreComputedAtThePrecisionTheyNeed) {
    const app::PathPlan plan = planned(
        "centre -0.743643887037158704752191506114774 0.131825904205311970493132056385139\n"
        "width 1e-50\nper-doubling 2\nsize 96x54\n");
    const app::ZoomFrames& frames = plan.frames;
    EXPECT_FALSE(frameOf(frames, 0).isDeep());
    EXPECT_TRUE(frameOf(frames, frames.count() - 2).isDeep());
    EXPECT_GT(frameOf(frames, frames.count() - 2).precision(), 160);
    // A frame just above the end shows the end centre to a fraction of its pixels.
    const view::DeepView nearEnd = frameOf(frames, frames.count() - 3);
    const double offset =
        ((precise(frames.end().centreX()) - nearEnd.centreX()) / nearEnd.spanX()).toDouble();
    EXPECT_LT(std::fabs(offset), 0.5);
    EXPECT_GT(std::fabs(offset), 0.0);
}

struct Refusal {
    const char* text;
    const char* message;
};

TEST(ZoomPathTest, PathFilesAreRefusedWithTheReason) {
    const std::string end = "centre -0.75 0.1\nwidth 0.001\n";
    const std::vector<Refusal> cases = {
        {"per-doubling 10\n", "needs the centre and the width of its end view"},
        {"centre -0.75 0.1\nper-doubling 10\n", "needs the centre and the width"},
        {"centre -0.75\nwidth 0.001\nper-doubling 10\n", "end view cannot be used"},
        {"centre -0.75 0.1\nwidth -1\nper-doubling 10\n", "end view cannot be used"},
        {"centre -0.75 0.1\nwidth 0.001\n", "needs per-doubling"},
        {"centre -0.75 0.1\nwidth 0.001\nper-doubling 0\n", "per-doubling is not a whole number"},
        {"centre -0.75 0.1\nwidth 0.001\nper-doubling -3\n", "per-doubling is not a whole number"},
        {"centre -0.75 0.1\nwidth 0.001\nper-doubling 10001\n", "from 1 to 10000"},
        {"centre -0.75 0.1\nwidth 0.001\nper-doubling 1.5\n", "per-doubling is not a whole"},
        {"centre -0.75 0.1\nwidth 0.001\nper-doubling 10\nzoom 3\n", "\"zoom\", which is no key"},
        {"centre -0.75 0.1\nwidth 0.001\nper-doubling 10\nWidth 2\n", "gives its width twice"},
        {"centre -0.75 0.1\nwidth 0.001\nper-doubling 10\nstart-width 3\n", "go together"},
        {"centre -0.75 0.1\nwidth 0.001\nper-doubling 10\nease -1\n", "ease is not a whole"},
        {"centre -0.75 0.1\nwidth 0.001\nper-doubling 10\nsize 0x5\n", "size is not WxH"},
        {"centre -0.75 0.1\nwidth 0.001\nper-doubling 10\nsize 70000x5\n", "size is not WxH"},
        {"centre -0.75 0.1\nwidth 0.001\nper-doubling 10\niterations 0\n", "nor auto"},
        {"centre -0.75 0.1\nwidth 0.001\nper-doubling 10\ncolouring loud\n", "bands, smooth"},
        {"centre -0.75 0.1\nwidth 0.001\nper-doubling 10\ndensity 0\n", "density cannot"},
        {"centre -0.75 0.1\nwidth 0.001\nper-doubling 10\ntransfer cube\n", "linear, sqrt"},
        {"centre -0.75 0.1\nwidth 0.001\nper-doubling 10\nsupersample 17\n", "supersample is"},
        {"centre -0.75 0.1\nwidth 0.001\nper-doubling 10\nkeyframe-every 11\n", "keyframe every"},
        {"type Nowhere\ncentre -0.75 0.1\nwidth 0.001\nper-doubling 10\n", "is no known type"},
        {"type Hopalong\ncentre 0 0\nwidth 0.001\nper-doubling 10\n", "escape-time types only"},
        {"type Mandelbrot\nparameters 1,2\ncentre 0 0\nwidth 1\nper-doubling 10\n",
         "parameter string cannot be used"},
        {"type Julia\ncolouring distance\ncentre 0 0\nwidth 1\nper-doubling 1\n"
         "type Julia\n",
         "gives its type twice"},
    };
    for (const Refusal& c : cases) {
        const app::ZoomPathResult result = app::parseZoomPath(c.text);
        EXPECT_FALSE(result.value) << c.text;
        EXPECT_NE(result.error.find(c.message), std::string::npos)
            << c.text << " gave: " << result.error;
    }
    // Refused once the start view is known.
    const std::vector<Refusal> planned = {
        {"start-centre 0 0\nstart-width 1\ncentre 0.2 0\nwidth 1\nper-doubling 3\nsize 64x64\n",
         "as wide as the start view"},
        {"start-centre 0 0\nstart-width 1\ncentre 0.6 0\nwidth 0.01\nper-doubling 3\n"
         "size 64x64\n",
         "outside the start view"},
        {"start-centre 0 0\nstart-width 1\ncentre 0 0.51\nwidth 0.01\nper-doubling 3\n"
         "size 64x64\n",
         "outside the start view"},
        {"start-centre 0 0\nstart-width 1\ncentre 0 0\nwidth 1e-90000\nper-doubling 10000\n"
         "size 64x64\n",
         "more than 100000000 frames"},
    };
    for (const Refusal& c : planned) {
        const app::PathPlanResult plan = app::planPath(parsed(c.text));
        EXPECT_FALSE(plan.value) << c.text;
        EXPECT_NE(plan.error.find(c.message), std::string::npos)
            << c.text << " gave: " << plan.error;
    }
}

TEST(ZoomPathTest, TheChecksumFollowsTheValuesNotTheirWriting) {
    const std::string path =
        "# a comment\ntype Mandelbrot\ncentre -0.75 0.1\nwidth 0.001\nper-doubling 10\n"
        "size 96x54\ndensity 2\n";
    const app::PathPlan plan = planned(path);
    EXPECT_EQ(plan.checksum.size(), 16u);
    // Parsed again, the canonical text is itself.
    EXPECT_EQ(planned(plan.canonicalText).canonicalText, plan.canonicalText);
    struct Variant {
        std::string text;
        bool same;
    };
    const std::vector<Variant> variants = {
        {"  TYPE   5\n\n\nCenter -0.750 0.10\nwidth 1e-3\n  per-doubling 10\nsize 96X54\n"
         "density 2.0\n",
         true},
        {path + "ease 0\nsupersample 1\nkeyframe-every 0\n", true},
        {path + "ease 1\n", false},
        {"type Mandelbrot\ncentre -0.75 0.1\nwidth 0.001\nper-doubling 11\nsize 96x54\n"
         "density 2\n",
         false},
        {"type Mandelbrot\ncentre -0.75 0.1\nwidth 0.001\nper-doubling 10\nsize 96x54\n", false},
        {path + "iterations auto\n", false},
        {path + "start-centre -0.5 0\nstart-width 3\n", false},
    };
    for (const Variant& v : variants)
        EXPECT_EQ(planned(v.text).checksum == plan.checksum, v.same) << v.text;
}

struct PatternCase {
    const char* text;
    long frame;
    const char* name;  // nullptr: refused
};

TEST(ZoomPathTest, OutputPatternsNumberFramesOrAreRefused) {
    const std::vector<PatternCase> cases = {
        {"frame-%05d.png", 42, "frame-00042.png"},
        {"frame-%d.png", 1234567, "frame-1234567.png"},
        {"f%5d.PNG", 7, "f    7.PNG"},
        {"100%%/f-%03d.png", 5, "100%/f-005.png"},
        {"one.png", 3, "one.png"},
        {"f-%02d.png", 123, "f-123.png"},
        {"f-%s.png", 0, nullptr},
        {"f-%x.png", 0, nullptr},
        {"f-%d-%d.png", 0, nullptr},
        {"f-%5.2d.png", 0, nullptr},
        {"f-%-5d.png", 0, nullptr},
        {"f-%99d.png", 0, nullptr},
        {"f-%", 0, nullptr},
        {"f-%05d.bmp", 0, nullptr},
        {"f-%05d", 0, nullptr},
        {"%d%%", 0, nullptr},
    };
    for (const PatternCase& c : cases) {
        const app::OutputPatternResult pattern = app::OutputPattern::parse(c.text);
        if (c.name == nullptr) {
            EXPECT_FALSE(pattern.value) << c.text;
            EXPECT_FALSE(pattern.error.empty()) << c.text;
            continue;
        }
        ASSERT_TRUE(pattern.value) << c.text << ": " << pattern.error;
        EXPECT_EQ(pattern.value->nameOf(c.frame), c.name);
    }
}

}  // namespace
