// Plans generated jobs with the program's planner and reports the time and the
// peak memory; for a small job it also runs the plain scans every pair
// variant and prints how much faster the program's planner is.
//
//   bench_planner [figures ...]      (default: 1000 10000 50000)
#include "bench/BenchMemory.h"
#include "job/Figure.h"
#include "job/Geometry.h"
#include "job/Job.h"
#include "job/Planner.h"
#include "tests/job/PlannerTestSupport.h"
#include "tests/job/ReferencePlanner.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <numbers>
#include <random>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {
using namespace plan_test;

// Parts on a sheet: outlines of 4 to 40 vertices, a third of them with one or
// two holes, a few open lines, rows that touch now and then.
void MakeJob(TJob& job, int figures, uint32_t seed)
{
    std::mt19937 rng(seed);
    auto between = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    const int side = std::max(1, static_cast<int>(std::sqrt(figures / 1.5)));
    int made = 0;
    for (int i = 0; made < figures; ++i) {
        const int32_t x = (i % side) * 1200, y = (i / side) * 1200;
        const int kind = between(0, 9);
        if (kind < 4) {
            Add(job, {{x, y}, {x + 1000, y}, {x + 1000, y + 800}, {x, y + 800}, {x, y}});
        } else if (kind < 9) {
            Add(job, Circle(x + 500, y + 500, 480, between(8, 40), between(0, 100) / 100.0));
        } else {
            Add(job, {{x, y}, {x + between(200, 900), y + between(200, 900)}, {x + 1000, y + 200}});
        }
        ++made;
        if (kind < 9 && between(0, 2) == 0)
            for (int h = between(1, 2); h > 0 && made < figures; --h, ++made)
                Add(job, Circle(x + 250 + 400 * (h - 1), y + 400, 120, between(6, 16), 0));
    }
    job.Ustaw_PPiPK();
    job.JobWidth = job.JobMaxX - job.JobMinX;
    job.JobHeight = job.JobMaxY - job.JobMinY;
}

// Strips cut from a long block: equal parts in one row.
void MakeRow(TJob& job, int figures)
{
    for (int32_t i = 0; i < figures; ++i)
        Add(job, {{i * 1200, 0}, {i * 1200 + 1000, 0}, {i * 1200 + 1000, 800}, {i * 1200, 800}, {i * 1200, 0}});
    job.Ustaw_PPiPK();
    job.JobWidth = job.JobMaxX - job.JobMinX;
    job.JobHeight = job.JobMaxY - job.JobMinY;
}

// Two groups of squares far apart on one drawing.
void MakeFarGroups(TJob& job, int figures)
{
    const int side = std::max(1, static_cast<int>(std::sqrt(figures / 2)));
    for (int32_t i = 0; i < figures; ++i) {
        const int32_t k = i / 2, x = (i % 2) * 4000000 + (k % side) * 1200, y = (k / side) * 1200;
        Add(job, {{x, y}, {x + 1000, y}, {x + 1000, y + 1000}, {x, y + 1000}, {x, y}});
    }
    job.Ustaw_PPiPK();
    job.JobWidth = job.JobMaxX - job.JobMinX;
    job.JobHeight = job.JobMaxY - job.JobMinY;
}

enum class Layout { Sheet, Row, FarGroups };
const char* const kLayoutNames[] = {"parts on a sheet", "parts in a row", "two far groups"};

double Seconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// The tests' plain reading of the planner, run like the program's.
class ReferenceRun {
public:
    ReferenceRun(const TJob& job, int mode, bool frame) : m_job(job), m_mode(mode), m_frame(frame) {}
    PlainPlanner::Result Run()
    {
        return ref_plan::PlanJob(m_job, m_mode, m_frame).outcome == ref_plan::Outcome::Planned
                   ? PlainPlanner::Result::Planned
                   : PlainPlanner::Result::Unreachable;
    }

private:
    const TJob& m_job;
    int m_mode;
    bool m_frame;
};

template <typename Planner>
double Plan(Layout layout, int figures, size_t& listSize, bool& planned)
{
    TJob job;
    if (layout == Layout::Row)
        MakeRow(job, figures);
    else if (layout == Layout::FarGroups)
        MakeFarGroups(job, figures);
    else
        MakeJob(job, figures, 2026);
    const auto start = std::chrono::steady_clock::now();
    Planner planner(job, 0, true);
    planned = planner.Run() == PlainPlanner::Result::Planned;
    listSize = job.FigureList.size();
    return Seconds(start);
}
}  // namespace

int main(int argc, char** argv)
{
    std::vector<int> sizes;
    for (int i = 1; i < argc; ++i)
        sizes.push_back(std::atoi(argv[i]));
    if (sizes.empty())
        sizes = {1000, 10000, 50000};

    for (const Layout layout : {Layout::Sheet, Layout::Row, Layout::FarGroups}) {
        std::printf("%s\n", kLayoutNames[static_cast<int>(layout)]);
        for (int figures : sizes) {
            std::fflush(stdout);
            const pid_t child = fork();
            if (child == 0) {
                size_t listSize = 0;
                bool planned = false;
                const double s = Plan<PlainPlanner>(layout, figures, listSize, planned);
                std::printf("%6d figures (%6zu with connectors): %8.3f s, peak memory %6.1f MB%s\n", figures, listSize,
                            s, PeakRssKb() / 1024.0, planned ? "" : "  NOT PLANNED");
                std::fflush(stdout);
                std::_Exit(planned ? 0 : 1);
            }
            int status = 0;
            waitpid(child, &status, 0);
        }
    }

    // The same job planned both ways.
    size_t a = 0, b = 0;
    bool pa = false, pb = false;
    const double plain = Plan<ReferenceRun>(Layout::Sheet, 300, a, pa);
    const double fast = Plan<PlainPlanner>(Layout::Sheet, 300, b, pb);
    std::printf("   300 figures: every pair scanned %.3f s, the program's planner %.4f s: %.0f times faster\n", plain,
                fast, plain / fast);
    return 0;
}
