#include "production/ProfileBender.h"

#include "app/MathUtil.h"
#include "app/MessageBoxes.h"
#include "app/Translator.h"
#include "job/Geometry.h"
#include "job/Job.h"

#include <algorithm>
#include <cmath>
#include <memory>

namespace {
// The segments a -> b and b -> c lie on one line and point opposite ways: the
// curve doubles back at b. Exact, as the turn itself may miss pi by a rounding.
bool DoublesBack(const TFigPoint& a, const TFigPoint& b, const TFigPoint& c)
{
    const __int128 ux = static_cast<int64_t>(b.x) - a.x, uy = static_cast<int64_t>(b.y) - a.y;
    const __int128 vx = static_cast<int64_t>(c.x) - b.x, vy = static_cast<int64_t>(c.y) - b.y;
    return ux * vy - uy * vx == 0 && ux * vx + uy * vy < 0;
}

// Beyond this a notch half-width only says "far too wide"; it keeps the sums
// below from overflowing.
constexpr double kWidestNotch = 1e15;
}  // namespace

std::vector<TFigPoint> DistinctCurvePoints(const std::vector<TFigPoint>& points)
{
    std::vector<TFigPoint> distinct;
    distinct.reserve(points.size());
    for (const TFigPoint& p : points)
        if (distinct.empty() || !SamePoint(distinct.back(), p))
            distinct.push_back(p);
    return distinct;
}

double CurveTurn(const TFigPoint& a, const TFigPoint& b, const TFigPoint& c) { return -TurnAngle(a, b, c); }

std::vector<TFigPoint> NotchedStripPoints(const std::vector<TFigPoint>& curve, int32_t depth, bool& overlap)
{
    overlap = false;
    std::vector<TFigPoint> strip;
    if (curve.size() < 3)
        return strip;
    bool outOfRange = false;
    auto point = [&](int64_t x, int32_t y) {
        const int32_t kept = Clamp32(x);
        outOfRange = outOfRange || kept != x;
        strip.push_back({kept, y});
    };
    point(0, depth);
    int64_t c = 0;
    // The strip's start bounds the first notch as a notch's right edge bounds the next.
    int64_t rightEdge = 0;
    for (size_t i = 0; i + 2 < curve.size(); ++i) {
        const double t = CurveTurn(curve[i], curve[i + 1], curve[i + 2]);
        const double half = std::min(std::fabs(std::tan(t / 2) * depth), kWidestNotch);
        const int64_t w = RoundToInt64Sat(half);
        c += RoundToInt64Sat(Distance(curve[i], curve[i + 1]));
        if (c - w < rightEdge)
            overlap = true;
        point(c - w, depth);
        point(c, 0);
        point(c + w, depth);
        rightEdge = c + w;
    }
    const int64_t end = c + RoundToInt64Sat(Distance(curve[curve.size() - 2], curve.back()));
    if (rightEdge > end)
        overlap = true;
    point(end, depth);
    overlap = overlap || outOfRange;
    return strip;
}

CurveVerdict ProfileBender::JudgeSourceCurve(double depthMm) const
{
    // A depth below half a step would give a strip of no height.
    if (!(depthMm > 0) || MmToSteps(depthMm) <= 0 || !SourceJob || SourceJob->FigureList.empty())
        return CurveVerdict::Ignored;
    const std::vector<TFigPoint> p = DistinctCurvePoints(SourceJob->FigureList.front()->Points);
    if (p.size() <= 2)
        return CurveVerdict::Ignored;
    if (!SourceJob->SingleOpenFigure)
        return CurveVerdict::SeveralFigures;
    // With y upwards the curve may only arch upwards: run from left to right
    // it turns clockwise only, run the other way counter-clockwise only.
    const bool rightwards = p.front().x < p.back().x;
    for (size_t i = 0; i + 2 < p.size(); ++i) {
        if (DoublesBack(p[i], p[i + 1], p[i + 2]))
            return CurveVerdict::BendsBothWays;
        const double t = CurveTurn(p[i], p[i + 1], p[i + 2]);
        if (rightwards ? t > 0 : t < 0)
            return CurveVerdict::BendsBothWays;
    }
    return CurveVerdict::Accepted;
}

bool ProfileBender::CheckSourceCurve(double depthMm) const
{
    const CurveVerdict verdict = JudgeSourceCurve(depthMm);
    const QString required = QStringLiteral("\r\n\r\n") + Tr("Arch_cutting", "wymaganaKrzywa");
    if (verdict == CurveVerdict::SeveralFigures)
        ShowMessageBox(Tr("Arch_cutting", "projWieloelementNiedozwolony") + required, true);
    else if (verdict == CurveVerdict::BendsBothWays)
        ShowMessageBox(Tr("Arch_cutting", "niedozwolonaWypuklosc") + required, true);
    return verdict == CurveVerdict::Accepted;
}

void ProfileBender::BuildNotchedStrip(TJob& result, double depthMm)
{
    NotchesOverlap = 0;
    auto strip = std::make_unique<tfigura>();
    bool overlap = false;
    if (SourceJob && !SourceJob->FigureList.empty())
        strip->Points = NotchedStripPoints(DistinctCurvePoints(SourceJob->FigureList.front()->Points),
                                           MmToSteps(depthMm), overlap);
    NotchesOverlap = overlap ? 1 : 0;
    result.AddFigure(std::move(strip));
}

bool ProfileBender::BuildStripJob(TJob& result, double depthMm)
{
    result.FigureList.clear();
    BuildNotchedStrip(result, depthMm);
    result.Ustaw_PPiPK();
    result.JobWidth = Clamp32(static_cast<int64_t>(result.JobMaxX) - result.JobMinX);
    result.JobHeight = Clamp32(static_cast<int64_t>(result.JobMaxY) - result.JobMinY);
    result.MaxDepth = 0;
    result.SelectedFigure = -1;
    result.ciecie();
    return NotchesOverlap != 0;
}
