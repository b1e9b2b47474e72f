#include "job/Planner.h"

#include "app/MathUtil.h"
#include "job/Geometry.h"
#include "job/Job.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {
constexpr double kSmoothAngle = 0.6283185307179586;  // pi / 5: 36 degrees
constexpr int32_t kFrameMargin = 400;                 // 10 mm outside the job

TFigVertexInfo Info(double angle, int32_t kind, uint8_t allowed) { return {angle, kind, allowed}; }
}  // namespace

int32_t PlainPlanner::StartFigure() const { return m_job.StartFigure; }

int64_t PlainPlanner::Weighted(int64_t d2, const TFigVertexInfo& vx, const TFigVertexInfo& vy)
{
    return WeightedBy(MulSat, d2, vx.Kind, vx.EntryAllowed != 0, vy.Kind, vy.EntryAllowed != 0);
}

int64_t PlainPlanner::Halved(int64_t d2) { return HalvedBy(MulSat, d2); }

int32_t PlainPlanner::Stride(size_t vertexCount)
{
    const double s = RoundEven((static_cast<double>(vertexCount) - 1) / 250.0);
    return std::max(1, static_cast<int32_t>(s));
}

TFigPoint PlainPlanner::Shifted(const TFigPoint& p, int32_t depth, int32_t amount)
{
    const int32_t d = depth % 2 != 0 ? -amount : amount;
    return {Clamp32(static_cast<int64_t>(p.x) + d), Clamp32(static_cast<int64_t>(p.y) + d)};
}

void PlainPlanner::SetConnected(int32_t i, bool connected)
{
    tfigura& f = Fig(i);
    const bool was = f.NotConnected == 0;
    f.NotConnected = connected ? 0 : 1;
    if (was == connected)
        return;
    m_connectedCount += connected ? 1 : -1;
    if (connected)
        m_log.push_back(i);
}

int32_t PlainPlanner::Append(std::unique_ptr<tfigura> f)
{
    const bool connected = f->NotConnected == 0;
    f->Index = Count();
    F().push_back(std::move(f));
    const int32_t index = Count() - 1;
    if (connected) {
        ++m_connectedCount;
        m_log.push_back(index);
    }
    return index;
}

// A new plan starts from the drawing alone: what an earlier plan added goes,
// and every link is undone, so planning again gives the first plan's result.
void PlainPlanner::RemovePreviousPlan()
{
    std::erase_if(F(), [](const std::unique_ptr<tfigura>& f) { return f->Origin == 1 || f->Origin == 3; });
    for (auto& f : F()) {
        f->NotConnected = 1;
        f->ConnParent = 0;
        f->ConnParentVertex = 0;
        f->EntryVertex = 0;
        f->Active = 0;
        f->Nearest.fill(-1);
    }
    // A frame of the earlier plan made the job larger: back to the drawing's bounds.
    if (m_job.FrameAdded || m_job.StartOutline) {
        m_job.Ustaw_PPiPK();
        if (!F().empty()) {
            m_job.JobWidth = static_cast<int32_t>(std::min<int64_t>(2147483647, static_cast<int64_t>(m_job.JobMaxX) - m_job.JobMinX));
            m_job.JobHeight = static_cast<int32_t>(std::min<int64_t>(2147483647, static_cast<int64_t>(m_job.JobMaxY) - m_job.JobMinY));
        }
    }
    m_job.MaxDepth = 0;
    m_job.PathPlanned = 0;
    m_connectedCount = 0;
    m_log.clear();
}

void PlainPlanner::RebuildVertexInfo(tfigura& f)
{
    const std::vector<TFigPoint>& p = f.Points;
    const size_t n = p.size();
    f.VertexInfo.clear();
    if (n < 3) {
        f.VertexInfo.assign(2, Info(std::numbers::pi / 2, 0, 0));
        return;
    }
    f.VertexInfo.reserve(n);
    f.VertexInfo.push_back(Info(f.Closed ? TurnAngle(p[n - 2], p[0], p[1]) : std::numbers::pi / 2, 0, 0));
    for (size_t k = 1; k + 1 < n; ++k)
        f.VertexInfo.push_back(Info(TurnAngle(p[k - 1], p[k], p[k + 1]), 0, 0));
    f.VertexInfo.push_back(Info(f.Closed ? TurnAngle(p[n - 2], p[n - 1], p[1]) : std::numbers::pi / 2, 0, 0));
}

