#include "production/TwoWireMerge.h"

#include "app/MathUtil.h"
#include "job/Geometry.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <numbers>

namespace {
TFigPoint At(const std::vector<TCapturedPoint>& path, size_t i) { return {path[i].x, path[i].y}; }

double RunLength(const std::vector<TCapturedPoint>& path, const TPathRun& run)
{
    double length = 0.0;
    for (size_t i = run.first + 1; i <= run.last; ++i)
        length += Distance(At(path, i - 1), At(path, i));
    return length;
}

int32_t Round32(double x)
{
    int32_t out = 0;
    RoundToInt32(x, out);
    return out;
}

// Each inner point of `from`'s run gets a partner in `into` at the same
// fraction of the run's length.
void InsertPartners(const std::vector<TCapturedPoint>& from, const TPathRun& run, tfigura& into, int32_t base,
                    double intoLength)
{
    const double length = RunLength(from, run);
    into.PathLength = intoLength;
    double s = 0.0;
    for (size_t j = run.first + 1; j < run.last; ++j) {
        s += Distance(At(from, j - 1), At(from, j));
        InsertPointAtFraction(into, base, length > 0.0 ? s / length : 0.0);
    }
}

std::unique_ptr<tfigura> NewProfile(uint8_t pen, int32_t originX, int32_t originY)
{
    auto f = std::make_unique<tfigura>();
    f->Pen = pen;
    f->OriginX = originX;
    f->OriginY = originY;
    f->ConnParent = -1;
    f->ConnParentVertex = -1;
    f->EntryVertex = 0;
    f->Closed = 1;
    f->Valid = 1;
    return f;
}
}  // namespace

std::vector<TPathRun> PathRuns(const std::vector<TCapturedPoint>& path)
{
    std::vector<TPathRun> runs;
    size_t p = 0;
    while (p + 1 < path.size()) {
        const int32_t tag = path[p + 1].tag;
        size_t v = p + 1;
        while (v + 1 < path.size() && path[v + 1].tag == tag)
            ++v;
        runs.push_back({p, v});
        p = v;
    }
    return runs;
}

void AlignPathEnds(std::vector<TCapturedPoint>& front, std::vector<TCapturedPoint>& back)
{
    if (front.empty() || back.empty())
        return;
    auto align = [](TCapturedPoint& a, TCapturedPoint& b) {
        a.x = b.x = std::min(a.x, b.x);
        a.y = b.y = std::min(a.y, b.y);
    };
    align(front.front(), back.front());
    align(front.back(), back.back());
}

void InsertPointAtFraction(tfigura& figure, int32_t base, double f)
{
    std::vector<TFigPoint>& p = figure.Points;
    if (p.empty())
        return;
    const size_t n = p.size();
    const size_t from = static_cast<size_t>(std::clamp<int64_t>(base, 0, static_cast<int64_t>(n) - 1));
    if (from + 1 >= n) {
        // No segment to walk: the partner is the end itself.
        p.push_back(p.back());
        return;
    }
    const double length = figure.PathLength;
    const double target = f * length;
    double before = 0.0, after = 0.0;
    size_t k = from + 1;
    for (;; ++k) {
        before = after;
        after += Distance(p[k - 1], p[k]);
        const bool reached = length > 0.0 ? after / length >= f : true;
        if (reached || k + 1 == n)
            break;
    }
    const double t = after > before ? std::clamp((target - before) / (after - before), 0.0, 1.0) : 0.0;
    const TFigPoint& a = p[k - 1];
    const TFigPoint& b = p[k];
    const TFigPoint q{static_cast<int32_t>(a.x + Round32(t * (static_cast<double>(b.x) - a.x))),
                      static_cast<int32_t>(a.y + Round32(t * (static_cast<double>(b.y) - a.y)))};
    p.insert(p.begin() + static_cast<std::ptrdiff_t>(k), q);
}

void RebuildVertexAngles(tfigura& figure)
{
    const std::vector<TFigPoint>& p = figure.Points;
    const size_t n = p.size();
    figure.VertexInfo.assign(n, TFigVertexInfo{});
    if (n == 0)
        return;
    for (size_t i = 1; i + 1 < n; ++i)
        figure.VertexInfo[i].Angle = TurnAngle(p[i - 1], p[i], p[i + 1]);
    if (figure.Closed && n >= 3) {
        figure.VertexInfo[0].Angle = TurnAngle(p[n - 2], p[0], p[1]);
        figure.VertexInfo[n - 1].Angle = TurnAngle(p[n - 2], p[n - 1], p[1]);
    } else {
        figure.VertexInfo[0].Angle = figure.VertexInfo[n - 1].Angle = std::numbers::pi / 2;
    }
}

