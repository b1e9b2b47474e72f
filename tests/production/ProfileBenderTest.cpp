// The profile bender on curves given directly: which curves it takes and the
// notched strip it unrolls them into.
#include "app/Translator.h"
#include "job/Job.h"
#include "production/ProfileBender.h"
#include "tests/support/TestSupport.h"

#include <climits>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace {
using Points = std::vector<TFigPoint>;

// A job of the given figures as the planner leaves it: one open figure alone
// is a single open figure.
std::unique_ptr<TJob> SourceOf(const std::vector<Points>& figures)
{
    auto job = std::make_unique<TJob>();
    for (const Points& p : figures) {
        auto f = std::make_unique<tfigura>();
        f->Points = p;
        job->AddFigure(std::move(f));
    }
    job->SingleOpenFigure = figures.size() == 1 && figures[0].front() != figures[0].back();
    return job;
}

Points Strip(const Points& curve, int32_t depth, bool& overlap)
{
    return NotchedStripPoints(DistinctCurvePoints(curve), depth, overlap);
}

const Points kArch{{0, 0}, {100, 100}, {200, 0}};
const Points kArchStrip{{0, 80}, {61, 80}, {141, 0}, {221, 80}, {282, 80}};
}  // namespace

TEST(ProfileBenderTest, OnlyCurvesArchingUpwardsAreTakenAndTheOperatorIsToldWhy)
{
    ScopedTranslator tr;
    ScriptedPresenter boxes;
    auto verdict = [](const std::vector<Points>& figures, double depth = 2.0) {
        const auto job = SourceOf(figures);
        return ProfileBender(job.get()).JudgeSourceCurve(depth);
    };
    EXPECT_EQ(verdict({kArch}), CurveVerdict::Accepted);
    EXPECT_EQ(verdict({{{200, 0}, {100, 100}, {0, 0}}}), CurveVerdict::Accepted) << "right to left";
    EXPECT_EQ(verdict({{{0, 0}, {100, 0}, {200, 0}}}), CurveVerdict::Accepted) << "straight";
    EXPECT_EQ(verdict({{{0, 100}, {100, 0}, {200, 100}}}), CurveVerdict::BendsBothWays) << "a valley";
    EXPECT_EQ(verdict({{{200, 100}, {100, 0}, {0, 100}}}), CurveVerdict::BendsBothWays) << "a valley right to left";
    // Doubling back is a turn of half a circle either way: no notch can be that wide.
    EXPECT_EQ(verdict({{{0, 0}, {300, 0}, {100, 0}}}), CurveVerdict::BendsBothWays);
    // A repeated point has no direction: the right-to-left arch stays one.
    EXPECT_EQ(verdict({{{200, 0}, {100, 100}, {100, 100}, {0, 0}}}), CurveVerdict::Accepted);
    EXPECT_EQ(verdict({{{0, 0}, {0, 0}, {200, 0}}}), CurveVerdict::Ignored) << "two points once repeats go";
    EXPECT_EQ(verdict({kArch}, 0.0), CurveVerdict::Ignored);
    EXPECT_EQ(verdict({kArch}, 0.01), CurveVerdict::Ignored) << "less than a step deep";
    EXPECT_EQ(verdict({kArch, {{0, 500}, {300, 500}}}), CurveVerdict::SeveralFigures);
    EXPECT_TRUE(boxes.shown.empty()) << "judging is silent";

    const auto several = SourceOf({kArch, {{0, 500}, {300, 500}}});
    EXPECT_FALSE(ProfileBender(several.get()).CheckSourceCurve(2.0));
    const auto valley = SourceOf({{{0, 100}, {100, 0}, {200, 100}}});
    EXPECT_FALSE(ProfileBender(valley.get()).CheckSourceCurve(2.0));
    const auto flat = SourceOf({kArch});
    EXPECT_FALSE(ProfileBender(flat.get()).CheckSourceCurve(0.0));
    EXPECT_TRUE(ProfileBender(flat.get()).CheckSourceCurve(2.0));
    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_EQ(boxes.shown[0].kind, MessageKind::Error);
    EXPECT_EQ(boxes.shown[0].text, "A job of several figures is not allowed.\r\n\r\nA single open curve is required.");
    EXPECT_EQ(boxes.shown[1].text, Tr("Arch_cutting", "niedozwolonaWypuklosc") + "\r\n\r\n" +
                                       Tr("Arch_cutting", "wymaganaKrzywa"));
}

TEST(ProfileBenderTest, TheCurveUnrollsIntoAStripWithANotchAsWideAsEachBend)
{
    bool overlap = true;
    EXPECT_EQ(Strip(kArch, 80, overlap), kArchStrip);
    EXPECT_FALSE(overlap);
    EXPECT_EQ(Strip({{200, 0}, {100, 100}, {100, 100}, {0, 0}}, 80, overlap), kArchStrip) << "repeat taken once";
    EXPECT_EQ(Strip({{0, 0}, {100, 0}, {200, 0}}, 80, overlap), (Points{{0, 80}, {100, 80}, {100, 0}, {100, 80}, {200, 80}}));
    EXPECT_FALSE(overlap);

    // The strip job: that figure alone, its bounds, planned.
    const auto source = SourceOf({kArch});
    ProfileBender bender(source.get());
    TJob result;
    EXPECT_FALSE(bender.BuildStripJob(result, 2.0));
    ASSERT_EQ(result.FigureList.size(), 1u);
    EXPECT_EQ(result.FigureList[0]->Points.size(), kArchStrip.size());
    EXPECT_EQ(result.JobWidth, 282);
    EXPECT_EQ(result.JobHeight, 80);
    EXPECT_TRUE(result.PathPlanned);
}

TEST(ProfileBenderTest, NotchesReachingIntoEachOtherOrPastTheEndsAreMarked)
{
    // Two 45 degree bends 200 steps apart: notches of 33 at 2 mm, 166 at 10 mm.
    const Points twoBends{{0, 0}, {1000, 1000}, {1200, 1000}, {2200, 0}};
    bool overlap = true;
    Strip(twoBends, 80, overlap);
    EXPECT_FALSE(overlap);
    const Points deep = Strip(twoBends, 400, overlap);
    EXPECT_TRUE(overlap);
    EXPECT_EQ(deep[3].x, 1414 + 166);
    EXPECT_EQ(deep[4].x, 1614 - 166);

    // A right-angle bend 14 steps from either end takes a notch of 80 at 2 mm.
    Strip({{0, 0}, {10, 10}, {1010, -990}}, 80, overlap);
    EXPECT_TRUE(overlap) << "reaches left of the start";
    Strip({{0, 0}, {1000, 1000}, {1010, 990}}, 80, overlap);
    EXPECT_TRUE(overlap) << "reaches past the end";
    Strip({{0, 0}, {80, 80}, {1080, -920}}, 80, overlap);
    EXPECT_FALSE(overlap) << "113 steps from the start is room enough";

    // All but doubling back at the greatest depth: the notch stays within the
    // coordinates instead of wrapping round.
    const Points wide = Strip({{0, 0}, {1000000, 0}, {0, 1}}, 399960, overlap);
    EXPECT_TRUE(overlap);
    EXPECT_EQ(wide[1].x, INT32_MIN);
    EXPECT_EQ(wide[3].x, INT32_MAX);
}