void PlainPlanner::AddDepthToAll(int32_t d)
{
    for (auto& f : F())
        f->Depth += d;
}

int32_t PlainPlanner::NearestVertexToCorner(int32_t fi) const
{
    const tfigura& f = Fig(fi);
    const TFigPoint corner{m_job.JobMinX, m_job.JobMinY};
    int64_t best = 2000000000;
    int32_t vertex = 0;
    for (size_t k = 0; k < f.Points.size(); ++k) {
        const int64_t d = RoundToInt64Sat(Distance(f.Points[k], corner));
        if (d < best) {
            best = d;
            vertex = static_cast<int32_t>(k);
        }
    }
    return vertex;
}

bool PlainPlanner::IsStartCandidate(int32_t fi)
{
    tfigura& f = Fig(fi);
    const int32_t n = static_cast<int32_t>(f.Points.size());
    auto anyNear = [&](int32_t from, int32_t to) {
        for (int32_t v = from; v <= to; ++v)
            if (VertexNearOtherFigure(v, fi))
                return true;
        return false;
    };
    if (!VertexNearOtherFigure(0, fi) && anyNear(1, n - 1)) {
        f.EntryVertex = 0;
        return true;
    }
    if (VertexNearOtherFigure(n - 1, fi))
        return false;
    if (anyNear(0, n - 2)) {
        f.EntryVertex = n - 1;
        return true;
    }
    return false;
}

void PlainPlanner::AddJobFrame()
{
    const int32_t x0 = Clamp32(static_cast<int64_t>(m_job.JobMinX) - kFrameMargin);
    const int32_t y0 = Clamp32(static_cast<int64_t>(m_job.JobMinY) - kFrameMargin);
    const int32_t x1 = Clamp32(static_cast<int64_t>(m_job.JobMaxX) + kFrameMargin);
    const int32_t y1 = Clamp32(static_cast<int64_t>(m_job.JobMaxY) + kFrameMargin);
    auto f = std::make_unique<tfigura>();
    f->Points = {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}, {x0, y0}};
    f->Origin = 1;
    f->Closed = 1;
    f->MinX = x0;
    f->MinY = y0;
    f->MaxX = x1;
    f->MaxY = y1;
    f->Width = Clamp32(static_cast<int64_t>(x1) - x0);
    f->Height = Clamp32(static_cast<int64_t>(y1) - y0);
    m_job.JobMinX = x0;
    m_job.JobMinY = y0;
    m_job.JobMaxX = x1;
    m_job.JobMaxY = y1;
    f->CentreX = static_cast<int32_t>((static_cast<int64_t>(x0) + x1) / 2);
    f->CentreY = static_cast<int32_t>((static_cast<int64_t>(y0) + y1) / 2);
    f->Container = f->ConnParent = f->ConnParentVertex = f->EntryVertex = -1;
    f->NotConnected = 0;
    f->Depth = 0;
    f->Perimeter = static_cast<int32_t>(std::min<int64_t>(2147483647, 2 * (static_cast<int64_t>(f->Width) + f->Height)));
    f->IdxMinX = f->IdxMinY = 0;
    f->IdxMaxX = f->IdxMaxY = 2;
    f->VertexInfo.assign(5, Info(std::numbers::pi / 2, 6, 0));
    m_job.StartFigure = Append(std::move(f));
    m_job.FrameAdded = 1;
}

void PlainPlanner::AddCornerStub()
{
    const TFigPoint corner{m_job.JobMinX, m_job.JobMinY};
    auto f = std::make_unique<tfigura>();
    f->Points = {corner, corner};
    f->Origin = 3;
    f->Closed = 0;
    f->MinX = f->MaxX = corner.x;
    f->MinY = f->MaxY = corner.y;
    f->Container = f->ConnParent = f->ConnParentVertex = f->EntryVertex = -1;
    f->NotConnected = 0;
    f->Depth = 0;
    f->Perimeter = 60;
    f->IdxMinX = f->IdxMinY = 0;
    f->IdxMaxX = f->IdxMaxY = 1;
    f->VertexInfo.assign(2, Info(std::numbers::pi / 2, 6, 1));
    m_job.StartFigure = Append(std::move(f));
    m_job.FrameAdded = 0;
}

