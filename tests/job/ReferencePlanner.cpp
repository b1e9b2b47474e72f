// The plain cutting planner read once more, step by step, with every search a
// plain scan over every pair. Nothing here comes from the program's planner.
//
// Where the program took a decision of its own about what the description
// leaves open or gets wrong, this reading takes the same one, so that the two
// can be compared:
// - figures that no search reaches stop the planning (PathPlanned stays 0);
// - the crossing repair gives up after every combination was tried and keeps
//   the first pair;
// - containment counts every edge over its half-open range [left, right);
// - the start figure leaves its container, so it is no partner inside it;
// - there is no limit of 10,000 figures;
// - lengths, weights and sizes saturate instead of wrapping;
// - a search has found something when it kept a pair of vertices;
// - a job whose figures all touch is planned too (PathPlanned 1);
// - a list of nearest figures that is not full ends in -1;
// - the start is entered already only when a connected figure says so (one
//   still waiting holds ConnParent 0, which would name figure 0).
#include "tests/job/ReferencePlanner.h"

#include "job/Geometry.h"
#include "job/Job.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace ref_plan {
namespace {
constexpr double kSmooth = 0.6283185307179586;  // below this turn a closed contour has no corner
constexpr int64_t kFar = INT64_MAX;
constexpr int64_t kPenalty = 500000000;

int64_t Times(int64_t a, int64_t b)
{
    if (a != 0 && b > INT64_MAX / a)
        return INT64_MAX;
    return a * b;
}

// One end of a pair weighs its kind in tenths.
int64_t Weigh(int64_t d2, int32_t kind) { return Times(d2, kind) / 10; }

int64_t Weighted(int64_t d2, const TFigVertexInfo& x, const TFigVertexInfo& y)
{
    if (x.EntryAllowed)
        d2 = Weigh(d2, x.Kind);
    if (y.EntryAllowed)
        d2 = Weigh(d2, y.Kind);
    return d2;
}

int32_t Stride(size_t n)
{
    const double s = std::nearbyint((static_cast<double>(n) - 1) / 250.0);  // halves to even
    return s < 1 ? 1 : static_cast<int32_t>(s);
}

int32_t Fit(int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); }

TFigPoint Moved(const TFigPoint& p, int32_t depth, int32_t by)
{
    const int32_t d = depth % 2 != 0 ? -by : by;
    return {Fit(static_cast<int64_t>(p.x) + d), Fit(static_cast<int64_t>(p.y) + d)};
}

int32_t Prev(int32_t v, int32_t n) { return v == 0 ? std::max(0, n - 2) : v - 1; }

struct Choice {
    int64_t w = kFar;
    int32_t x = -1, y = -1, vx = -1, vy = -1;
    bool Found() const { return x >= 0; }
    // The scan keeps the first strictly smaller distance.
    void Offer(int64_t d, int32_t fx, int32_t fy, int32_t px, int32_t py)
    {
        if (d < w)
            *this = {d, fx, fy, px, py};
    }
};

class Reading {
public:
    Reading(const TJob& job, int mode, bool addFrame) : m_mode(mode), m_addFrame(addFrame)
    {
        for (const auto& f : job.FigureList) {
            tfigura c = *f;
            c.NotConnected = 1;
            c.ConnParent = c.ConnParentVertex = c.EntryVertex = 0;
            c.Active = 0;
            c.Nearest.fill(-1);
            m_p.figures.push_back(std::move(c));
        }
        m_p.JobMinX = job.JobMinX;
        m_p.JobMinY = job.JobMinY;
        m_p.JobMaxX = job.JobMaxX;
        m_p.JobMaxY = job.JobMaxY;
        m_p.JobWidth = job.JobWidth;
        m_p.JobHeight = job.JobHeight;
        m_p.EntryToLeft = job.EntryToLeft;
        m_p.EntryToRight = job.EntryToRight;
        m_p.EntryToTop = job.EntryToTop;
        m_p.EntryToBottom = job.EntryToBottom;
        m_p.TotalLength = job.TotalLength;
        m_p.StartFigure = job.StartFigure;
        m_p.FrameAdded = job.FrameAdded;
        m_p.StartOutline = job.StartOutline;
        m_p.SingleOpenFigure = job.SingleOpenFigure;
    }

