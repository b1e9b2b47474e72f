// The planner's links between figures that touch, answered through the grid
// of every vertex of the job.
#include "job/Geometry.h"
#include "job/Planner.h"
#include "job/Spatial.h"
#include "job/planner/PlannerEngines.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <set>
#include <unordered_map>
#include <utility>

namespace {
// Whole-step reach of a tolerance compared with <=.
int64_t Reach(double tolerance) { return std::max<int64_t>(0, static_cast<int64_t>(std::floor(tolerance))); }
// Which figures touch a figure, through the grid of every vertex, for the
// links between touching figures: figures only ever become connected there.
class TouchLookup {
public:
    using Figures = std::vector<std::unique_ptr<tfigura>>;
    TouchLookup(const VertexGrid& grid, const Figures& figures) : m_grid(grid), m_figures(figures) {}

    // The first figure not connected yet that touches i, by index (i itself
    // is connected).
    int32_t FirstTouching(int32_t i)
    {
        const tfigura& f = *m_figures[static_cast<size_t>(i)];
        const bool again = std::exchange(m_asked[static_cast<size_t>(i)], 1) != 0;
        if (again && f.Points.size() > kQueuedFrom && f.Origin != 3)
            return FirstTouchingAgain(i, f);
        int32_t best = INT32_MAX;
        m_runs += static_cast<int64_t>(f.Points.size());
        for (const TFigPoint& p : f.Points) {
            m_grid.Runs(p, [&](size_t b, size_t e) {
                ++m_runs;
                const size_t k = FirstOpenIn(b, e);
                if (k < e)
                    best = std::min(best, m_grid.At(k).figure);
                return false;
            });
            for (const VertexGrid::Entry& e : m_grid.Added())
                if (e.figure < best && !Connected(e.figure) && m_grid.Within(e.p, p))
                    best = e.figure;
        }
        return best == INT32_MAX ? -1 : best;
    }

    // Figure i has left the walk: it is asked no more.
    void Forget(int32_t i) { m_queued.erase(i); }

    // The last vertex of figure f within reach of p, or -1.
    int32_t LastVertexNear(int32_t f, const TFigPoint& p)
    {
        int32_t found = -1;
        m_grid.Runs(p, [&](size_t b, size_t e) {
            ++m_runs;
            size_t lo = b, hi = e;  // the run is ordered by figure and vertex
            while (lo < hi) {
                const size_t mid = lo + (hi - lo) / 2;
                if (m_grid.At(mid).figure <= f)
                    lo = mid + 1;
                else
                    hi = mid;
            }
            if (lo > b && m_grid.At(lo - 1).figure == f)
                found = std::max(found, m_grid.At(lo - 1).vertex);
            return false;
        });
        for (const VertexGrid::Entry& e : m_grid.Added())
            if (e.figure == f && m_grid.Within(e.p, p))
                found = std::max(found, e.vertex);
        return found;
    }

    // The work done since last asked: vertices and runs of vertices looked at.
    int64_t TakeRuns() { return std::exchange(m_runs, 0); }

private:
    // A figure of many vertices asked again after it linked one (the
    // connector of a duplicated grid runs past every copy) keeps the runs it
    // touches in a queue by their first open figure, and its own vertices in a
    // grid of their own: each later question costs the runs whose figure got
    // connected meanwhile, not all its vertices again. Its vertices never move
    // (the planner's own figures are not kept so); the queue goes when the
    // figure leaves the walk.
    static constexpr size_t kQueuedFrom = 64;
    struct Run {
        int32_t figure;
        size_t begin, end;
        bool operator>(const Run& o) const { return figure > o.figure; }
    };
    struct Queued {
        std::vector<Run> runs;  // a heap, smallest figure first
        std::unique_ptr<VertexGrid> own;
    };

    int32_t FirstTouchingAgain(int32_t i, const tfigura& f)
    {
        auto [at, fresh] = m_queued.try_emplace(i);
        Queued& q = at->second;
        if (fresh) {
            m_runs += static_cast<int64_t>(f.Points.size());
            for (const TFigPoint& p : f.Points)
                m_grid.Runs(p, [&](size_t b, size_t e) {
                    ++m_runs;
                    if (const size_t k = FirstOpenIn(b, e); k < e)
                        q.runs.push_back({m_grid.At(k).figure, b, e});
                    return false;
                });
            std::make_heap(q.runs.begin(), q.runs.end(), std::greater<>());
            q.own = std::make_unique<VertexGrid>(Reach(PointTolerance), 1,
                                                 [&f](int32_t) -> const std::vector<TFigPoint>& { return f.Points; });
        }
        while (!q.runs.empty() && Connected(q.runs.front().figure)) {
            std::pop_heap(q.runs.begin(), q.runs.end(), std::greater<>());
            Run& r = q.runs.back();
            ++m_runs;
            if (const size_t k = FirstOpenIn(r.begin, r.end); k < r.end) {
                r.figure = m_grid.At(k).figure;
                std::push_heap(q.runs.begin(), q.runs.end(), std::greater<>());
            } else {
                q.runs.pop_back();
            }
        }
        int32_t best = q.runs.empty() ? INT32_MAX : q.runs.front().figure;
        for (const VertexGrid::Entry& e : m_grid.Added())
            if (e.figure < best && !Connected(e.figure) && q.own->Runs(e.p, [](size_t, size_t) { return true; }))
                best = e.figure;
        return best == INT32_MAX ? -1 : best;
    }

