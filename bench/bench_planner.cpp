// Plans generated jobs with the program's planner and reports the time and the
// peak memory; for a small job it also runs the plain scans every pair
// variant and prints how much faster the program's planner is. Then three
// drawings that once froze the window: 30 MB of random bytes read as HPGL,
// 8000 wedges meeting at one point, 200000 random overlapping contours; and
// squares nested in each other, listed innermost first, outermost first or
// shuffled; and a duplicated row of copies, whose connector touches every copy.
//
//   bench_planner [figures ...]      (default: 1000 10000 50000)
//   bench_planner drawings [1-3]
//   bench_planner nested [squares ...] (default: 5000 20000 40000)
//   bench_planner row [copies ...]   (default: 99999)
#include "bench/BenchMemory.h"
#include "app/MessageBoxes.h"
#include "app/Settings.h"
#include "job/Figure.h"
#include "job/Geometry.h"
#include "job/Job.h"
#include "job/Planner.h"
#include "production/Duplication.h"
#include "tests/job/PlannerTestSupport.h"
#include "tests/job/ReferencePlanner.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
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

// Wedges whose tips all meet at the origin, with gaps between their outer
// corners: one grid cell holds a vertex of every figure.
void MakeWedges(TJob& job, int figures)
{
    constexpr double kRadius = 100000;
    for (int i = 0; i < figures; ++i) {
        const double a = 2 * std::numbers::pi * i / figures, b = a + 0.8 * 2 * std::numbers::pi / figures;
        const TFigPoint p{static_cast<int32_t>(std::lround(kRadius * std::cos(a))), static_cast<int32_t>(std::lround(kRadius * std::sin(a)))};
        const TFigPoint q{static_cast<int32_t>(std::lround(kRadius * std::cos(b))), static_cast<int32_t>(std::lround(kRadius * std::sin(b)))};
        Add(job, {{0, 0}, p, q, {0, 0}});
    }
    Finish(job);
}

// Random closed polygons of 3 to 12 vertices scattered over a sheet, each
// overlapping many others.
void MakeOverlapping(TJob& job, int figures)
{
    std::mt19937 rng(11);
    auto between = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    for (int i = 0; i < figures; ++i) {
        const int32_t cx = between(0, 400000), cy = between(0, 200000), r = between(200, 4000);
        Points p;
        const int n = between(3, 12);
        for (int k = 0; k < n; ++k) {
            const double a = 2 * std::numbers::pi * k / n;
            const int32_t rr = between(r / 3, r);
            p.push_back({cx + static_cast<int32_t>(rr * std::cos(a)), cy + static_cast<int32_t>(rr * std::sin(a))});
        }
        p.push_back(p.front());
        Add(job, p);
    }
    Finish(job);
}