void ThinProfilePair(tfigura& front, tfigura& back)
{
    std::vector<TFigPoint>& f = front.Points;
    std::vector<TFigPoint>& b = back.Points;
    if (f.size() != b.size())
        return;
    const double limit = MmToSteps(0.5);
    size_t i = 0;
    while (i + 1 < f.size()) {
        if (Distance(f[i], f[i + 1]) >= limit || Distance(b[i], b[i + 1]) >= limit) {
            ++i;
            continue;
        }
        // The cut ends where the profiles end: at the last pair the one
        // before it goes instead.
        size_t drop = i + 1;
        if (drop + 1 == f.size()) {
            if (i == 0)
                break;
            drop = i--;
        }
        f.erase(f.begin() + static_cast<std::ptrdiff_t>(drop));
        b.erase(b.begin() + static_cast<std::ptrdiff_t>(drop));
    }
}

bool MergeCapturedPaths(const std::vector<TCapturedPoint>& front, const std::vector<TCapturedPoint>& back,
                        tfigura& frontFigure, tfigura& backFigure)
{
    const std::vector<TPathRun> frontRuns = PathRuns(front), backRuns = PathRuns(back);
    // Nothing to pair, or runs that can't be paired one by one.
    if (frontRuns.empty() || frontRuns.size() != backRuns.size())
        return false;
    tfigura& ff = frontFigure;
    tfigura& bf = backFigure;
    bool lastCopied = false;
    for (size_t r = 0; r < frontRuns.size(); ++r) {
        const TPathRun& fr = frontRuns[r];
        const TPathRun& br = backRuns[r];
        if (fr.last - fr.first == br.last - br.first) {
            for (size_t i = fr.first; i < fr.last; ++i)
                ff.AddPoint(At(front, i));
            for (size_t i = br.first; i < br.last; ++i)
                bf.AddPoint(At(back, i));
            lastCopied = true;
            continue;
        }
        lastCopied = false;
        ff.AddPoint(At(front, fr.first));
        bf.AddPoint(At(back, br.first));
        const auto frontBase = static_cast<int32_t>(ff.Points.size()) - 1;
        const auto backBase = static_cast<int32_t>(bf.Points.size()) - 1;
        for (size_t i = fr.first + 1; i <= fr.last; ++i)
            ff.AddPoint(At(front, i));
        for (size_t i = br.first + 1; i <= br.last; ++i)
            bf.AddPoint(At(back, i));
        const double frontLength = RunLength(front, fr), backLength = RunLength(back, br);
        InsertPartners(front, fr, bf, backBase, backLength);
        InsertPartners(back, br, ff, frontBase, frontLength);
        ff.PathLength = frontLength;
        bf.PathLength = backLength;
    }
    // A copied run leaves its last point to the run after it; the last run
    // has none after it, and without its end a closed profile would not close.
    if (lastCopied) {
        ff.AddPoint(At(front, front.size() - 1));
        bf.AddPoint(At(back, back.size() - 1));
    }
    ThinProfilePair(ff, bf);
    RebuildVertexAngles(ff);
    RebuildVertexAngles(bf);
    return true;
}

void FreeCapturedPath(TJob& job) { std::vector<TCapturedPoint>().swap(job.CapturedPath); }

MergeOutcome MergeTwoWireJobs(TJob& front, TJob& back, TJob& target, const std::function<void(TJob&)>& capture)
{
    if (front.FigureList.size() != back.FigureList.size())
        return MergeOutcome::FigureCountsDiffer;
    capture(front);
    capture(back);
    AlignPathEnds(front.CapturedPath, back.CapturedPath);

    const int32_t minX = std::min(front.JobMinX, back.JobMinX), minY = std::min(front.JobMinY, back.JobMinY);
    const int32_t maxX = std::max(front.JobMaxX, back.JobMaxX), maxY = std::max(front.JobMaxY, back.JobMaxY);
    auto frontFigure = NewProfile(4, minX, minY);
    auto backFigure = NewProfile(3, minX, minY);
    const bool merged = MergeCapturedPaths(front.CapturedPath, back.CapturedPath, *frontFigure, *backFigure);
    FreeCapturedPath(front);
    FreeCapturedPath(back);
    if (!merged)
        return MergeOutcome::RunCountsDiffer;

    // Everything moves to the origin, and the bounds with it: they describe
    // the two figures as they now lie.
    for (tfigura* f : {frontFigure.get(), backFigure.get()}) {
        for (TFigPoint& p : f->Points) {
            p.x = static_cast<int32_t>(static_cast<int64_t>(p.x) - minX);
            p.y = static_cast<int32_t>(static_cast<int64_t>(p.y) - minY);
        }
        f->OriginX = f->OriginY = 0;
    }
    target.FigureList.clear();
    target.FigureList.push_back(std::move(frontFigure));
    target.FigureList.push_back(std::move(backFigure));
    target.JobMinX = target.JobMinY = 0;
    target.JobMaxX = static_cast<int32_t>(static_cast<int64_t>(maxX) - minX);
    target.JobMaxY = static_cast<int32_t>(static_cast<int64_t>(maxY) - minY);
    target.JobWidth = target.JobMaxX;
    target.JobHeight = target.JobMaxY;
    target.TwoProfile = 1;
    target.PathPlanned = 1;
    target.SelectedFigure = -1;
    // The cut walks the front figure from its first point; the back figure
    // follows it point by point.
    target.StartFigure = 0;
    target.TotalLength = std::max(front.TotalLength, back.TotalLength);
    return MergeOutcome::Merged;
}
