#include "job/Replay.h"

#include "app/Settings.h"
#include "job/CutOrder.h"
#include "job/Geometry.h"
#include "job/Job.h"

#include <algorithm>
#include <cmath>
#include <map>

namespace {
constexpr double kSharpCorner = 0.6283185307179586;  // pi / 5
constexpr int32_t kFirstCaptureTag = 10001;

bool ValidFigure(const TJob& job, int32_t i)
{
    return i >= 0 && static_cast<size_t>(i) < job.FigureList.size() && job.FigureList[static_cast<size_t>(i)];
}

double AngleAt(const tfigura& f, int32_t v)
{
    return v >= 0 && static_cast<size_t>(v) < f.VertexInfo.size() ? std::fabs(f.VertexInfo[static_cast<size_t>(v)].Angle) : 0.0;
}

class Builder {
public:
    Builder(const TJob& job, const ReplayOptions& options, JobReplay& out) : m_job(job), m_options(options), m_out(out)
    {
        m_out.start = {job.JobMinX, job.JobMinY};
        m_pen = m_out.start;
    }

    void Travel(const TFigPoint& to, int32_t figure, int32_t vertex)
    {
        m_out.steps.push_back({ReplayStep::Kind::Travel, figure, vertex, m_pen, to, 0});
        m_pen = to;
    }
    void Cut(const TFigPoint& to, int32_t figure, int32_t vertex)
    {
        m_out.steps.push_back({ReplayStep::Kind::Cut, figure, vertex, m_pen, to, 0});
        m_pen = to;
    }
    void Pause(double units) { m_out.steps.push_back({ReplayStep::Kind::Pause, -1, -1, m_pen, m_pen, units}); }
    void Wire(const TFigPoint& front, const TFigPoint& back)
    {
        m_out.steps.push_back({ReplayStep::Kind::Wire, -1, -1, front, back, kWireUnits});
    }

    const tfigura& Fig(int32_t i) const { return *m_job.FigureList[static_cast<size_t>(i)]; }