void PlainPlanner::MarkEntryVertices()
{
    for (auto& fp : F()) {
        tfigura& f = *fp;
        for (TFigVertexInfo& v : f.VertexInfo) {
            if (std::fabs(v.Angle) < kSmoothAngle && f.Closed) {
                v.EntryAllowed = 0;
                v.Kind = 10;
            } else {
                v.EntryAllowed = 1;
                v.Kind = f.Depth >= 2 ? 5 : 6;
            }
        }
        const std::pair<int32_t, int32_t> extremes[] = {{f.IdxMinY, 8}, {f.IdxMaxY, 8}, {f.IdxMinX, 9}, {f.IdxMaxX, 9}};
        for (const auto& [index, kind] : extremes) {
            if (index < 0 || static_cast<size_t>(index) >= f.VertexInfo.size())
                continue;
            TFigVertexInfo& v = f.VertexInfo[static_cast<size_t>(index)];
            if (!v.EntryAllowed) {
                v.EntryAllowed = 1;
                v.Kind = kind;
            }
        }
    }
    for (auto& f : F())
        if (!f->Closed)
            for (TFigVertexInfo& v : f->VertexInfo) {
                v.EntryAllowed = 1;
                v.Kind = 5;
            }
    for (auto& f : F()) {
        const size_t n = f->VertexInfo.size();
        if (f->Points.size() <= 20)
            continue;
        const size_t step = n / 12 + 1;
        for (size_t k = 0; k < n; k += step)
            if (!f->VertexInfo[k].EntryAllowed) {
                f->VertexInfo[k].EntryAllowed = 1;
                f->VertexInfo[k].Kind = 10;
            }
    }
}

bool PlainPlanner::FigureInside(int32_t ai, int32_t bi) const
{
    if (ai == bi)
        return false;
    const tfigura& a = Fig(ai);
    const tfigura& b = Fig(bi);
    if (b.IsOpen)
        return false;
    if (!(b.MinX < a.MinX && a.MaxX < b.MaxX && b.MinY < a.MinY && a.MaxY < b.MaxY))
        return false;
    if (a.Points == b.Points)
        return false;
    const size_t n = b.Points.size();
    int below = 0;
    for (const TFigPoint& p : a.Points) {
        int above = 0;
        below = 0;
        for (size_t k = 0; k < n; ++k) {
            const TFigPoint& u = b.Points[k];
            const TFigPoint& v = b.Points[k + 1 < n ? k + 1 : 0];
            // Every edge counts over the same half-open range [left, right):
            // a vertex between two edges is then counted exactly once, whichever
            // way the outline runs.
            double offset = 0;
            if (!OffsetFromSegment({u.x, u.y, v.x, v.y}, p, offset))
                continue;
            if (offset > 0)
                ++above;
            else if (offset < 0)
                ++below;
        }
        if ((above % 2) == (below % 2))
            return below % 2 == 1;
    }
    return below % 2 == 1;
}

void PlainPlanner::PropagateDepth(int32_t k)
{
    for (int32_t m = 0; m < Count(); ++m) {
        tfigura& f = Fig(m);
        if (f.Container != k)
            continue;
        f.Depth = Fig(k).Depth + 1;
        m_job.MaxDepth = std::max(m_job.MaxDepth, f.Depth);
        PropagateDepth(m);
    }
    m_job.MaxDepth = std::max(m_job.MaxDepth, Fig(k).Depth);
}