    Plan Run();

private:
    tfigura& F(int32_t i) { return m_p.figures[static_cast<size_t>(i)]; }
    int32_t N() const { return static_cast<int32_t>(m_p.figures.size()); }
    static int32_t Size(const tfigura& f) { return static_cast<int32_t>(f.Points.size()); }
    bool Connected(int32_t i) { return F(i).NotConnected == 0; }
    bool AllConnected()
    {
        for (int32_t i = 0; i < N(); ++i)
            if (!Connected(i))
                return false;
        return true;
    }
    TFigPoint Corner() const { return {m_p.JobMinX, m_p.JobMinY}; }

    void Angles(tfigura& f);
    bool Inside(int32_t a, int32_t b);
    void Deepen(int32_t k);
    void Containment();
    bool NearOther(int32_t v, int32_t f);
    bool LeadIn(int32_t f);
    void AddStart(tfigura f, int32_t last, TFigVertexInfo record);
    void AddFrame();
    void AddStub();
    void Measure();
    void AddDepth();
    int32_t CornerVertex(int32_t f);
    bool Touch(int32_t a, int32_t b, int32_t& va, int32_t& vb);
    void Link(int32_t parent, int32_t vp, int32_t child, int32_t vc);
    void LinkTouching();
    void MarkEntries();
    void BuildLists();
    bool Listed(int32_t x, int32_t y) { return std::ranges::find(F(y).Nearest, x) != F(y).Nearest.end(); }
    int32_t Crossing(int32_t a, int32_t va, int32_t b, int32_t vb);
    bool Join(const Choice& c, int32_t container, bool fromStart);
    bool ConnectStart();
    bool ConnectChildren(int32_t c);
    bool ConnectChildrenNearest(int32_t c);
    bool PartnerOfAny(int32_t x, int32_t y);
    bool ConnectNearest();
    bool ConnectAny();
    int32_t OpenStartEntry();

    int m_mode;
    bool m_addFrame;
    bool m_lists = false;
    Plan m_p;
};

void Reading::Angles(tfigura& f)
{
    const std::vector<TFigPoint>& p = f.Points;
    const size_t n = p.size();
    f.VertexInfo.clear();
    if (n < 3) {
        f.VertexInfo.assign(2, {std::numbers::pi / 2, 0, 0});
        return;
    }
    f.VertexInfo.push_back({f.Closed ? TurnAngle(p[n - 2], p[0], p[1]) : std::numbers::pi / 2, 0, 0});
    for (size_t k = 1; k + 1 < n; ++k)
        f.VertexInfo.push_back({TurnAngle(p[k - 1], p[k], p[k + 1]), 0, 0});
    f.VertexInfo.push_back({f.Closed ? TurnAngle(p[n - 2], p[n - 1], p[1]) : std::numbers::pi / 2, 0, 0});
}

// Figure a inside figure b: boxes strictly inside, then the parity of the
// edges above and below a vertex of a, the next vertex deciding while the two
// counts disagree.
bool Reading::Inside(int32_t ai, int32_t bi)
{
    const tfigura& a = F(ai);
    const tfigura& b = F(bi);
    if (ai == bi || a.Points == b.Points)
        return false;
    if (b.IsOpen)
        return false;
    if (!(b.MinX < a.MinX && a.MaxX < b.MaxX && b.MinY < a.MinY && a.MaxY < b.MaxY))
        return false;
    const int32_t n = Size(b);
    int below = 0;
    for (const TFigPoint& p : a.Points) {
        int above = 0;
        below = 0;
        for (int32_t k = 0; k < n; ++k) {
            const TFigPoint& u = b.Points[static_cast<size_t>(k)];
            const TFigPoint& v = b.Points[static_cast<size_t>(k + 1 < n ? k + 1 : 0)];
            double offset = 0;
            if (!OffsetFromSegment({u.x, u.y, v.x, v.y}, p, offset))
                continue;
            above += offset > 0;
            below += offset < 0;
        }
        if (above % 2 == below % 2)
            return below % 2 == 1;
    }
    return below % 2 == 1;
}

void Reading::Deepen(int32_t k)
{
    for (int32_t m = 0; m < N(); ++m) {
        if (F(m).Container != k)
            continue;
        F(m).Depth = F(k).Depth + 1;
        m_p.MaxDepth = std::max(m_p.MaxDepth, F(m).Depth);
        Deepen(m);
    }
    m_p.MaxDepth = std::max(m_p.MaxDepth, F(k).Depth);
}