// Squares around one centre, 1 mm apart, listed innermost first, outermost
// first or shuffled.
enum class Order { InnerFirst, OuterFirst, Shuffled };
void MakeNested(TJob& job, int figures, Order order)
{
    std::vector<int32_t> rank(static_cast<size_t>(figures));
    for (int i = 0; i < figures; ++i)
        rank[static_cast<size_t>(i)] = order == Order::OuterFirst ? figures - 1 - i : i;
    if (order == Order::Shuffled)
        std::shuffle(rank.begin(), rank.end(), std::mt19937(26));
    for (int32_t r : rank) {
        const int32_t h = 40 * (1 + r);
        Add(job, Rect(-h, -h, h, h));
    }
    Finish(job);
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


// No box of the loader is shown; the refusal of the rotary planner (used to
// load without planning) is expected.
class Silent : public MessagePresenter {
public:
    void Show(const MessageRequest&) override {}
    int Ask(const MessageRequest&) override { return mrCancel; }
};

// 30 MB of bytes from a fixed seed, written as a ".plt" file and read by the
// loader as any drawing is; the rotary mode without a rotary device makes the
// loader's own planning refuse at once, so the job holds what was read.
void LoadRandomBytes(TJob& job, double& readSeconds)
{
    const std::string path = (std::filesystem::temp_directory_path() / "bench_planner_random.plt").string();
    {
        std::mt19937_64 rng(20240611);
        std::string bytes(30u << 20, '\0');
        for (size_t i = 0; i + 8 <= bytes.size(); i += 8) {
            const uint64_t v = rng();
            std::memcpy(&bytes[i], &v, 8);
        }
        std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    Silent silent;
    SetMessagePresenter(&silent);
    Settings().Reset();
    Settings().SetItemIndex("Mode", 1);
    Settings().SetItemIndex("StolikSwitch", 2);
    const auto start = std::chrono::steady_clock::now();
    job.InputFileType = 1;
    job.Load(QString::fromStdString(path), 255);
    readSeconds = Seconds(start);
    std::filesystem::remove(path);
    Settings().Reset();
    SetMessagePresenter(nullptr);
}

// Times each stage of the planning, and how long the planner went without
// asking whether to go on (what the window would wait for a Cancel).
class StageClock : public PlanProgress {
public:
    StageClock() : m_since(std::chrono::steady_clock::now()), m_asked(m_since) {}
    bool Continue(int) override
    {
        const auto now = std::chrono::steady_clock::now();
        const double gap = std::chrono::duration<double>(now - m_asked).count();
        if (gap > longestGap) {
            longestGap = gap;
            longestIn = m_phase;
        }
        m_asked = now;
        return true;
    }
    void Phase(PlanPhase phase) override
    {
        Stop();
        m_phase = static_cast<int>(phase);
    }
    void Stop()
    {
        const auto now = std::chrono::steady_clock::now();
        seconds[m_phase] += std::chrono::duration<double>(now - m_since).count();
        m_since = now;
    }
    double seconds[7] = {};
    double longestGap = 0;
    int longestIn = 0;

private:
    std::chrono::steady_clock::time_point m_since, m_asked;
    int m_phase = 0;
};

enum class Drawing { RandomBytes, Wedges, Overlapping, NestedInnerFirst, NestedOuterFirst, NestedShuffled, DuplicatedRow };

void PlanDrawing(Drawing d, int nested = 0)
{
    TJob job;
    double readSeconds = 0;
    const char* name = "";
    char nestedName[64];
    switch (d) {
    case Drawing::NestedInnerFirst:
    case Drawing::NestedOuterFirst:
    case Drawing::NestedShuffled:
        MakeNested(job, nested, d == Drawing::NestedInnerFirst ? Order::InnerFirst : d == Drawing::NestedOuterFirst ? Order::OuterFirst : Order::Shuffled);
        std::snprintf(nestedName, sizeof nestedName, "nested squares, %s",
                      d == Drawing::NestedInnerFirst ? "inner first" : d == Drawing::NestedOuterFirst ? "outer first" : "shuffled");
        name = nestedName;
        break;
    case Drawing::RandomBytes:
        LoadRandomBytes(job, readSeconds);
        name = "30 MB of random bytes";
        break;
    case Drawing::DuplicatedRow: {
        // The duplication tool's grid of one row, planned once as the tool
        // does before the clock starts.
        TJob pattern;
        Add(pattern, Rect(0, 0, 2000, 1200));
        Finish(pattern);
        pattern.ciecie();
        DuplicationParams params;
        params.ElementsPerRow = nested;
        SetDefaultSpacing(params, 50, 30);
        BuildDuplicate(pattern, ConfirmDuplication(params), job);
        std::snprintf(nestedName, sizeof nestedName, "row of %d duplicates", nested);
        name = nestedName;
        break;
    }
    case Drawing::Wedges:
        MakeWedges(job, 8000);
        name = "8000 wedges at one point";
        break;
    case Drawing::Overlapping:
        MakeOverlapping(job, 200000);
        name = "200000 overlapping contours";
        break;
    }
    const size_t figures = job.FigureList.size();
    const auto start = std::chrono::steady_clock::now();
    PlainPlanner planner(job, 0, true);
    StageClock clock;
    const PlainPlanner::Result r = planner.Run(&clock);
    const double s = Seconds(start);
    clock.Stop();
    char read[32] = "";
    if (readSeconds > 0)
        std::snprintf(read, sizeof read, " (read in %.3f s)", readSeconds);
    std::printf("%-28s %7zu figures: planned in %7.3f s%s, peak memory %6.1f MB%s\n", name, figures, s, read,
                PeakRssKb() / 1024.0,
                r == PlainPlanner::Result::Planned ? "" : r == PlainPlanner::Result::Unreachable ? "  (some unreachable)" : "  NOT PLANNED");
    const char* const stages[] = {"analysis", "start", "touching", "nearest lists", "containers", "connectors", "repair"};
    std::printf("    ");
    for (int i = 0; i < 7; ++i)
        std::printf("%s %.3f s%s", stages[i], clock.seconds[i], i < 6 ? ", " : "");
    std::printf("; longest without asking %.1f ms (%s)\n", clock.longestGap * 1000, stages[clock.longestIn]);
}

int main(int argc, char** argv)
{
    // "drawings": only the three drawings (or the one numbered 1 to 3 after it).
    if (argc >= 2 && std::string(argv[1]) == "nested") {
        std::vector<int> squares;
        for (int i = 2; i < argc; ++i)
            squares.push_back(std::atoi(argv[i]));
        if (squares.empty())
            squares = {5000, 20000, 40000};
        for (int n : squares)
            for (const Drawing d : {Drawing::NestedInnerFirst, Drawing::NestedOuterFirst, Drawing::NestedShuffled}) {
                std::fflush(stdout);
                const pid_t child = fork();
                if (child == 0) {
                    PlanDrawing(d, n);
                    std::fflush(stdout);
                    std::_Exit(0);
                }
                int status = 0;
                waitpid(child, &status, 0);
            }
        return 0;
    }
    if (argc >= 2 && std::string(argv[1]) == "row") {
        std::vector<int> copies;
        for (int i = 2; i < argc; ++i)
            copies.push_back(std::atoi(argv[i]));
        if (copies.empty())
            copies = {99999};
        for (int n : copies)
            PlanDrawing(Drawing::DuplicatedRow, n);
        return 0;
    }
    const bool drawingsOnly = argc >= 2 && std::string(argv[1]) == "drawings";
    const int onlyDrawing = drawingsOnly && argc > 2 ? std::atoi(argv[2]) : 0;
    std::vector<int> sizes;
    for (int i = 1; i < argc && !drawingsOnly; ++i)
        sizes.push_back(std::atoi(argv[i]));
    if (sizes.empty() && !drawingsOnly)
        sizes = {1000, 10000, 50000};

    for (const Layout layout : {Layout::Sheet, Layout::Row, Layout::FarGroups}) {
        if (sizes.empty())
            break;
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

    for (const Drawing d : {Drawing::RandomBytes, Drawing::Wedges, Drawing::Overlapping}) {
        if (onlyDrawing != 0 && onlyDrawing != static_cast<int>(d) + 1)
            continue;
        std::fflush(stdout);
        const pid_t child = fork();
        if (child == 0) {
            PlanDrawing(d);
            std::fflush(stdout);
            std::_Exit(0);
        }
        int status = 0;
        waitpid(child, &status, 0);
    }
    if (drawingsOnly)
        return 0;

    // The same job planned both ways.
    size_t a = 0, b = 0;
    bool pa = false, pb = false;
    const double plain = Plan<ReferenceRun>(Layout::Sheet, 300, a, pa);
    const double fast = Plan<PlainPlanner>(Layout::Sheet, 300, b, pb);
    std::printf("   300 figures: every pair scanned %.3f s, the program's planner %.4f s: %.0f times faster\n", plain,
                fast, plain / fast);
    return 0;
}