bool PlainPlanner::FindTouchingVertices(int32_t ai, int32_t bi, int32_t& va, int32_t& vb)
{
    if (ai == bi)
        return false;
    tfigura& a = Fig(ai);
    tfigura& b = Fig(bi);
    for (int32_t i = static_cast<int32_t>(a.Points.size()) - 1; i >= 0; --i) {
        for (int32_t j = static_cast<int32_t>(b.Points.size()) - 1; j >= 0; --j) {
            const TFigPoint& p = a.Points[static_cast<size_t>(i)];
            const TFigPoint& q = b.Points[static_cast<size_t>(j)];
            if (std::llabs(static_cast<int64_t>(p.x) - q.x) <= PointTolerance &&
                std::llabs(static_cast<int64_t>(p.y) - q.y) <= PointTolerance) {
                va = i;
                vb = j;
                if (a.Origin == 3)
                    a.Points[static_cast<size_t>(i)] = q;
                else if (b.Origin == 3)
                    b.Points[static_cast<size_t>(j)] = p;
                return true;
            }
        }
    }
    return false;
}

void PlainPlanner::LinkTouching(int32_t parent, int32_t vp, int32_t child, int32_t vc)
{
    tfigura& c = Fig(child);
    c.ConnParent = parent;
    c.ConnParentVertex = vp;
    c.EntryVertex = vc;
    SetConnected(child, true);
}

int32_t PlainPlanner::ConnectorCrossing(int32_t ai, int32_t va, int32_t bi, int32_t vb) const
{
    const tfigura& a = Fig(ai);
    const tfigura& b = Fig(bi);
    const TFigPoint& pa = a.Points[static_cast<size_t>(va)];
    const TFigPoint& pb = b.Points[static_cast<size_t>(vb)];
    const TSegment connector{pa.x, pa.y, pb.x, pb.y};
    auto crosses = [&](const tfigura& f, int32_t at) {
        const int32_t n = static_cast<int32_t>(f.Points.size());
        for (int32_t k = 0; k + 1 < n; ++k) {
            if (k == at || k + 1 == at)
                continue;  // the two edges that meet at the connector's end
            const TFigPoint& u = f.Points[static_cast<size_t>(k)];
            const TFigPoint& v = f.Points[static_cast<size_t>(k + 1)];
            if (SegmentsIntersect(connector, {u.x, u.y, v.x, v.y}))
                return true;
        }
        if (f.Closed && n > 0) {
            const TFigPoint& u = f.Points[static_cast<size_t>(n - 1)];
            const TFigPoint& v = f.Points[0];
            if (SegmentsIntersect(connector, {u.x, u.y, v.x, v.y}))
                return true;
        }
        return false;
    };
    if (crosses(a, va))
        return ai;
    if (crosses(b, vb))
        return bi;
    return -1;
}

bool PlainPlanner::YAllowedByAny(int32_t xi, int32_t yi) const
{
    const tfigura& x = Fig(xi);
    const tfigura& y = Fig(yi);
    if (y.Depth > x.Depth)
        return false;
    if (yi == StartFigure() && Fig(StartFigure()).Closed)
        return false;
    if (y.Depth > 1 && y.Depth == x.Depth && y.Container != x.Container)
        return false;
    return true;
}

// Unfilled places of a list (a job of fewer than 22 figures) hold -1.
bool PlainPlanner::InNearest(int32_t xi, int32_t yi) const
{
    const auto& list = Fig(yi).Nearest;
    return std::find(list.begin(), list.end(), xi) != list.end();
}