void Reading::Containment()
{
    for (tfigura& f : m_p.figures) {
        f.Depth = 0;
        f.Container = -1;
        f.ChildCount = 0;
    }
    for (bool changed = true; changed;) {
        changed = false;
        for (int32_t i = 0; i < N(); ++i)
            for (int32_t j = 0; j < N(); ++j) {
                if (!Inside(i, j))
                    continue;
                if (F(i).Container != -1 && F(F(i).Container).Depth >= F(j).Depth)
                    continue;
                F(i).Container = j;
                F(i).Depth = F(j).Depth + 1;
                Deepen(i);
                // Only "any" and "21 or more" are ever asked of the count.
                F(j).ChildCount = std::min(F(j).ChildCount + 1, 21);
                changed = true;
            }
    }
}

bool Reading::NearOther(int32_t v, int32_t fi)
{
    const TFigPoint p = F(fi).Points[static_cast<size_t>(v)];
    for (int32_t g = 0; g < N(); ++g)
        if (g != fi)
            for (const TFigPoint& q : F(g).Points)
                if (std::sqrt(static_cast<double>(DistanceSqr(p, q))) <= PointTolerance)
                    return true;
    return false;
}

// An open line from free space onto a figure; its free end becomes its entry.
bool Reading::LeadIn(int32_t fi)
{
    const int32_t n = Size(F(fi));
    auto anyNear = [&](int32_t from, int32_t to) {
        for (int32_t v = from; v <= to; ++v)
            if (NearOther(v, fi))
                return true;
        return false;
    };
    if (!NearOther(0, fi) && anyNear(1, n - 1)) {
        F(fi).EntryVertex = 0;
        return true;
    }
    if (NearOther(n - 1, fi))
        return false;
    if (anyNear(0, n - 2)) {
        F(fi).EntryVertex = n - 1;
        return true;
    }
    return false;
}

// What the frame and the stub have in common: no links, connected, first
// vertex the lowest and leftmost, one kind of vertex record.
void Reading::AddStart(tfigura f, int32_t last, TFigVertexInfo record)
{
    f.Container = f.ConnParent = f.ConnParentVertex = f.EntryVertex = -1;
    f.NotConnected = 0;
    f.Depth = 0;
    f.IdxMinX = f.IdxMinY = 0;
    f.IdxMaxX = f.IdxMaxY = last;
    f.VertexInfo.assign(f.Points.size(), record);
    m_p.figures.push_back(std::move(f));
    m_p.StartFigure = N() - 1;
}

void Reading::AddFrame()
{
    const int32_t x0 = Fit(static_cast<int64_t>(m_p.JobMinX) - 400), y0 = Fit(static_cast<int64_t>(m_p.JobMinY) - 400);
    const int32_t x1 = Fit(static_cast<int64_t>(m_p.JobMaxX) + 400), y1 = Fit(static_cast<int64_t>(m_p.JobMaxY) + 400);
    tfigura f;
    f.Points = {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}, {x0, y0}};
    f.Origin = 1;
    f.Closed = 1;
    f.MinX = x0;
    f.MinY = y0;
    f.MaxX = x1;
    f.MaxY = y1;
    m_p.JobMinX = x0;
    m_p.JobMinY = y0;
    m_p.JobMaxX = x1;
    m_p.JobMaxY = y1;
    f.CentreX = static_cast<int32_t>((static_cast<int64_t>(x0) + x1) / 2);
    f.CentreY = static_cast<int32_t>((static_cast<int64_t>(y0) + y1) / 2);
    f.Perimeter = Fit(2 * ((static_cast<int64_t>(x1) - x0) + (static_cast<int64_t>(y1) - y0)));
    AddStart(std::move(f), 2, {std::numbers::pi / 2, 6, 0});
    m_p.FrameAdded = 1;
}

void Reading::AddStub()
{
    tfigura f;
    f.Points = {Corner(), Corner()};
    f.Origin = 3;
    f.Closed = 0;
    f.MinX = f.MaxX = m_p.JobMinX;
    f.MinY = f.MaxY = m_p.JobMinY;
    f.Perimeter = 60;
    AddStart(std::move(f), 1, {std::numbers::pi / 2, 6, 1});
    m_p.FrameAdded = 0;
}

