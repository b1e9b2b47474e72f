// Planning of jobs cut on a rotary axis: the axis line of the drawing, the
// shift that puts the axis on the origin, the direction of every figure and,
// for turning, the order of the figures.
#include "app/MainStatus.h"
#include "app/MessageBoxes.h"
#include "app/Settings.h"
#include "app/Translator.h"
#include "job/Geometry.h"
#include "job/Job.h"

#include <algorithm>
#include <climits>
#include <numeric>
#include <utility>

namespace {
// v - d without wrapping: a drawing far from its axis ends at the edge of the
// coordinate range instead of on the other side of it.
int32_t Minus(int32_t v, int32_t d)
{
    return static_cast<int32_t>(std::clamp<int64_t>(static_cast<int64_t>(v) - d, INT32_MIN, INT32_MAX));
}

int32_t Span(int32_t lo, int32_t hi)
{
    return static_cast<int32_t>(std::clamp<int64_t>(static_cast<int64_t>(hi) - lo, INT32_MIN, INT32_MAX));
}

void Shift(tfigura& f, int32_t dx, int32_t dy)
{
    if (dx == 0 && dy == 0)
        return;
    for (TFigPoint& p : f.Points) {
        p.x = Minus(p.x, dx);
        p.y = Minus(p.y, dy);
    }
    f.MinX = Minus(f.MinX, dx);
    f.MaxX = Minus(f.MaxX, dx);
    f.MinY = Minus(f.MinY, dy);
    f.MaxY = Minus(f.MaxY, dy);
    f.CentreX = static_cast<int32_t>((static_cast<int64_t>(f.MinX) + f.MaxX) / 2);
    f.CentreY = static_cast<int32_t>((static_cast<int64_t>(f.MinY) + f.MaxY) / 2);
}

double PolylineLength(const tfigura& f)
{
    double length = 0.0;
    for (size_t i = 1; i < f.Points.size(); ++i)
        length += Distance(f.Points[i - 1], f.Points[i]);
    return length;
}
}  // namespace

void TJob::Busy(bool busy)
{
    if (busy) {
        if (m_busyDepth++ == 0 && m_host)
            m_host->SetBusy(true);
    } else if (m_busyDepth > 0 && --m_busyDepth == 0 && m_host) {
        m_host->SetBusy(false);
    }
}

// A straight two-point line along the axis direction. Two equal points mark
// no direction at all (and would give the axis no length), so they never
// count, though they are level both ways.
int32_t TJob::FindAxisLine(bool horizontal, bool rightmost) const
{
    int32_t best = -1;
    for (size_t i = 0; i < FigureList.size(); ++i) {
        const tfigura& f = *FigureList[i];
        if (f.Points.size() != 2)
            continue;
        const TFigPoint& a = f.Points[0];
        const TFigPoint& b = f.Points[1];
        if (a == b || (horizontal ? a.y != b.y : a.x != b.x))
            continue;
        const auto index = static_cast<int32_t>(i);
        if (best < 0) {
            best = index;
            continue;
        }
        const tfigura& held = *FigureList[static_cast<size_t>(best)];
        const int64_t mine = rightmost ? -static_cast<int64_t>(f.MinX) : f.MinY;
        const int64_t theirs = rightmost ? -static_cast<int64_t>(held.MinX) : held.MinY;
        // On a tie the first line wins, except that the line already taken as
        // the axis keeps that role: planning the job again must not move it
        // onto another line level with it (the turning order may have put
        // that one first).
        if (mine < theirs || (mine == theirs && index == AxisFigure))
            best = index;
    }
    return best;
}