    bool Connected(int32_t i) const { return m_figures[static_cast<size_t>(i)]->NotConnected == 0; }

    // Where a long run of vertices at one point has its first figure not
    // connected yet. Figures only ever become connected, so that place only
    // moves on, and a point where thousands of figures meet is walked once,
    // not once for each of them.
    size_t FirstOpenIn(size_t b, size_t e)
    {
        constexpr size_t kShortRun = 4;
        if (e - b <= kShortRun) {
            while (b < e && Connected(m_grid.At(b).figure))
                ++b;
            return b;
        }
        size_t& at = m_firstOpen.try_emplace(b, b).first->second;
        while (at < e && Connected(m_grid.At(at).figure))
            ++at;
        return at;
    }

    const VertexGrid& m_grid;
    const Figures& m_figures;
    std::unordered_map<size_t, size_t> m_firstOpen;
    std::unordered_map<int32_t, Queued> m_queued;
    std::vector<uint8_t> m_asked = std::vector<uint8_t>(m_figures.size(), 0);
    int64_t m_runs = 0;
};
}  // namespace

// The vertices of every figure of the list, in one grid. The drawing's
// vertices are built in; the planner's own figures are kept apart.
VertexGrid& PlainPlanner::Vertices()
{
    PlannerEngines& e = EnginesOf(m_engines);
    if (!e.vertices) {
        static const std::vector<TFigPoint> none;
        e.vertices = std::make_unique<VertexGrid>(Reach(PointTolerance), Count(), [this](int32_t i) -> const std::vector<TFigPoint>& {
            return Fig(i).Origin == 0 ? Fig(i).Points : none;
        });
        for (int32_t i = 0; i < Count(); ++i)
            if (Fig(i).Origin != 0)
                for (size_t k = 0; k < Fig(i).Points.size(); ++k)
                    e.vertices->Insert(i, static_cast<int32_t>(k), Fig(i).Points[k]);
        e.figuresInGrid = Count();
        Work(Count());
    }
    for (; e.figuresInGrid < Count(); ++e.figuresInGrid) {
        const tfigura& f = Fig(e.figuresInGrid);
        for (size_t k = 0; k < f.Points.size(); ++k)
            e.vertices->Insert(e.figuresInGrid, static_cast<int32_t>(k), f.Points[k]);
    }
    return *e.vertices;
}

void PlainPlanner::DropVertices()
{
    if (m_engines) {
        m_engines->vertices.reset();
        m_engines->figuresInGrid = 0;
    }
}

bool PlainPlanner::VertexNearOtherFigure(int32_t v, int32_t fi)
{
    VertexGrid& grid = Vertices();
    const TFigPoint& p = Fig(fi).Points[static_cast<size_t>(v)];
    const double limit = PointTolerance * PointTolerance;
    bool near = false;
    int64_t seen = 0;
    grid.Near(p, [&](const VertexGrid::Entry& entry) {
        ++seen;
        near = entry.figure != fi && static_cast<double>(DistanceSqr(entry.p, p)) <= limit;
        return near;
    });
    Work(1 + seen);
    return near;
}