void Reading::Measure()
{
    m_p.JobWidth = Fit(static_cast<int64_t>(m_p.JobMaxX) - m_p.JobMinX);
    m_p.JobHeight = Fit(static_cast<int64_t>(m_p.JobMaxY) - m_p.JobMinY);
}

void Reading::AddDepth()
{
    for (tfigura& f : m_p.figures)
        ++f.Depth;
}

int32_t Reading::CornerVertex(int32_t fi)
{
    int64_t best = 2000000000;
    int32_t at = 0;
    const tfigura& f = F(fi);
    for (int32_t k = 0; k < Size(f); ++k) {
        const auto d = static_cast<int64_t>(std::nearbyint(Distance(f.Points[static_cast<size_t>(k)], Corner())));
        if (d < best) {
            best = d;
            at = k;
        }
    }
    return at;
}

// The first pair of vertices within the tolerance in both coordinates,
// scanning both figures from their last vertex; a planner-made end is moved
// onto the vertex it touches.
bool Reading::Touch(int32_t ai, int32_t bi, int32_t& va, int32_t& vb)
{
    if (ai == bi)
        return false;
    tfigura& a = F(ai);
    tfigura& b = F(bi);
    const auto tol = PointTolerance;
    // No vertex of a lies near a vertex of b when their boxes of points are
    // farther apart than the tolerance (boxes taken from the points: a moved
    // end does not update a figure's bounds).
    auto box = [](const tfigura& f) {
        std::array<int64_t, 4> r{INT64_MAX, INT64_MAX, INT64_MIN, INT64_MIN};
        for (const TFigPoint& p : f.Points)
            r = {std::min<int64_t>(r[0], p.x), std::min<int64_t>(r[1], p.y), std::max<int64_t>(r[2], p.x),
                 std::max<int64_t>(r[3], p.y)};
        return r;
    };
    const auto ba = box(a), bb = box(b);
    if (ba[0] - bb[2] > tol || bb[0] - ba[2] > tol || ba[1] - bb[3] > tol || bb[1] - ba[3] > tol)
        return false;
    for (int32_t i = Size(a) - 1; i >= 0; --i)
        for (int32_t j = Size(b) - 1; j >= 0; --j) {
            TFigPoint& p = a.Points[static_cast<size_t>(i)];
            TFigPoint& q = b.Points[static_cast<size_t>(j)];
            if (std::llabs(static_cast<int64_t>(p.x) - q.x) > tol || std::llabs(static_cast<int64_t>(p.y) - q.y) > tol)
                continue;
            va = i;
            vb = j;
            if (a.Origin == 3)
                p = q;
            if (b.Origin == 3)
                q = p;
            return true;
        }
    return false;
}

void Reading::Link(int32_t parent, int32_t vp, int32_t child, int32_t vc)
{
    tfigura& c = F(child);
    c.ConnParent = parent;
    c.ConnParentVertex = vp;
    c.EntryVertex = vc;
    c.NotConnected = 0;
}

void Reading::LinkTouching()
{
    for (tfigura& f : m_p.figures)
        f.Active = 1;
    for (bool linked = true; linked;) {
        linked = false;
        int32_t i = 0;
        while (i < N()) {
            if (!Connected(i) || !F(i).Active) {
                ++i;
                continue;
            }
            int32_t j = 0, vi = 0, vj = 0;
            while (j < N() && (Connected(j) || !Touch(i, j, vi, vj)))
                ++j;
            if (j == N()) {
                F(i).Active = 0;
                ++i;
                continue;
            }
            Link(i, vi, j, vj);
            linked = true;
            if (j < 2)
                break;
            i = j;
        }
    }
}