    void Plain();
    void TwoProfileWires();
    void AroundAxis(bool turning);

private:
    const TJob& m_job;
    const ReplayOptions& m_options;
    JobReplay& m_out;
    TFigPoint m_pen;
};

// The cut of a plain job, visited in the order the command file is written:
// every figure from its entry vertex round to it again, leaving towards the
// higher neighbour; the figures hanging at a vertex are cut when the wire
// reaches that vertex. An open figure entered at an end is cut from that end
// to the other and back; one entered between its ends goes to one end, along
// the whole figure to the other, and back to the entry. Unlike the file, the
// replay shows the start figure's own edges. In serial cutting an open figure
// ends at its far end, as the cut does.
void Builder::Plain()
{
    const int32_t entry = ReplayEntryVertex(m_job);
    const int32_t start = m_job.StartFigure;
    if (entry < 0)
        return;
    Travel(Fig(start).Points[static_cast<size_t>(entry)], start, entry);

    const bool serial = m_options.mode == 2;
    const bool single = m_job.SingleOpenFigure != 0;
    const double pause = m_options.cornerPause / 4.0;
    const auto count = static_cast<int32_t>(m_job.FigureList.size());
    // The figures hanging from each figure, in list order: those of figure
    // f are children[first[f] .. first[f + 1]).
    std::vector<int32_t> first(static_cast<size_t>(count) + 1, 0), children;
    auto parentOf = [&](int32_t g) {
        if (!ValidFigure(m_job, g))
            return -1;
        const int32_t parent = Fig(g).ConnParent;
        return ValidFigure(m_job, parent) && parent != g ? parent : -1;
    };
    for (int32_t g = 0; g < count; ++g)
        if (const int32_t parent = parentOf(g); parent >= 0)
            ++first[static_cast<size_t>(parent) + 1];
    for (size_t f = 0; f < static_cast<size_t>(count); ++f)
        first[f + 1] += first[f];
    children.resize(static_cast<size_t>(first.back()));
    {
        std::vector<int32_t> fill(first.begin(), first.end() - 1);
        for (int32_t g = 0; g < count; ++g)
            if (const int32_t parent = parentOf(g); parent >= 0)
                children[static_cast<size_t>(fill[static_cast<size_t>(parent)]++)] = g;
    }

    struct Visit {
        int32_t figure;
        bool reversed = false;  // cut from its last vertex back to its first
        int32_t n = 0;
        std::vector<CutVisitStep> steps;
        size_t next = 0;
    };
    // A figure is walked once, even where broken links would lead to it again.
    std::vector<uint8_t> walkedFigure(static_cast<size_t>(count), 0);
    const CutVisitRules rules{single, serial, false};

    auto plan = [&](int32_t fi, int32_t entryVertex) {
        walkedFigure[static_cast<size_t>(fi)] = 1;
        const tfigura& f = Fig(fi);
        Pause(pause);  // every figure begins with a pause
        std::vector<std::pair<int32_t, int32_t>> hanging;
        for (int32_t c = first[static_cast<size_t>(fi)]; c < first[static_cast<size_t>(fi) + 1]; ++c) {
            const int32_t g = children[static_cast<size_t>(c)];
            hanging.push_back({Fig(g).ConnParentVertex, g});
        }
        CutVisit cut = PlanCutVisit(f.Points, f.Closed != 0, entryVertex, hanging, rules);
        Visit visit{fi, cut.reversed, static_cast<int32_t>(f.Points.size()) - 1, std::move(cut.steps)};
        return visit;
    };

    bool paused = false;  // the last vertex reached was a paused corner
    std::vector<Visit> stack;
    stack.push_back(plan(start, entry));
    while (!stack.empty()) {
        const size_t top = stack.size() - 1;
        if (stack[top].next >= stack[top].steps.size()) {
            stack.pop_back();
            continue;
        }
        const CutVisitStep s = stack[top].steps[stack[top].next++];
        if (s.child) {
            if (!walkedFigure[static_cast<size_t>(s.value)])
                stack.push_back(plan(s.value, Fig(s.value).EntryVertex));
            continue;
        }
        const Visit& visit = stack[top];
        const tfigura& f = Fig(visit.figure);
        const int32_t v = s.value;
        const int32_t vertex = visit.reversed ? visit.n - v : v;
        if (!f.Closed && !paused && v == 0)
            Pause(pause);
        Cut(f.Points[static_cast<size_t>(vertex)], visit.figure, vertex);
        paused = AngleAt(f, vertex) > kSharpCorner;
        if (paused)
            Pause(pause);
    }
}

void Builder::TwoProfileWires()
{
    const int32_t entry = ReplayEntryVertex(m_job);
    if (entry >= 0)
        Travel(Fig(m_job.StartFigure).Points[static_cast<size_t>(entry)], m_job.StartFigure, entry);
    if (m_job.FigureList.size() < 2 || !ValidFigure(m_job, 0) || !ValidFigure(m_job, 1))
        return;
    const auto& front = Fig(0).Points;
    const auto& back = Fig(1).Points;
    const size_t pairs = std::min(front.size(), back.size());
    for (size_t k = 0; k < pairs; ++k)
        Wire(front[k], back[k]);
}

// Rotary cutting and turning: every figure that may be oriented, in list
// order, in the direction the feed setting gives.
void Builder::AroundAxis(bool turning)
{
    TFigPoint previous = turning ? TFigPoint{0, 1000000} : TFigPoint{0, 0};
    const TFigPoint corner = m_out.start;
    for (int32_t i = 0; i < static_cast<int32_t>(m_job.FigureList.size()); ++i) {
        if (!ValidFigure(m_job, i))
            continue;
        const tfigura& f = Fig(i);
        if (!f.MayOrient || f.Points.empty())
            continue;
        bool forward = true;
        if (m_options.catDir == 1)
            forward = false;
        else if (m_options.catDir == 2)
            forward = Distance(previous, f.Points.back()) >= Distance(previous, f.Points.front());
        const auto n = static_cast<int32_t>(f.Points.size()) - 1;
        for (int32_t k = 0; k <= n; ++k) {
            const int32_t v = forward ? k : n - k;
            if (k == 0)
                Travel(f.Points[static_cast<size_t>(v)], i, v);
            else
                Cut(f.Points[static_cast<size_t>(v)], i, v);
        }
        previous = f.Points[static_cast<size_t>(forward ? n : 0)];
    }
    Travel(corner, -1, -1);
}
}  // namespace