// The chosen pair is moved to earlier vertices while the connector would cut
// through one of the two figures it joins. Every combination is tried at most
// once; when none is free, the first pair stays.
void PlainPlanner::MakeConnector(Pair pair, int32_t container, bool startConnector)
{
    const int32_t xi = pair.x, yi = pair.y;
    tfigura& X = Fig(xi);
    tfigura& Y = Fig(yi);
    const int32_t nx = static_cast<int32_t>(X.Points.size());
    const int32_t ny = static_cast<int32_t>(Y.Points.size());
    auto prev = [](int32_t v, int32_t n) { return v == 0 ? std::max(0, n - 2) : v - 1; };
    int32_t vx = pair.vx, vy = pair.vy;
    const int32_t firstX = vx, firstY = vy;
    const int64_t limit = startConnector ? nx : static_cast<int64_t>(nx) * ny;
    int64_t tries = 0;
    const PlanPhase searching = CurrentPhase();
    for (int32_t hit; (hit = ConnectorCrossing(xi, vx, yi, vy)) >= 0;) {
        if (tries == 0)
            EnterPhase(PlanPhase::CrossingRepair);
        // Each test walks the edges of both figures.
        if (!Work(nx + ny))
            return;
        if (++tries > limit) {
            vx = firstX;
            vy = firstY;
            break;
        }
        if (hit == yi && !startConnector) {
            vy = prev(vy, ny);
            if (vy == firstY)
                vx = prev(vx, nx);
        } else {
            vx = prev(vx, nx);
            if (vx == firstX && !startConnector)
                vy = prev(vy, ny);
        }
    }
    if (tries > 0)
        EnterPhase(searching);
    const TFigPoint& from = Y.Points[static_cast<size_t>(vy)];
    const TFigPoint& to = X.Points[static_cast<size_t>(vx)];
    auto c = std::make_unique<tfigura>();
    c->Points = {from, to};
    c->Origin = 3;
    c->Closed = 0;
    c->IsFigure = 0;
    c->MinX = std::min(from.x, to.x);
    c->MaxX = std::max(from.x, to.x);
    c->MinY = std::min(from.y, to.y);
    c->MaxY = std::max(from.y, to.y);
    c->Width = Clamp32(static_cast<int64_t>(c->MaxX) - c->MinX);
    c->Height = Clamp32(static_cast<int64_t>(c->MaxY) - c->MinY);
    c->ConnParent = yi;
    c->ConnParentVertex = vy;
    c->EntryVertex = 0;
    c->NotConnected = 0;
    c->ChildCount = 0;
    c->Perimeter = static_cast<int32_t>(std::min<int64_t>(2147483647, RoundToInt64Sat(Distance(from, to))));
    c->VertexInfo.assign(2, Info(std::numbers::pi / 2, 5, 1));
    c->Container = container;
    c->Depth = startConnector ? 0 : std::max(X.Depth, Y.Depth);
    const int32_t ci = Append(std::move(c));
    tfigura& x = Fig(xi);  // the list may have moved
    x.EntryVertex = vx;
    x.ConnParent = ci;
    x.ConnParentVertex = 1;
    SetConnected(xi, true);
}

PlainPlanner::Pair PlainPlanner::SearchStart()
{
    const int32_t s = StartFigure();
    const int32_t vs = NearestVertexToCorner(s);
    const tfigura& start = Fig(s);
    const TFigPoint& ps = start.Points[static_cast<size_t>(vs)];
    const TFigVertexInfo& is = start.VertexInfo[static_cast<size_t>(vs)];
    Pair best;
    for (int32_t x = 0; x < Count(); ++x) {
        const tfigura& f = Fig(x);
        if (!Work(1 + static_cast<int64_t>(f.Points.size())))
            return {};
        if (Connected(x) || f.Depth >= 2)
            continue;
        for (size_t k = 0; k < f.Points.size(); ++k) {
            const Pair p{Weighted(DistanceSqr(f.Points[k], ps), f.VertexInfo[k], is), x, s, static_cast<int32_t>(k), vs};
            if (p.w < best.w)
                best = p;
        }
    }
    return best;
}

bool PlainPlanner::ConnectStart()
{
    const Pair p = SearchStart();
    if (p.Valid())
        MakeConnector(p, 0, true);
    return p.Valid();
}

bool PlainPlanner::ConnectChildren(int32_t c)
{
    const Pair p = SearchChildren(c);
    if (p.Valid())
        MakeConnector(p, c, false);
    return p.Valid();
}

bool PlainPlanner::ConnectChildrenNearest(int32_t c)
{
    const Pair p = SearchChildrenNearest(c);
    if (p.Valid())
        MakeConnector(p, c, false);
    return p.Valid();
}

bool PlainPlanner::ConnectNearest()
{
    const Pair p = SearchNearest();
    if (p.Valid())
        MakeConnector(p, 0, false);
    return p.Valid();
}

bool PlainPlanner::ConnectAny()
{
    const Pair p = SearchAny();
    if (p.Valid())
        MakeConnector(p, 0, false);
    return p.Valid();
}