void Reading::MarkEntries()
{
    for (tfigura& f : m_p.figures) {
        for (TFigVertexInfo& v : f.VertexInfo) {
            const bool smooth = std::fabs(v.Angle) < kSmooth && f.Closed;
            v.EntryAllowed = smooth ? 0 : 1;
            v.Kind = smooth ? 10 : f.Depth >= 2 ? 5 : 6;
        }
        const std::pair<int32_t, int32_t> extremes[] = {{f.IdxMinY, 8}, {f.IdxMaxY, 8}, {f.IdxMinX, 9}, {f.IdxMaxX, 9}};
        for (const auto& [at, kind] : extremes)
            if (at >= 0 && at < static_cast<int32_t>(f.VertexInfo.size()) && !f.VertexInfo[static_cast<size_t>(at)].EntryAllowed)
                f.VertexInfo[static_cast<size_t>(at)] = {f.VertexInfo[static_cast<size_t>(at)].Angle, kind, 1};
    }
    for (tfigura& f : m_p.figures)
        if (!f.Closed)
            for (TFigVertexInfo& v : f.VertexInfo) {
                v.EntryAllowed = 1;
                v.Kind = 5;
            }
    for (tfigura& f : m_p.figures) {
        const int32_t n = Size(f);
        if (n <= 20)
            continue;
        for (int32_t k = 0; k <= n - 1; k += n / 12 + 1)
            if (!f.VertexInfo[static_cast<size_t>(k)].EntryAllowed) {
                f.VertexInfo[static_cast<size_t>(k)].EntryAllowed = 1;
                f.VertexInfo[static_cast<size_t>(k)].Kind = 10;
            }
    }
}

void Reading::BuildLists()
{
    for (int32_t r = 0; r < N(); ++r) {
        std::vector<std::pair<int64_t, int32_t>> keys;
        for (int32_t s = 0; s < N(); ++s) {
            const double dx = static_cast<double>(F(r).CentreX) - F(s).CentreX;
            const double dy = static_cast<double>(F(r).CentreY) - F(s).CentreY;
            int64_t key = static_cast<int64_t>(std::nearbyint(std::sqrt(dx * dx + dy * dy)));
            if (F(s).Depth < F(r).Depth)
                key += kPenalty;
            if (F(s).Container == r)
                key += kPenalty;
            keys.push_back({key, s});
        }
        for (size_t pass = 0; pass + 1 < keys.size(); ++pass)  // a stable bubble sort
            for (size_t k = 0; k + 1 < keys.size() - pass; ++k)
                if (keys[k].first > keys[k + 1].first)
                    std::swap(keys[k], keys[k + 1]);
        F(r).Nearest.fill(-1);
        for (size_t k = 0; k < keys.size() && k < 22; ++k)
            F(r).Nearest[k] = keys[k].second;
    }
}

// Which of the two figures the straight connector would cut: a first, then b.
int32_t Reading::Crossing(int32_t ai, int32_t va, int32_t bi, int32_t vb)
{
    const TFigPoint p = F(ai).Points[static_cast<size_t>(va)];
    const TFigPoint q = F(bi).Points[static_cast<size_t>(vb)];
    const TSegment line{p.x, p.y, q.x, q.y};
    auto cuts = [&](const tfigura& f, int32_t at) {
        const int32_t n = Size(f);
        for (int32_t k = 0; k + 1 < n; ++k) {
            if (k == at - 1 || k == at)
                continue;
            const TFigPoint& u = f.Points[static_cast<size_t>(k)];
            const TFigPoint& v = f.Points[static_cast<size_t>(k + 1)];
            if (SegmentsIntersect(line, {u.x, u.y, v.x, v.y}))
                return true;
        }
        if (!f.Closed || n == 0)
            return false;
        const TFigPoint& u = f.Points[static_cast<size_t>(n - 1)];
        const TFigPoint& v = f.Points[0];
        return SegmentsIntersect(line, {u.x, u.y, v.x, v.y});
    };
    if (cuts(F(ai), va))
        return ai;
    if (cuts(F(bi), vb))
        return bi;
    return -1;
}