ReplayOptions ReplayOptions::FromSettings(const TJob& job)
{
    const TDlgkonfigModel& s = Settings();
    ReplayOptions o;
    o.mode = s.Mode();
    o.rotaryAxis = s.StolikSwitch() == 0 || s.StolikSwitch() == 1;
    o.catDir = s.CatDir();
    // A drawing for the side wire pauses as the side wire does (serial
    // cutting has no side wire).
    o.cornerPause = job.SideDrawing && o.mode != 2 ? s.Value("Pauza_w_kacie_Bok") : s.Value("Pauza_w_kacie");
    return o;
}

ReplayKind ReplayKindFor(const TJob& job, const ReplayOptions& options)
{
    if (options.mode == 1)
        return ReplayKind::Rotary;
    if (options.mode == 3 && options.rotaryAxis)
        return ReplayKind::Turning;
    return job.TwoProfile ? ReplayKind::TwoProfile : ReplayKind::Plain;
}

int32_t ReplayEntryVertex(const TJob& job)
{
    if (!ValidFigure(job, job.StartFigure))
        return -1;
    const tfigura& f = *job.FigureList[static_cast<size_t>(job.StartFigure)];
    if (f.Points.empty())
        return -1;
    const auto n = static_cast<int32_t>(f.Points.size()) - 1;
    if (job.SingleOpenFigure) {
        const int32_t first = f.Points.front().x, last = f.Points.back().x;
        return job.FeedSign[0] < 0 ? (last > first ? n : 0) : (last < first ? n : 0);
    }
    return std::clamp<int32_t>(f.EntryVertex, 0, n);
}

JobReplay ComputeReplay(const TJob& job, const ReplayOptions& options)
{
    JobReplay replay;
    replay.kind = ReplayKindFor(job, options);
    Builder builder(job, options, replay);
    switch (replay.kind) {
    case ReplayKind::Plain:
        builder.Plain();
        break;
    case ReplayKind::TwoProfile:
        builder.TwoProfileWires();
        break;
    case ReplayKind::Rotary:
        builder.AroundAxis(false);
        break;
    case ReplayKind::Turning:
        builder.AroundAxis(true);
        break;
    }
    return replay;
}

std::vector<TCapturedPoint> CapturedPathOf(const TJob& job, const JobReplay& replay)
{
    std::vector<TCapturedPoint> out;
    int32_t counter = kFirstCaptureTag;
    for (const ReplayStep& s : replay.steps) {
        if ((s.kind != ReplayStep::Kind::Travel && s.kind != ReplayStep::Kind::Cut) || !ValidFigure(job, s.figure))
            continue;
        if (job.FigureList[static_cast<size_t>(s.figure)]->Pen == 6) {
            ++counter;
            continue;
        }
        if (!out.empty() && out.back().x == s.to.x && out.back().y == s.to.y)
            continue;
        out.push_back({s.figure + counter, s.vertex, s.to.x, s.to.y});
    }
    return out;
}

std::vector<TCapturedPoint> CapturePlannedPath(const TJob& job, const ReplayOptions& options)
{
    return CapturedPathOf(job, ComputeReplay(job, options));
}