int32_t PlainPlanner::OpenStartEntry()
{
    const int32_t s = StartFigure();
    const int32_t last = static_cast<int32_t>(Fig(s).Points.size()) - 1;
    bool leavesAtFirst = false, leavesAtLast = false;
    for (int32_t i = 0; i < Count(); ++i) {
        if (i == s || Fig(i).ConnParent != s)
            continue;
        leavesAtFirst = leavesAtFirst || Fig(i).ConnParentVertex == 0;
        leavesAtLast = leavesAtLast || Fig(i).ConnParentVertex == last;
    }
    if (!leavesAtFirst)
        return 0;
    if (!leavesAtLast)
        return last;
    return NearestVertexToCorner(s);
}

// Asks the progress whether to go on (and restarts the count of work); once
// the operator has cancelled, it is not asked again.
bool PlainPlanner::Report()
{
    m_workLeft = m_reportEvery;
    if (m_cancelled) {
        m_workLeft = 0;
        return false;
    }
    if (!m_progress)
        return true;
    const int percent = static_cast<int>(RoundEven(100.0 * m_connectedCount / std::max(1, Count())));
    if (!m_progress->Continue(percent)) {
        m_cancelled = true;
        m_workLeft = 0;
    }
    return !m_cancelled;
}

void PlainPlanner::EnterPhase(PlanPhase phase)
{
    m_phase = phase;
    if (m_progress)
        m_progress->Phase(phase);
}