// Moves the chosen pair off the figures it would cut, then adds the connector
// from Y to X.
bool Reading::Join(const Choice& c, int32_t container, bool fromStart)
{
    if (!c.Found())
        return false;
    const int32_t x = c.x, y = c.y;
    const int32_t nx = Size(F(x)), ny = Size(F(y));
    int32_t vx = c.vx, vy = c.vy;
    const int64_t limit = fromStart ? nx : static_cast<int64_t>(nx) * ny;
    int64_t moves = 0;
    for (int32_t hit = Crossing(x, vx, y, vy); hit >= 0; hit = Crossing(x, vx, y, vy)) {
        if (++moves > limit) {
            vx = c.vx;
            vy = c.vy;
            break;
        }
        if (fromStart) {
            vx = Prev(vx, nx);
        } else if (hit == y) {
            vy = Prev(vy, ny);
            if (vy == c.vy)
                vx = Prev(vx, nx);
        } else {
            vx = Prev(vx, nx);
            if (vx == c.vx)
                vy = Prev(vy, ny);
        }
    }
    const TFigPoint from = F(y).Points[static_cast<size_t>(vy)];
    const TFigPoint to = F(x).Points[static_cast<size_t>(vx)];
    tfigura k;
    k.Points = {from, to};
    k.Origin = 3;
    k.Closed = 0;
    k.IsFigure = 0;
    k.MinX = std::min(from.x, to.x);
    k.MaxX = std::max(from.x, to.x);
    k.MinY = std::min(from.y, to.y);
    k.MaxY = std::max(from.y, to.y);
    k.ConnParent = y;
    k.ConnParentVertex = vy;
    k.EntryVertex = 0;
    k.NotConnected = 0;
    k.ChildCount = 0;
    k.Perimeter = Fit(static_cast<int64_t>(std::nearbyint(Distance(from, to))));
    k.VertexInfo.assign(2, {std::numbers::pi / 2, 5, 1});
    k.Container = container;
    k.Depth = fromStart ? 0 : std::max(F(x).Depth, F(y).Depth);
    m_p.figures.push_back(std::move(k));
    tfigura& entered = F(x);
    entered.EntryVertex = vx;
    entered.ConnParent = N() - 1;
    entered.ConnParentVertex = 1;
    entered.NotConnected = 0;
    return true;
}

bool Reading::ConnectStart()
{
    const int32_t s = m_p.StartFigure;
    const int32_t vs = CornerVertex(s);
    const TFigPoint ps = F(s).Points[static_cast<size_t>(vs)];
    const TFigVertexInfo is = F(s).VertexInfo[static_cast<size_t>(vs)];
    Choice best;
    for (int32_t x = 0; x < N(); ++x) {
        const tfigura& X = F(x);
        if (Connected(x) || X.Depth >= 2)
            continue;
        for (int32_t vx = 0; vx < Size(X); ++vx)
            best.Offer(Weighted(DistanceSqr(X.Points[static_cast<size_t>(vx)], ps), X.VertexInfo[static_cast<size_t>(vx)], is),
                       x, s, vx, vs);
    }
    return Join(best, 0, true);
}

bool Reading::ConnectChildren(int32_t c)
{
    Choice best;
    for (int32_t x = 0; x < N(); ++x) {
        const tfigura& X = F(x);
        if (Connected(x) || X.Container != c)
            continue;
        for (int32_t y = 0; y < N(); ++y) {
            const tfigura& Y = F(y);
            if (y != c && !(Y.IsFigure && Connected(y) && Y.Container == c))
                continue;
            for (int32_t vx = 0; vx < Size(X); vx += Stride(X.Points.size()))
                for (int32_t vy = 0; vy < Size(Y); vy += Stride(Y.Points.size())) {
                    const TFigPoint px = Moved(X.Points[static_cast<size_t>(vx)], X.Depth, 2);
                    const TFigPoint py = Moved(Y.Points[static_cast<size_t>(vy)], Y.Depth, 1);
                    best.Offer(Weighted(DistanceSqr(px, py), X.VertexInfo[static_cast<size_t>(vx)], Y.VertexInfo[static_cast<size_t>(vy)]),
                               x, y, vx, vy);
                }
        }
    }
    return Join(best, c, false);
}

bool Reading::ConnectChildrenNearest(int32_t c)
{
    Choice best;
    for (int32_t x = 0; x < N(); ++x) {
        const tfigura& X = F(x);
        if (Connected(x) || X.Container != c)
            continue;
        for (int32_t y = 0; y < N(); ++y) {
            const tfigura& Y = F(y);
            if (y != c && !(Y.IsFigure && Connected(y) && Y.Container == c))
                continue;
            if (!Listed(x, y) && !X.IsOpen && !Y.IsOpen)
                continue;
            for (int32_t vx = 0; vx < Size(X); ++vx) {
                if (!X.VertexInfo[static_cast<size_t>(vx)].EntryAllowed)
                    continue;
                for (int32_t vy = 1; vy < Size(Y); ++vy)
                    if (Y.VertexInfo[static_cast<size_t>(vy)].EntryAllowed) {
                        const int64_t d2 = DistanceSqr(X.Points[static_cast<size_t>(vx)], Y.Points[static_cast<size_t>(vy)]);
                        best.Offer(Weigh(Weigh(d2, 5), 5), x, y, vx, vy);  // both ends weigh one half
                    }
            }
        }
    }
    return Join(best, c, false);
}