void PlainPlanner::LinkStartTouching()
{
    const int32_t s = StartFigure();
    tfigura& start = Fig(s);
    VertexGrid& grid = Vertices();
    auto link = [&](int32_t r, int32_t vs, int32_t vr) {
        // A stub or connector vertex moved onto what it touches moves in the grid too.
        if (Fig(s).Origin == 3)
            grid.Move(s, vs, Fig(s).Points[static_cast<size_t>(vs)]);
        else if (Fig(r).Origin == 3)
            grid.Move(r, vr, Fig(r).Points[static_cast<size_t>(vr)]);
        LinkTouching(s, vs, r, vr);
        SetConnected(s, true);
    };
    // A small start figure (a frame, a stub, a lead-in) is compared directly,
    // also because a stub's vertex moves onto what it touches.
    if (start.Points.size() <= 64 || start.Origin == 3) {
        for (int32_t r = 0; r < Count(); ++r) {
            if (!Work(1 + static_cast<int64_t>(Fig(r).Points.size() * Fig(s).Points.size())))
                return;
            int32_t vs, vr;
            if (FindTouchingVertices(s, r, vs, vr))
                link(r, vs, vr);
        }
        return;
    }
    VertexGrid startGrid(Reach(PointTolerance), 1, [&](int32_t) -> const std::vector<TFigPoint>& { return start.Points; });
    for (int32_t r = 0; r < Count(); ++r) {
        if (r == s)
            continue;
        if (!Work(1 + static_cast<int64_t>(Fig(r).Points.size())))
            return;
        if (Fig(r).Origin == 3) {
            int32_t vs, vr;
            if (FindTouchingVertices(s, r, vs, vr))
                link(r, vs, vr);
            continue;
        }
        // The first pair of the scan: the last vertex of the start figure that
        // touches, then the last vertex of r that touches it.
        int32_t bestS = -1, bestR = -1;
        const tfigura& f = Fig(r);
        for (size_t k = 0; k < f.Points.size(); ++k)
            startGrid.Near(f.Points[k], [&](const VertexGrid::Entry& e) {
                const auto vr = static_cast<int32_t>(k);
                if (e.vertex > bestS || (e.vertex == bestS && vr > bestR)) {
                    bestS = e.vertex;
                    bestR = vr;
                }
                return false;
            });
        if (bestS >= 0)
            link(r, bestS, bestR);
    }
}

void PlainPlanner::LinkTouchingFigures()
{
    const int32_t n = Count();
    VertexGrid& grid = Vertices();
    TouchLookup lookup(grid, F());
    // The pair the plain scan finds first (the last vertex of i that touches
    // j, then the last vertex of j that touches it), looked up from the side
    // with fewer vertices; the planner's own short figures are moved onto what
    // they touch.
    auto touch = [&](int32_t i, int32_t j, int32_t& vi, int32_t& vj) {
        tfigura& a = Fig(i);
        tfigura& b = Fig(j);
        int32_t k = -1;
        if (b.Points.size() < a.Points.size()) {
            for (const TFigPoint& q : b.Points)
                k = std::max(k, lookup.LastVertexNear(i, q));
        } else {
            for (k = static_cast<int32_t>(a.Points.size()) - 1; k >= 0; --k)
                if (lookup.LastVertexNear(j, a.Points[static_cast<size_t>(k)]) >= 0)
                    break;
        }
        vi = std::max(k, 0);
        vj = std::max(lookup.LastVertexNear(j, a.Points[static_cast<size_t>(vi)]), 0);
        if (a.Origin == 3) {
            a.Points[static_cast<size_t>(vi)] = b.Points[static_cast<size_t>(vj)];
            grid.Move(i, vi, a.Points[static_cast<size_t>(vi)]);
        } else if (b.Origin == 3) {
            b.Points[static_cast<size_t>(vj)] = a.Points[static_cast<size_t>(vi)];
            grid.Move(j, vj, b.Points[static_cast<size_t>(vj)]);
        }
    };

    // The figures connected and still active, walked in index order. A pass
    // ends at its end or after linking figure 0 or 1; the next starts again
    // from the first. The set is kept from pass to pass: it only ever loses
    // the figures that found nothing and gains the ones just linked.
    std::vector<uint8_t> active(static_cast<size_t>(n), 1);
    std::set<int32_t> walk;
    for (int32_t i = 0; i < n; ++i)
        if (Connected(i))
            walk.insert(i);
    for (bool linked = true; linked && !Cancelled();) {
        linked = false;
        auto it = walk.begin();
        while (it != walk.end()) {
            const int32_t i = *it;
            const int32_t j = lookup.FirstTouching(i);
            if (!Work(1 + lookup.TakeRuns()))
                break;
            if (j >= 0) {
                int32_t vi = 0, vj = 0;
                touch(i, j, vi, vj);
                Work(lookup.TakeRuns());
                LinkTouching(i, vi, j, vj);
                linked = true;
                // The walk goes on with j itself.
                it = walk.insert(j).first;
                if (j < 2)
                    break;
                continue;
            }
            active[static_cast<size_t>(i)] = 0;
            lookup.Forget(i);
            it = walk.erase(it);
        }
    }
    for (int32_t i = 0; i < n; ++i)
        Fig(i).Active = active[static_cast<size_t>(i)];
}