bool TJob::PlanAroundAxis(RotaryPlan plan)
{
    Busy(true);
    HasSpindleAxis = 0;
    FlatProfile = 0;
    const char* error = nullptr;
    bool profileBelowAxis = false;

    const int rotary = Settings().StolikSwitch();
    bool horizontal = plan == RotaryPlan::SpindleTurning;
    bool rightmost = false;
    const char* missing = "projektBrakOsiObrotuPozProsta";
    if (plan == RotaryPlan::TableTurning) {
        missing = "projektBrakOsiObrotu";
    } else if (plan == RotaryPlan::Cutting) {
        horizontal = rotary == 0;
        rightmost = rotary == 1;
        missing = rotary == 0 ? "projektBrakOsiObrotuPozProsta" : rotary == 1 ? "projektBrakOsiObrotuPionProsta" : nullptr;
    }

    // A line that was the axis before (the rotary device may have changed
    // since) is part of the profile until it is chosen again.
    const auto count = static_cast<int32_t>(FigureList.size());
    if (AxisFigure >= 0 && AxisFigure < count && FigureList[static_cast<size_t>(AxisFigure)]->IsFigure)
        FigureList[static_cast<size_t>(AxisFigure)]->MayOrient = 1;

    const int32_t axis = missing ? FindAxisLine(horizontal, rightmost) : -1;
    AxisFigure = axis;
    if (!missing) {
        error = "BrakSposobuMocowaniaMaterialu";
    } else if (axis < 0) {
        error = missing;
    } else {
        tfigura& line = *FigureList[static_cast<size_t>(axis)];
        line.MayOrient = 0;
        for (auto& f : FigureList) {
            f->AxisWidth = line.Width;
            f->AxisHeight = line.Height;
        }
        if (count == 1)
            error = "projektBrakProfilu";
    }

    if (!error) {
        const tfigura& line = *FigureList[static_cast<size_t>(axis)];
        // The table's line is vertical: its box's two x are the same.
        const int32_t dx = plan == RotaryPlan::TableTurning ? line.MaxX : line.MinX;
        const int32_t dy = line.MinY;
        int32_t minX = INT32_MAX, minY = INT32_MAX, maxX = INT32_MIN, maxY = INT32_MIN;
        for (auto& f : FigureList) {
            Shift(*f, dx, dy);
            minX = std::min(minX, f->MinX);
            minY = std::min(minY, f->MinY);
            maxX = std::max(maxX, f->MaxX);
            maxY = std::max(maxY, f->MaxY);
        }
        // Spindle turning feeds from the axis' start, table turning from its
        // foot; a spindle profile must not reach below its axis.
        JobMinX = plan == RotaryPlan::SpindleTurning ? 0 : minX;
        JobMinY = plan == RotaryPlan::TableTurning ? 0 : minY;
        JobMaxX = maxX;
        JobMaxY = maxY;
        profileBelowAxis = plan == RotaryPlan::SpindleTurning && JobMinY != 0;
        JobWidth = Span(JobMinX, JobMaxX);
        JobHeight = Span(JobMinY, JobMaxY);
        for (auto& f : FigureList) {
            f->OriginX = JobMinX;
            f->OriginY = JobMinY;
        }
        SelectedFigure = -1;

        // Every profile is cut from left to right; in spindle turning one
        // that stands upright is cut from the top down.
        for (auto& f : FigureList) {
            if (!f->MayOrient || f->Points.size() < 2)
                continue;
            const TFigPoint& first = f->Points.front();
            const TFigPoint& last = f->Points.back();
            const bool upright = plan == RotaryPlan::SpindleTurning && first.x == last.x;
            if (upright ? first.y < last.y : last.x < first.x)
                OdwrocKierunek(*f);
        }
        if (plan != RotaryPlan::Cutting)
            sortuj_toczenie();

        TotalLength = 0.0;
        for (size_t i = 0; i < FigureList.size(); ++i)
            if (static_cast<int32_t>(i) != AxisFigure)
                TotalLength += PolylineLength(*FigureList[i]);
        HasSpindleAxis = horizontal ? 1 : 0;
        FlatProfile = horizontal && JobMaxY <= 0 ? 1 : 0;
    }

    Busy(false);
    if (m_host)
        m_host->SetOwnStatus(QString());
    SetMainStatusText(QString());
    if (error) {
        ShowMessageBox(Tr("Project_window", error), true);
        return false;
    }
    // The job is planned all the same; the operator decides what to do with it.
    if (profileBelowAxis)
        ShowMessageBox(Tr("Project_window", "osMaBycPonizejProfilu"), true);
    return true;
}

bool TJob::ciecie_obrotowe()
{
    return WithinMemory([&] { return PlanAroundAxis(RotaryPlan::Cutting); }, false);
}

bool TJob::toczenie() { return Settings().StolikSwitch() == 0 ? toczenie_wrzeciono() : toczenie_stolik(); }