// A connected figure that an unconnected one may be entered from in the outer
// rounds: not deeper, not a closed start, and at one depth from 2 on only
// within the same container.
bool Reading::PartnerOfAny(int32_t x, int32_t y)
{
    const tfigura& X = F(x);
    const tfigura& Y = F(y);
    if (!Y.IsFigure || !Connected(y) || Y.Depth > X.Depth)
        return false;
    if (y == m_p.StartFigure && F(m_p.StartFigure).Closed)
        return false;
    return !(Y.Depth > 1 && Y.Depth == X.Depth && Y.Container != X.Container);
}

bool Reading::ConnectNearest()
{
    Choice best;
    for (int32_t x = 0; x < N(); ++x) {
        if (Connected(x))
            continue;
        for (int32_t y = 0; y < N(); ++y) {
            if (!PartnerOfAny(x, y) || (!Listed(x, y) && !F(x).IsOpen && !F(y).IsOpen))
                continue;
            const tfigura& X = F(x);
            const tfigura& Y = F(y);
            for (int32_t vx = 0; vx < Size(X); ++vx) {
                const TFigVertexInfo& ix = X.VertexInfo[static_cast<size_t>(vx)];
                if (!ix.EntryAllowed)
                    continue;
                for (int32_t vy = 0; vy < Size(Y); ++vy) {
                    const TFigVertexInfo& iy = Y.VertexInfo[static_cast<size_t>(vy)];
                    if (iy.EntryAllowed)
                        best.Offer(Times(Times(DistanceSqr(X.Points[static_cast<size_t>(vx)], Y.Points[static_cast<size_t>(vy)]), ix.Kind), iy.Kind),
                                   x, y, vx, vy);
                }
            }
        }
    }
    return Join(best, 0, false);
}

bool Reading::ConnectAny()
{
    Choice best;
    for (int32_t x = 0; x < N(); ++x) {
        if (Connected(x))
            continue;
        for (int32_t y = 0; y < N(); ++y) {
            if (!PartnerOfAny(x, y))
                continue;
            const tfigura& X = F(x);
            const tfigura& Y = F(y);
            for (int32_t vx = 0; vx < Size(X); vx += Stride(X.Points.size()))
                for (int32_t vy = 0; vy < Size(Y); vy += Stride(Y.Points.size()))
                    best.Offer(Weighted(DistanceSqr(X.Points[static_cast<size_t>(vx)], Y.Points[static_cast<size_t>(vy)]),
                                        X.VertexInfo[static_cast<size_t>(vx)], Y.VertexInfo[static_cast<size_t>(vy)]),
                               x, y, vx, vy);
        }
    }
    return Join(best, 0, false);
}

int32_t Reading::OpenStartEntry()
{
    const int32_t s = m_p.StartFigure;
    const int32_t last = Size(F(s)) - 1;
    auto leavesAt = [&](int32_t v) {
        for (int32_t i = 0; i < N(); ++i)
            if (i != s && F(i).ConnParent == s && F(i).ConnParentVertex == v)
                return true;
        return false;
    };
    if (!leavesAt(0))
        return 0;
    if (!leavesAt(last))
        return last;
    return CornerVertex(s);
}

