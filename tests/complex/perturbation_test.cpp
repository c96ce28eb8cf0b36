#include "complex/perturbation.h"
#include "numeric/mpfr_access.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <string>
#include <thread>
#include <vector>

#include "complex/boundary_point.h"
#include "complex/perturbation_walk.h"

namespace complex {
namespace {

using numeric::BigFloat;
using numeric::ExtFloat;
using numeric::precisionFor;

constexpr long kWidth = 24;
constexpr long kHeight = 16;

// Points on the edge of each type's set (found with corvane-deep-check), where views
// of any depth down to 1e-300 show detail: counts vary across the picture.
struct Location {
    const char* name;
    EscapeFormula formula;
    const char* x;
    const char* y;
    int deepest = -300;  // the exponent of the deepest view checked there
};

const Location kLocations[] = {
    // c = i: its orbit 0, i, -1 + i, -i, -1 + i, ... is periodic after two steps.
    {"Mandelbrot", {kernels::Formula::kMandelbrot, 0.0, 0.0, 3000}, "0", "1", -400},
    // z(0) = 0.05 + 0.02i: the pixels rebase onto a second orbit, that of 0.
    {"Mandelbrot z0",
     {kernels::Formula::kMandelbrot, 0.05, 0.02, 3000},
     "3.29262665589945659484832131967442697423743797094812658e-1",
     "5.72188932148940225176224729980166723369678523762598334e-1",
     -30},
    {"Julia",
     {kernels::Formula::kJulia, -0.123, 0.745, 3000},
     "1.588065269623468842175701332518998771052555888306435273966855502860977786936977128356"
     "993208459952893866183966487693843117941322946820565687667218703107116707753694360463181"
     "742821936496780104380490643125354956951435717127623749509552207643247218859310887436866"
     "132251883675386003927203685229292677767579132232817206690415287854e-1",
     "3.176130539246937684351402665037997542105111776612870547933711005721955573873954256713"
     "986416919905787732367932975387686235882645893641131375334437406214233415507388720926363"
     "485643872993560208760981286250709913902871434255247499019104415286494437718621774873732"
     "264503767350772007854407370458585355535158264465634413380830575708e-1"},
    {"Unity",
     {kernels::Formula::kUnity, 0.0, 0.0, 3000},
     "3.000488524093633546957173140103744433551386900368674801137137023944089118196258786898"
     "100908855034628402105700331626355354018181070371786949129227658330567544696947277580701"
     "016075150978326946320015699916629636518168777229989887804956675724205937091111119068130"
     "633858109869949649532483073259315391603313835293129882427896240742e-1",
     "5.000732786140450486833620729720042023422077877140478671852107775740433652690361915237"
     "580262377482455690582232672397387400984154501805133029769213085652994427532937829297716"
     "603830048312972302822318012014907980778689609195644420350907796600909059030631671132491"
     "781920358893614151930338899638673137524372481795164296266231489533e-1"},
    {"Spider",
     {kernels::Formula::kSpider, 0.0, 0.0, 3000},
     "5.817468631848204548921818909296247448049935993506078366095582678424818344682287374772"
     "899460255936775665524772287286102340871254028727249468216256471225061145026740967904683"
     "922936060076619165517431427621372129203574434231127095725497991161349105891245736632515"
     "895136938398981834156515079568437899001363147098531580676888205732e-2",
     "1.372620294777230737005046869158705486978348161001728108642432932831500700767516564657"
     "971627071367389420818875583933210072438148359762517004428621353711964981171552466587846"
     "114634117104443097765622841826391375639664934292548862378300022210718259948850780965759"
     "363284767424648937948700462127088180757801141929476676778298104311e-1"},
    {"Phoenix",
     {kernels::Formula::kPhoenix, -1.0, 0.1, 3000},
     "2.672971046569215615203714706598662915566029733062586247205818082597182042066173226841"
     "536686138910982540229222754815193133007314327237300859443838315934765002604694739332392"
     "866769119624230030718967107865265378109495437646630699639051104499862212842179202408103"
     "676780870310335003018916021481425775016846180225229570512249431396e-1",
     "3.742159465196901623877680584634550662173769200323738196170264128321505067108511170500"
     "934076931490907979298137077793011510002661980393418167425710688859768909238809255184356"
     "355892581181689535007209791191747476047031156872551330464811789271873376844869683653532"
     "057111010246115047755343452275766042482532733285792525602312754769e-1"},
    // Manowar's edge near c = -0.34 grows slowly: its views hold two counts, and from
    // 1e-30 on every pixel's escape comes within 2^-40 of the bailout (deeper views of
    // it in DecidesEscapesAtTheBailout).
    {"Manowar",
     {kernels::Formula::kManowar, 0.0, 0.0, 400},
     "-0.340000000000426094012422679964",
     "2.84046391677425752981464106644e-13",
     -30},
};

// A picture of kWidth x kHeight pixels `width` wide around (x, y).
SceneSetup viewAround(const EscapeFormula& formula, const BigFloat& x, const BigFloat& y,
                      const ExtFloat& width) {
    SceneSetup setup;
    setup.formula = formula;
    setup.smooth = true;
    setup.width = kWidth;
    setup.height = kHeight;
    setup.dx = width * (1.0 / kWidth);
    setup.dy = setup.dx;
    const long precision = precisionFor(setup.dx.exponent()) + 64;
    // Half a pixel off: no pixel lies on (x, y) itself, which is on the edge to more
    // digits than the view's precision can resolve.
    setup.originX = x - setup.dx.toBig(precision) * (kWidth / 2 - 0.5);
    setup.originY = y - setup.dy.toBig(precision) * (kHeight / 2 - 0.5);
    return setup;
}

ExtFloat power10(int exponent) {
    return ExtFloat::fromBig(*BigFloat::parse("1e" + std::to_string(exponent), 128));
}

// A dozen pixels spread over the picture: the corners, the centre (the reference
// itself) and a scatter between.
std::vector<std::pair<long, long>> samplePixels() {
    std::vector<std::pair<long, long>> pixels = {
        {0, 0}, {kWidth - 1, 0}, {0, kHeight - 1}, {kWidth - 1, kHeight - 1}, {12, 8}};
    for (long k = 1; k <= 7; ++k)
        pixels.emplace_back((k * 7) % kWidth, (k * 5) % kHeight);
    return pixels;
}

TEST(PerturbationTest, CountsEqualDirectIterationAtEveryDepth) {
    const int depths[] = {-22, -30, -100, -300, -400};
    for (const Location& location : kLocations) {
        for (int depth : depths) {
            // Beyond double's range once: the views of c = i are the cheapest to check.
            if (depth < location.deepest ||
                (depth == -22 && location.formula.type != kernels::Formula::kManowar))
                continue;
            SCOPED_TRACE(std::string(location.name) + " 1e" + std::to_string(depth));
            const long precision = 1500;
            const SceneSetup setup =
                viewAround(location.formula, *BigFloat::parse(location.x, precision),
                           *BigFloat::parse(location.y, precision), power10(depth));
            auto scene = PerturbationScene::create(setup);
            ASSERT_TRUE(scene);
            ASSERT_EQ(scene->prepare(), PerturbationScene::Prepared::kReady);
            int least = location.formula.maxIterations;
            int most = 0;
            for (const auto& [i, j] : samplePixels()) {
                const complex::EscapeValue perturbed = scene->countAt(i, j);
                const complex::EscapeValue direct = directEscape(
                    setup.formula, scene->planeX(i), scene->planeY(j), scene->precision() + 64);
                EXPECT_EQ(perturbed.count, direct.count) << "pixel " << i << ", " << j;
                // The continuous count follows the escape in double from either full
                // value: as near as the double kernel's is to exact arithmetic.
                EXPECT_NEAR(perturbed.continuous, direct.continuous, 0.5);
                least = std::min(least, direct.count);
                most = std::max(most, direct.count);
            }
            // The view is not uniform (Manowar's deeper ones are, as said above).
            EXPECT_LT(least, most);
            EXPECT_EQ(scene->directPixels(), 0);
            // A run of a row gives what the single pixels give.
            complex::EscapeValue row[kWidth];
            scene->countRun(0, 3, kWidth, row);
            for (long i = 0; i < kWidth; i += 5)
                EXPECT_EQ(row[i].count, scene->countAt(i, 3).count);
        }
    }
}

// The test at the bailout for plain differences, in double, against the same in wide
// numbers: the same side wherever either decides with room to spare, neither deciding
// where the margin is within rounding, and the wide form taking over where the terms
// near the bottom of double's range.
TEST(PerturbationTest, EscapeMarginInDoubleAgreesWithTheWideForm) {
    using perturbation_detail::Diff;
    using perturbation_detail::escapeMargin;
    using perturbation_detail::ExtDiff;
    struct Case {
        const char* name;
        OrbitPoint ref;
        Diff d;
        int side;
    };
    const auto at = [](double zr, double zi, double outside) {
        OrbitPoint p;
        p.zr = zr;
        p.zi = zi;
        p.outside = outside;
        return p;
    };
    const Case cases[] = {
        {"on the circle, moved out", at(2.0, 0.0, 0.0), {1e-20, 0.0, 0.0, 0.0}, 1},
        {"on the circle, moved in", at(2.0, 0.0, 0.0), {-1e-20, 0.0, 0.0, 0.0}, -1},
        {"just inside, moved less", at(2.0, 0.0, -1e-12), {1e-14, 0.0, 0.0, 0.0}, -1},
        {"just inside, moved more", at(2.0, 0.0, -1e-12), {1e-12, 0.0, 0.0, 0.0}, 1},
        {"diagonal, sideways", at(std::sqrt(2.0), std::sqrt(2.0), 1e-15), {1e-9, -1e-9, 0, 0}, 1},
        {"cancelling within rounding", at(2.0, 0.0, -4e-20), {1e-20, 0.0, 0.0, 0.0}, 0},
        {"tiny terms", at(2.0, 0.0, 0.0), {0x1p-480, 0x1p-490, 0.0, 0.0}, 1},
        {"terms below double's range", at(2.0, 0.0, 0x1p-1000), {0x1p-1010, 0.0, 0.0, 0.0}, 1},
        {"no difference", at(2.0, 0.0, -1e-15), {0.0, 0.0, 0.0, 0.0}, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ExtDiff wide{ExtFloat(c.d.zr), ExtFloat(c.d.zi), ExtFloat(), ExtFloat()};
        const int inDouble = escapeMargin(c.ref, nullptr, c.d);
        EXPECT_EQ(inDouble, escapeMargin(c.ref, nullptr, wide));
        EXPECT_EQ(inDouble, c.side);
    }
}

// Views where every pixel's escape comes within rounding of the bailout: near the tip
// c = -2, whose orbit 0, -2, 2, 2, ... stays on it, and Manowar's slowly growing edge.
// The double test on the full iterate cannot decide them; the reference's own margin
// does, without counting any pixel directly.
TEST(PerturbationTest, DecidesEscapesAtTheBailout) {
    struct Case {
        EscapeFormula formula;
        const char* x;
        const char* y;
        int depth;
    };
    const Case cases[] = {
        {{kernels::Formula::kMandelbrot, 0.0, 0.0, 1000}, "-1.99999999999999999997", "0", -22},
        {{kernels::Formula::kMandelbrot, 0.0, 0.0, 1000}, "-2", "0", -30},
        {{kernels::Formula::kManowar, 0.0, 0.0, 400},
         "-0.340000000000426094012422679964",
         "2.84046391677425752981464106644e-13",
         -100},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.x) + " 1e" + std::to_string(c.depth));
        const SceneSetup setup = viewAround(c.formula, *BigFloat::parse(c.x, 400),
                                            *BigFloat::parse(c.y, 400), power10(c.depth));
        auto scene = PerturbationScene::create(setup);
        ASSERT_EQ(scene->prepare(), PerturbationScene::Prepared::kReady);
        int wrong = 0;
        for (long j = 0; j < kHeight; ++j) {
            for (long i = 0; i < kWidth; ++i) {
                wrong += scene->countAt(i, j).count != directEscape(c.formula, scene->planeX(i),
                                                                    scene->planeY(j),
                                                                    scene->precision() + 64)
                                                           .count;
            }
        }
        EXPECT_EQ(wrong, 0);
        EXPECT_EQ(scene->directPixels(), 0);
    }
}

// Phoenix with p2 = 0 and p1 the centre of the period-3 copy of the Mandelbrot set: the
// pixels of the basins settle on a cycle through 0, so their iterates come near 0
// again and again, which flags them. Nothing is lost there: the second reference or
// the agreement of both keeps them out of the slow direct iteration.
TEST(PerturbationTest, FlaggedPixelsOfTheTypesWithMemoryStayFast) {
    const EscapeFormula formula{kernels::Formula::kPhoenix, -1.7548776662466927, 0.0, 3000};
    const SceneSetup setup = viewAround(
        formula,
        *BigFloat::parse("4.76706627383635002670119085595824068676004734396170014e-2", 300),
        *BigFloat::parse("9.53413254767270005340238171191648137352009468792340027e-2", 300),
        power10(-30));
    auto scene = PerturbationScene::create(setup);
    ASSERT_EQ(scene->prepare(), PerturbationScene::Prepared::kReady);
    int inside = 0;
    for (const auto& [i, j] : samplePixels()) {
        const int direct =
            directEscape(formula, scene->planeX(i), scene->planeY(j), scene->precision() + 64)
                .count;
        EXPECT_EQ(scene->countAt(i, j).count, direct) << "pixel " << i << ", " << j;
        inside += direct == formula.maxIterations;
    }
    EXPECT_GT(inside, 0);
    EXPECT_EQ(scene->directPixels(), 0);
}

// A view 1e-21 wide beside a small copy of the set (period 30, near c = i): the
// reference at the centre escapes after some 200 steps while the pixels on the copy
// pass near 0 every 30 steps. Their differences from the reference then carry no
// precision for what follows; unfixed, a fifth of the picture comes out wrong.
TEST(PerturbationTest, FixesTheGlitchesOfAViewBesideASmallCopy) {
    const long precision = 300;
    const auto nucleus =
        findNucleus(PlanePoint{BigFloat(precision, 0.0), BigFloat(precision, 1.0)}, 30, precision);
    ASSERT_TRUE(nucleus);
    const EscapeFormula formula{kernels::Formula::kMandelbrot, 0.0, 0.0, 1000};
    SceneSetup setup =
        viewAround(formula, nucleus->x + BigFloat(precision, 0.3e-21), nucleus->y, power10(-21));
    int wrongUnfixed = 0;
    for (bool fix : {false, true}) {
        setup.fixGlitches = fix;
        auto scene = PerturbationScene::create(setup);
        ASSERT_EQ(scene->prepare(), PerturbationScene::Prepared::kReady);
        int wrong = 0;
        int inside = 0;
        for (long j = 0; j < kHeight; ++j) {
            for (long i = 0; i < kWidth; ++i) {
                const int direct = directEscape(formula, scene->planeX(i), scene->planeY(j),
                                                scene->precision() + 64)
                                       .count;
                wrong += scene->countAt(i, j).count != direct;
                inside += direct == formula.maxIterations;
            }
        }
        EXPECT_GT(inside, 0);  // the copy is in the picture
        if (fix)
            EXPECT_EQ(wrong, 0);
        else
            wrongUnfixed = wrong;
    }
    EXPECT_GT(wrongUnfixed, kWidth * kHeight / 10);
}

// Near small copies 1e-600 wide the reference passes 0 at 1e-300, where the scale of a
// pixel's difference lies below double's normal range while the difference outweighs
// the reference: the quadratic term and the difference beside the reference count.
// Dropped, every pixel followed the reference (inside the copy) to the limit. Phoenix
// with p2 = 0 is z^2 + p1 without a term of the difference's own size beside d^2. Where
// the reference's margin to the bailout is below double's range, so are its pixels'.
TEST(PerturbationTest, FollowsPixelsWhereTheReferencePasses0BelowDoublesRange) {
    struct Case {
        const char* name;
        EscapeFormula formula;
        const char* x;
        const char* y;
        const char* width;
    };
    const std::string besideTip = "-1." + std::string(400, '9') + "7";  // -2 + 3e-401
    const Case cases[] = {
        // A copy of period 799 near c = i.
        {"period 799 at 4e-600", EscapeFormula{kernels::Formula::kMandelbrot, 0.0, 0.0, 12000},
         "6.696286409169893279537340922569125738872174437825752004088580697479641179412902823751"
         "73527049215682286372894262141273492662446422879002133185563493658516526643963537229459"
         "11557151199353832159279773839224490355896636622174783762548235283491743900633049213362"
         "681550867962300959595633374045041279040207607825e-301",
         "0.999999999999999999999999999999999999999999999999999999999999999999999999999999999999"
         "99999999999999999999999999999999999999999999999999999999999999999999999999999999999999"
         "99999999999999999999999999999999999999999999999999999999999999999999999999999999999999"
         "99999999999999999999999999999999999999999999665863315548961333381208382440434496332562"
         "42916415516399275722737549736058432435935521931954209131874623216653236300796451763546"
         "08883401015212302805042025443507531154854522403917526878800112235684480105196201736021"
         "40485253970391289043641946901102250835421490833617874627108875346470538848243023401433"
         "293402",
         "4.225191e-600"},
        // 3e-401 right of the tip c = -2: every margin to the bailout of the reference's
        // first states, of the order of the view, is below double's range.
        {"beside the tip at 1e-400", EscapeFormula{kernels::Formula::kMandelbrot, 0.0, 0.0, 3000},
         besideTip.c_str(), "0", "1e-400"},
        // 3e-604 beside the point whose orbit under z^2 - 2 reaches 0 after 1000 steps
        // near the repelling -1 (its preimages by -sqrt(z + 2)); the pixels pass 0 at
        // 4e-303 and escape about 1000 steps later along 2, by the size of (Z + d)^2.
        {"Phoenix p2 = 0 at 1e-603", EscapeFormula{kernels::Formula::kPhoenix, -2.0, 0.0, 3000},
         "-0.99999999999999999999999999999999999999999999999999999999999999999999999999999999999"
         "99999999999999999999999999999999999999999999999999999999999999999999999999999999999999"
         "99999999999999999999999999999999999999999999999999999999999999999999999999999999999999"
         "99999999999999999999999999999999999999999999991536235210479679832857534265796080573748"
         "04917296571002329249519000546670206342796670490171706128834721019629414644621593732308"
         "18177409153186668040122106773209035292783878996593340977320456417484703101418915747602"
         "28649087076427777578106423161607002313825253770859798765155017947346620078203719724522"
         "57190233074238206188061359389759224879371",
         "1e-604", "1e-603"},
    };
    for (const Case& c : cases) {
        for (bool fast : {false, true}) {
            SCOPED_TRACE(std::string(c.name) + (fast ? ", fast" : ", plain"));
            const long precision = 2400;
            SceneSetup setup = viewAround(c.formula, *BigFloat::parse(c.x, precision),
                                          *BigFloat::parse(c.y, precision),
                                          ExtFloat::fromBig(*BigFloat::parse(c.width, 128)));
            setup.approximate = fast;
            setup.detectInterior = fast;
            auto scene = PerturbationScene::create(setup);
            ASSERT_TRUE(scene);
            ASSERT_EQ(scene->prepare(), PerturbationScene::Prepared::kReady);
            int escaped = 0;
            for (const auto& [i, j] : samplePixels()) {
                const int direct = directEscape(setup.formula, scene->planeX(i), scene->planeY(j),
                                                scene->precision() + 64)
                                       .count;
                EXPECT_EQ(scene->countAt(i, j).count, direct) << "pixel " << i << ", " << j;
                escaped += direct < c.formula.maxIterations;
            }
            EXPECT_GT(escaped, 0);
        }
    }
}

// The scans count pixels on all cores from one prepared scene.
TEST(PerturbationTest, CountsFromSeveralThreadsAtOnce) {
    const Location& rabbit = kLocations[2];
    ASSERT_EQ(rabbit.formula.type, kernels::Formula::kJulia);
    auto scene =
        PerturbationScene::create(viewAround(rabbit.formula, *BigFloat::parse(rabbit.x, 400),
                                             *BigFloat::parse(rabbit.y, 400), power10(-60)));
    ASSERT_EQ(scene->prepare(), PerturbationScene::Prepared::kReady);
    std::vector<int> alone(kWidth * kHeight);
    for (long j = 0; j < kHeight; ++j)
        for (long i = 0; i < kWidth; ++i)
            alone[j * kWidth + i] = scene->countAt(i, j).count;
    std::vector<int> together(kWidth * kHeight);
    std::vector<std::thread> threads;
    for (long first = 0; first < 4; ++first) {
        threads.emplace_back([&, first] {
            for (long j = first; j < kHeight; j += 4)
                for (long i = 0; i < kWidth; ++i)
                    together[j * kWidth + i] = scene->countAt(i, j).count;
        });
    }
    for (std::thread& t : threads)
        t.join();
    EXPECT_EQ(together, alone);
}

TEST(PerturbationTest, StopsPromptlyDuringTheReferenceOrbit) {
    // c = i never escapes: without the stop the reference would take a million steps.
    EscapeFormula formula{kernels::Formula::kMandelbrot, 0.0, 0.0, 1'000'000};
    auto scene = PerturbationScene::create(
        viewAround(formula, BigFloat(600, 0.0), BigFloat(600, 1.0), power10(-150)));
    ASSERT_TRUE(scene);
    int asked = 0;
    EXPECT_EQ(scene->prepare([&asked] { return ++asked > 50; }),
              PerturbationScene::Prepared::kStopped);
    EXPECT_EQ(asked, 51);  // asked once per step, and no step after the stop
    EXPECT_FALSE(scene->prepared());
    EXPECT_EQ(scene->referenceBytes(), 0u);
    EXPECT_EQ(scene->countAt(3, 3).count, 0);

    const std::atomic<bool> stopped{true};
    EXPECT_EQ(scene->prepare(stopped), PerturbationScene::Prepared::kStopped);
}

TEST(PerturbationTest, BoundsAndReportsReferenceMemory) {
    const EscapeFormula formula{kernels::Formula::kJulia, -0.123, 0.745, 1000};
    ReferenceOrbit orbit;
    const BigFloat zero(100, 0.0);
    // The orbit of 0 under the rabbit's c stays bounded: it would keep every state.
    EXPECT_EQ(computeOrbit(formula, zero, zero, OrbitStart::kPoint, 100, 1000 * sizeof(OrbitPoint),
                           {}, orbit),
              OrbitOutcome::kTooLarge);
    EXPECT_TRUE(orbit.points.empty());
    EXPECT_EQ(computeOrbit(formula, zero, zero, OrbitStart::kPoint, 100, 1001 * sizeof(OrbitPoint),
                           {}, orbit),
              OrbitOutcome::kDone);
    EXPECT_EQ(orbit.points.size(), 1001u);

    auto scene = PerturbationScene::create(viewAround(formula, zero, zero, power10(-40)));
    ASSERT_EQ(scene->prepare(), PerturbationScene::Prepared::kReady);
    // The centre's orbit and the critical orbit, a state each per iteration and one more.
    EXPECT_EQ(scene->referenceBytes(), 2 * 1001 * sizeof(OrbitPoint));
    // The approximation tables come within the same bound, or are left out.
    for (const std::size_t most :
         {std::size_t{2 * 1001 * sizeof(OrbitPoint)}, std::size_t{1} << 30}) {
        SceneSetup setup = viewAround(formula, zero, zero, power10(-40));
        setup.mostReferenceBytes = most;
        auto bounded = PerturbationScene::create(setup);
        ASSERT_EQ(bounded->prepare(), PerturbationScene::Prepared::kReady);
        EXPECT_LE(bounded->referenceBytes() + bounded->tableBytes(), most);
        EXPECT_EQ(bounded->tableBytes() > 0, most > scene->referenceBytes());
        EXPECT_EQ(bounded->countAt(3, 3).count, scene->countAt(3, 3).count);
    }
}

TEST(PerturbationTest, RefusesUnusableSetups) {
    const SceneSetup good = viewAround(EscapeFormula{kernels::Formula::kMandelbrot, 0.0, 0.0, 200},
                                       BigFloat(200, -0.75), BigFloat(200, 0.1), power10(-20));
    ASSERT_TRUE(PerturbationScene::create(good));
    struct Case {
        const char* name;
        void (*spoil)(SceneSetup&);
    };
    const Case cases[] = {
        {"no iterations", [](SceneSetup& s) { s.formula.maxIterations = 0; }},
        {"orbits beyond the memory bound",
         [](SceneSetup& s) { s.mostReferenceBytes = 200 * sizeof(OrbitPoint); }},
        {"NaN parameter", [](SceneSetup& s) { s.formula.paramReal = std::nan(""); }},
        {"zero step", [](SceneSetup& s) { s.dx = ExtFloat(); }},
        {"negative step", [](SceneSetup& s) { s.dy = ExtFloat(-1e-20); }},
        {"NaN step", [](SceneSetup& s) { s.dx = ExtFloat(std::nan("")); }},
        {"infinite step", [](SceneSetup& s) { s.dy = ExtFloat(HUGE_VAL); }},
        {"step below 1e-100000", [](SceneSetup& s) { s.dx = ExtFloat::fromParts(0.5, -400000); }},
        {"NaN origin", [](SceneSetup& s) { mpfr_set_nan(numeric::raw(s.originX)); }},
        {"no width", [](SceneSetup& s) { s.width = 0; }},
        {"negative height", [](SceneSetup& s) { s.height = -5; }},
        {"huge picture", [](SceneSetup& s) { s.width = PerturbationScene::kMostPictureSide + 1; }},
    };
    for (const Case& c : cases) {
        SceneSetup setup = good;
        c.spoil(setup);
        std::string why;
        EXPECT_FALSE(PerturbationScene::create(setup, &why)) << c.name;
        EXPECT_FALSE(why.empty()) << c.name;
    }
}

}  // namespace
}  // namespace complex