bool TJob::toczenie_wrzeciono()
{
    return WithinMemory([&] { return PlanAroundAxis(RotaryPlan::SpindleTurning); }, false);
}

bool TJob::toczenie_stolik()
{
    return WithinMemory([&] { return PlanAroundAxis(RotaryPlan::TableTurning); }, false);
}

void TJob::sortuj_toczenie()
{
    Busy(true);
    const auto n = static_cast<int32_t>(FigureList.size());
    auto fig = [this](int32_t i) -> tfigura& { return *FigureList[static_cast<size_t>(i)]; };

    // The figures that hang from each figure, in list order: children of a
    // are kids[first[a] .. first[a + 1]). A parent outside the list, or a
    // figure hanging from itself, hangs from nothing.
    std::vector<int32_t> first(static_cast<size_t>(n) + 1, 0);
    auto parentOf = [&](int32_t i) {
        const int32_t p = fig(i).TurnParent;
        return p >= 0 && p < n && p != i ? p : -1;
    };
    for (int32_t i = 0; i < n; ++i) {
        fig(i).Visited = 0;
        fig(i).OrderId = -1;
        if (const int32_t p = parentOf(i); p >= 0)
            ++first[static_cast<size_t>(p) + 1];
    }
    std::partial_sum(first.begin(), first.end(), first.begin());
    std::vector<int32_t> kids(static_cast<size_t>(first[static_cast<size_t>(n)]));
    {
        std::vector<int32_t> fill(first.begin(), first.end() - 1);
        for (int32_t i = 0; i < n; ++i)
            if (const int32_t p = parentOf(i); p >= 0)
                kids[static_cast<size_t>(fill[static_cast<size_t>(p)]++)] = i;
    }

    // A figure is numbered after every figure that hangs from it. It is marked
    // on the way in, so parent links that run in a circle end instead of
    // looping; without such a circle the numbers are the same as marking it
    // once numbered.
    int32_t counter = 1;
    std::vector<std::pair<int32_t, int32_t>> stack;  // figure, its next child slot
    auto numberTree = [&](int32_t root) {
        fig(root).Visited = 1;
        stack.emplace_back(root, first[static_cast<size_t>(root)]);
        while (!stack.empty()) {
            const int32_t a = stack.back().first;
            const int32_t end = first[static_cast<size_t>(a) + 1];
            int32_t next = stack.back().second;
            while (next < end && fig(kids[static_cast<size_t>(next)]).Visited)
                ++next;
            if (next < end) {
                stack.back().second = next + 1;
                const int32_t c = kids[static_cast<size_t>(next)];
                fig(c).Visited = 1;
                stack.emplace_back(c, first[static_cast<size_t>(c)]);
            } else {
                fig(a).OrderId = counter++;
                stack.pop_back();
            }
        }
    };
    for (const int32_t depth : {1, 0})
        for (int32_t i = 0; i < n; ++i)
            if (fig(i).Depth == depth && !fig(i).Visited)
                numberTree(i);

    // By number, unnumbered figures first, ties in list order.
    std::vector<int32_t> order(static_cast<size_t>(n));
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [&](int32_t a, int32_t b) { return fig(a).OrderId < fig(b).OrderId; });
    bool moved = false;
    for (int32_t k = 0; k < n && !moved; ++k)
        moved = order[static_cast<size_t>(k)] != k;
    if (moved) {
        // The indices that name figures follow their figures to the new places.
        std::vector<int32_t> place(static_cast<size_t>(n));
        for (int32_t k = 0; k < n; ++k)
            place[static_cast<size_t>(order[static_cast<size_t>(k)])] = k;
        auto follow = [&](int32_t& index) {
            if (index >= 0 && index < n)
                index = place[static_cast<size_t>(index)];
        };
        TFigureList sorted;
        sorted.reserve(static_cast<size_t>(n));
        for (const int32_t i : order)
            sorted.push_back(std::move(FigureList[static_cast<size_t>(i)]));
        FigureList = std::move(sorted);
        for (int32_t k = 0; k < n; ++k) {
            fig(k).Index = k;
            follow(fig(k).TurnParent);
        }
        follow(AxisFigure);
        follow(StartFigure);
        follow(SelectedFigure);
    }

    Busy(false);
    if (m_host)
        m_host->SetOwnStatus(QString());
    SetMainStatusText(QString());
}