Plan Reading::Run()
{
    m_p.PathPlanned = 0;
    m_p.MaxDepth = 0;
    if (m_p.figures.empty()) {
        m_p.outcome = Outcome::Empty;
        return m_p;
    }
    m_p.FrameAdded = 0;
    for (tfigura& f : m_p.figures)
        Angles(f);
    Containment();
    const int32_t deepest = m_p.MaxDepth;

    m_p.SingleOpenFigure = N() == 1 && !F(0).Closed;
    m_p.StartOutline = 0;
    int32_t outermost = 0;
    for (int32_t i = 0; i < N(); ++i)
        if (F(i).Depth == 0) {
            ++outermost;
            m_p.StartFigure = i;
        }
    if (outermost == 1 && Size(F(m_p.StartFigure)) == 5) {
        m_p.StartOutline = 1;
    } else {
        __int128 best = -1;  // squared distances: exact, and nearer than 1e21 whatever they are
        int32_t leadIn = -1;
        for (int32_t i = 0; i < N(); ++i) {
            if (F(i).Closed || !LeadIn(i))
                continue;
            const __int128 dx = static_cast<int64_t>(F(i).MinX) - m_p.JobMinX;
            const __int128 dy = static_cast<int64_t>(F(i).MinY) - m_p.JobMinY;
            if (best < 0 || dx * dx + dy * dy < best) {
                best = dx * dx + dy * dy;
                leadIn = i;
            }
        }
        if (leadIn >= 0)
            m_p.StartFigure = leadIn;
        if (leadIn >= 0 || m_mode == 2 || m_p.SingleOpenFigure) {
            AddDepth();
        } else if (m_addFrame) {
            AddFrame();
            m_p.StartOutline = 1;
            Measure();
            AddDepth();
        } else {
            AddStub();
            m_p.StartOutline = 1;
            Measure();
            AddDepth();
            ConnectStart();
        }
    }

    const int32_t s = m_p.StartFigure;
    F(s).NotConnected = 0;
    F(s).EntryVertex = CornerVertex(s);
    F(s).Container = -1;
    F(s).ConnParent = -1;
    F(s).ConnParentVertex = -1;
    for (int32_t r = 0; r < N(); ++r) {
        int32_t vs = 0, vr = 0;
        if (Touch(s, r, vs, vr)) {
            Link(s, vs, r, vr);
            F(s).NotConnected = 0;
        }
    }
    LinkTouching();
    MarkEntries();

    if (!AllConnected()) {
        m_lists = N() >= 21;
        if (m_lists)
            BuildLists();
        if (F(s).Closed) {
            bool entered = false;
            for (int32_t i = 0; i < N(); ++i)
                entered = entered || (Connected(i) && F(i).ConnParent == s);
            if (!entered)
                ConnectStart();
        }
        LinkTouching();

        for (int32_t level = deepest; level >= 0; --level)
            for (int32_t r = 0; r < N(); ++r) {
                if (F(r).Depth != level || F(r).ChildCount <= 0)
                    continue;
                const uint8_t was = F(r).NotConnected;
                F(r).NotConnected = 0;
                for (bool found = ConnectChildren(r); found;) {
                    found = F(r).ChildCount >= 21 ? ConnectChildrenNearest(r) : ConnectChildren(r);
                    F(r).NotConnected = 0;
                }
                F(r).NotConnected = was;
            }

        for (;;) {
            if (m_lists ? ConnectNearest() : ConnectAny())
                continue;
            if (AllConnected())
                break;
            const bool fallback = ConnectAny();
            if (AllConnected())
                break;
            if (!fallback) {
                m_p.outcome = Outcome::Unreachable;
                return m_p;
            }
        }
    }
    m_p.PathPlanned = 1;

    if (!F(s).Closed)
        F(s).EntryVertex = OpenStartEntry();
    const TFigPoint p = F(s).Points[static_cast<size_t>(F(s).EntryVertex)];
    m_p.EntryToLeft = Fit(static_cast<int64_t>(p.x) - m_p.JobMinX);
    m_p.EntryToRight = Fit(static_cast<int64_t>(m_p.JobMaxX) - p.x);
    m_p.EntryToBottom = Fit(static_cast<int64_t>(p.y) - m_p.JobMinY);
    m_p.EntryToTop = Fit(static_cast<int64_t>(m_p.JobMaxY) - p.y);
    double total = 0;
    for (const tfigura& f : m_p.figures)
        for (size_t k = 1; k < f.Points.size(); ++k)
            total += Distance(f.Points[k - 1], f.Points[k]);
    m_p.TotalLength = total;
    m_p.outcome = Outcome::Planned;
    return m_p;
}
}  // namespace

Plan PlanJob(const TJob& job, int mode, bool addFrame) { return Reading(job, mode, addFrame).Run(); }
}  // namespace ref_plan