PlainPlanner::Result PlainPlanner::Run(PlanProgress* progress)
{
    m_progress = progress;
    m_cancelled = false;
    m_workLeft = m_reportEvery;
    ResetEngines();
    RemovePreviousPlan();
    if (F().empty())
        return Result::Empty;
    m_job.FrameAdded = 0;
    EnterPhase(PlanPhase::Analysis);
    for (auto& f : F()) {
        RebuildVertexInfo(*f);
        if (!Work(1 + static_cast<int64_t>(f->Points.size())))
            return Result::Cancelled;
    }
    co_w_czym();
    if (Cancelled())
        return Result::Cancelled;
    const int32_t deepestContainerLevel = m_job.MaxDepth;

    EnterPhase(PlanPhase::StartFigure);
    m_job.SingleOpenFigure = Count() == 1 && !Fig(0).Closed;
    m_job.StartOutline = 0;
    int32_t outermost = 0;
    for (int32_t i = 0; i < Count(); ++i)
        if (Fig(i).Depth == 0) {
            ++outermost;
            m_job.StartFigure = i;
        }

    if (outermost == 1 && Fig(m_job.StartFigure).Points.size() == 5) {
        m_job.StartOutline = 1;  // a rectangle of material holds the job
    } else {
        double best = 1e21;
        int32_t leadIn = -1;
        for (int32_t i = 0; i < Count(); ++i) {
            const tfigura& f = Fig(i);
            if (!Work())
                return Result::Cancelled;
            if (f.Closed || !IsStartCandidate(i))
                continue;
            const double d = std::hypot(static_cast<double>(f.MinX) - m_job.JobMinX,
                                        static_cast<double>(f.MinY) - m_job.JobMinY);
            if (d < best) {
                best = d;
                leadIn = i;
            }
        }
        if (Cancelled())
            return Result::Cancelled;
        if (leadIn >= 0)
            m_job.StartFigure = leadIn;
        if (leadIn >= 0 || m_mode == 2 || m_job.SingleOpenFigure) {
            AddDepthToAll(1);
        } else {
            if (m_addFrame)
                AddJobFrame();
            else
                AddCornerStub();
            m_job.StartOutline = 1;
            m_job.JobWidth = static_cast<int32_t>(std::min<int64_t>(2147483647, static_cast<int64_t>(m_job.JobMaxX) - m_job.JobMinX));
            m_job.JobHeight = static_cast<int32_t>(std::min<int64_t>(2147483647, static_cast<int64_t>(m_job.JobMaxY) - m_job.JobMinY));
            AddDepthToAll(1);
            if (!m_addFrame)
                ConnectStart();
        }
    }

    const int32_t s = m_job.StartFigure;
    SetConnected(s, true);
    Fig(s).EntryVertex = NearestVertexToCorner(s);
    Fig(s).Container = -1;
    Fig(s).ConnParent = -1;
    Fig(s).ConnParentVertex = -1;
    LinkStartTouching();
    if (Cancelled())
        return Result::Cancelled;
    EnterPhase(PlanPhase::TouchingLinks);
    LinkTouchingFigures();
    if (Cancelled())
        return Result::Cancelled;
    MarkEntryVertices();

    bool complete = Unconnected() == 0;
    if (!complete) {
        m_useNearest = Count() >= 21;
        if (m_useNearest) {
            EnterPhase(PlanPhase::NearestLists);
            BuildNearestLists();
            if (Cancelled())
                return Result::Cancelled;
        }
        // A figure not connected yet still holds its parameters' ConnParent 0:
        // only a connected figure says that the start is entered already.
        if (Fig(s).Closed) {
            bool entered = false;
            for (int32_t i = 0; i < Count() && !entered; ++i)
                entered = i != s && Connected(i) && Fig(i).ConnParent == s;
            if (!entered) {
                EnterPhase(PlanPhase::StartFigure);
                ConnectStart();
            }
        }
        EnterPhase(PlanPhase::TouchingLinks);
        LinkTouchingFigures();
        if (Cancelled())
            return Result::Cancelled;
        DropVertices();

        // Containers deepest first: each one's children are joined among
        // themselves and to it, so the group later joins the outside as one.
        // No depth or count changes here and the connectors made have no
        // children, so the containers are sorted by level once.
        EnterPhase(PlanPhase::Containers);
        std::vector<std::vector<int32_t>> byLevel(static_cast<size_t>(std::max(0, deepestContainerLevel + 1)));
        for (int32_t r = 0; r < Count(); ++r)
            if (Fig(r).ChildCount > 0 && Fig(r).Depth >= 0 && Fig(r).Depth <= deepestContainerLevel)
                byLevel[static_cast<size_t>(Fig(r).Depth)].push_back(r);
        if (!Work(Count()))
            return Result::Cancelled;
        for (int32_t level = deepestContainerLevel; level >= 0; --level) {
            for (int32_t r : byLevel[static_cast<size_t>(level)]) {
                if (!Work())
                    return Result::Cancelled;
                const bool wasConnected = Connected(r);
                SetConnected(r, true);  // inside its own container the container counts as connected
                bool found = ConnectChildren(r);
                if (!Report())
                    return Result::Cancelled;
                while (found) {
                    found = Fig(r).ChildCount >= 21 ? ConnectChildrenNearest(r) : ConnectChildren(r);
                    if (!Report())
                        return Result::Cancelled;
                    SetConnected(r, true);
                }
                SetConnected(r, wasConnected);
            }
        }

        // Outer rounds, until every figure hangs in the tree. When neither a
        // round nor the search over every pair finds a partner, the figures
        // left can't be reached and planning stops.
        EnterPhase(PlanPhase::Connectors);
        for (;;) {
            const bool found = m_useNearest ? ConnectNearest() : ConnectAny();
            if (!Report())
                return Result::Cancelled;
            if (found)
                continue;
            if (Unconnected() == 0)
                break;
            const bool fallback = ConnectAny();
            if (!Report())
                return Result::Cancelled;
            if (Unconnected() == 0)
                break;
            if (!fallback)
                return Result::Unreachable;
        }
        complete = true;
    }
    m_job.PathPlanned = 1;

    tfigura& start = Fig(s);
    if (!start.Closed)
        start.EntryVertex = OpenStartEntry();
    const TFigPoint& entry = start.Points[static_cast<size_t>(start.EntryVertex)];
    m_job.EntryToLeft = static_cast<int32_t>(static_cast<int64_t>(entry.x) - m_job.JobMinX);
    m_job.EntryToRight = static_cast<int32_t>(static_cast<int64_t>(m_job.JobMaxX) - entry.x);
    m_job.EntryToBottom = static_cast<int32_t>(static_cast<int64_t>(entry.y) - m_job.JobMinY);
    m_job.EntryToTop = static_cast<int32_t>(static_cast<int64_t>(m_job.JobMaxY) - entry.y);
    double total = 0;
    for (auto& f : F())
        for (size_t k = 1; k < f->Points.size(); ++k)
            total += Distance(f->Points[k - 1], f->Points[k]);
    m_job.TotalLength = total;
    return Result::Planned;
}
