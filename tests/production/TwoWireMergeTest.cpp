// The merge of a front and a back cut path into two profiles of equal point
// counts, on paths given directly.
#include "job/Job.h"
#include "production/TwoWireMerge.h"

#include <gtest/gtest.h>
#include <vector>

namespace {
using Path = std::vector<TCapturedPoint>;
using Points = std::vector<TFigPoint>;

// One record per point; `tags` gives each point's tag (all 1 when empty).
Path MakePath(const Points& points, const std::vector<int32_t>& tags = {})
{
    Path path;
    for (size_t i = 0; i < points.size(); ++i)
        path.push_back({tags.empty() ? 1 : tags[i], static_cast<int32_t>(i), points[i].x, points[i].y});
    return path;
}

struct Merged {
    tfigura front, back;
    bool ok = false;
};

Merged Merge(const Points& front, const Points& back)
{
    Merged m;
    m.ok = MergeCapturedPaths(MakePath(front), MakePath(back), m.front, m.back);
    return m;
}
}  // namespace

TEST(TwoWireMergeTest, RunsOfEqualCountAreCopiedWithTheLastPointOthersResampledAtEachOthersFractions)
{
    // Two runs each, of equal item counts: copied as they are, the profile closes.
    const Points square{{0, 0}, {4000, 0}, {4000, 4000}, {0, 4000}, {0, 0}};
    const Points inner{{500, 500}, {3000, 500}, {3000, 3000}, {500, 3000}, {500, 500}};
    Merged copied;
    ASSERT_TRUE(MergeCapturedPaths(MakePath(square, {1, 1, 1, 2, 2}), MakePath(inner, {1, 1, 1, 2, 2}), copied.front,
                                   copied.back));
    EXPECT_EQ(copied.front.Points, square);
    EXPECT_EQ(copied.back.Points, inner);

    // 3 front against 5 back points: 5 + 3 - 2 in both, each side gaining a
    // point at every length fraction where the other has one.
    const Merged m = Merge({{0, 0}, {800, 0}, {1600, 0}},
                           {{0, 2000}, {400, 2000}, {600, 2000}, {1000, 2000}, {1600, 2000}});
    ASSERT_TRUE(m.ok);
    EXPECT_EQ(m.front.Points, (Points{{0, 0}, {400, 0}, {600, 0}, {800, 0}, {1000, 0}, {1600, 0}}));
    EXPECT_EQ(m.back.Points, (Points{{0, 2000}, {400, 2000}, {600, 2000}, {800, 2000}, {1000, 2000}, {1600, 2000}}));
}

TEST(TwoWireMergeTest, PairsCloseOnBothProfilesMergeButTheLastPointStays)
{
    const Merged m = Merge({{0, 0}, {10, 0}, {1000, 0}, {1010, 0}, {2000, 0}, {2005, 0}},
                           {{0, 0}, {10, 0}, {1000, 0}, {1500, 0}, {2500, 0}, {2505, 0}});
    ASSERT_TRUE(m.ok);
    EXPECT_EQ(m.front.Points, (Points{{0, 0}, {1000, 0}, {1010, 0}, {2005, 0}}));
    EXPECT_EQ(m.back.Points, (Points{{0, 0}, {1000, 0}, {1500, 0}, {2505, 0}}));
}

TEST(TwoWireMergeTest, TheTargetGetsBothProfilesAtTheOriginWithBoundsThatHoldThem)
{
    TJob front, back, target;
    front.JobMinX = 100, front.JobMinY = 200, front.JobMaxX = 4100, front.JobMaxY = 4200, front.TotalLength = 9;
    back.JobMinX = 300, back.JobMinY = 100, back.JobMaxX = 3300, back.JobMaxY = 3100, back.TotalLength = 7;
    Path frontPath = MakePath({{500, 300}, {4100, 200}, {600, 400}});
    Path backPath = MakePath({{300, 500}, {3300, 100}, {700, 350}});
    auto capture = [&](TJob& job) { job.CapturedPath = &job == &front ? frontPath : backPath; };

    // Paths of different run counts: refused, the target untouched.
    backPath = MakePath({{300, 500}, {3300, 100}, {700, 350}}, {1, 1, 2});
    EXPECT_EQ(MergeTwoWireJobs(front, back, target, capture), MergeOutcome::RunCountsDiffer);
    EXPECT_TRUE(target.FigureList.empty());
    EXPECT_FALSE(target.TwoProfile);
    EXPECT_TRUE(front.CapturedPath.empty() && back.CapturedPath.empty());
    front.FigureList.push_back(std::make_unique<tfigura>());
    EXPECT_EQ(MergeTwoWireJobs(front, back, target, capture), MergeOutcome::FigureCountsDiffer);
    front.FigureList.clear();

    backPath = MakePath({{300, 500}, {3300, 100}, {700, 350}});
    ASSERT_EQ(MergeTwoWireJobs(front, back, target, capture), MergeOutcome::Merged);
    ASSERT_EQ(target.FigureList.size(), 2u);
    const tfigura& f = *target.FigureList[0];
    const tfigura& b = *target.FigureList[1];
    // Both start at the smaller x and y of the two starts, end at those of the ends.
    EXPECT_EQ(f.Points, (Points{{200, 200}, {4000, 100}, {500, 250}}));
    EXPECT_EQ(b.Points, (Points{{200, 200}, {3200, 0}, {500, 250}}));
    EXPECT_EQ((std::vector<int>{f.Pen, b.Pen, f.OriginX, b.OriginY}), (std::vector<int>{4, 3, 0, 0}));
    const TJob& t = target;
    EXPECT_EQ((std::vector<int32_t>{t.JobMinX, t.JobMinY, t.JobMaxX, t.JobMaxY, t.JobWidth, t.JobHeight}),
              (std::vector<int32_t>{0, 0, 4000, 4100, 4000, 4100}));
    EXPECT_TRUE(t.TwoProfile && t.PathPlanned);
    EXPECT_EQ(t.StartFigure, 0);
    EXPECT_EQ(t.TotalLength, 9);
}
