#include "job/CutOrder.h"

#include <algorithm>
#include <map>

CutVisit PlanCutVisit(const std::vector<TFigPoint>& pts, bool closed, int32_t entry,
                      const std::vector<std::pair<int32_t, int32_t>>& hanging, const CutVisitRules& rules)
{
    CutVisit visit;
    const auto size = static_cast<int32_t>(pts.size());
    if (size == 0)
        return visit;
    const int32_t n = size - 1;
    int32_t idx = std::clamp<int32_t>(entry, 0, n);
    const bool open = !closed;
    const bool single = rules.singleOpenFigure;
    int dir = 1;
    // An open figure entered at an end is cut forward from that end; any other
    // entry leaves towards the neighbour with the larger y.
    if (!rules.fixedDirection && n > 1 && !(open && (idx == 0 || idx == n))) {
        const int32_t next = (idx == 0 || idx == n) ? 1 : idx + 1;
        const int32_t prev = (idx == 0 || idx == n) ? n - 1 : idx - 1;
        dir = pts[static_cast<size_t>(next)].y < pts[static_cast<size_t>(prev)].y ? -1 : 1;
    }
    // An open figure entered at its last vertex is cut from there, as if it
    // were turned round. (A two-point connector is simply cut there and back,
    // but a lone line must not lose its one edge to the end never closed.)
    if (open && idx == n && (size > 2 || (single && n > 0))) {
        visit.reversed = true;
        dir = 1;
        idx = 0;
    }
    std::map<int32_t, std::vector<int32_t>> at;
    for (const auto& [v, g] : hanging)
        if (v >= 0 && v <= n)
            at[visit.reversed ? n - v : v].push_back(g);
    std::vector<uint8_t> walked(static_cast<size_t>(size), 0);
    // The figures hanging at a vertex are cut the first time the wire is there.
    auto hang = [&](int32_t v) {
        if (walked[static_cast<size_t>(v)])
            return;
        walked[static_cast<size_t>(v)] = 1;
        const auto it = at.find(v);
        if (it != at.end())
            for (int32_t g : it->second)
                visit.steps.push_back({true, g});
    };
    auto move = [&](int32_t v) { visit.steps.push_back({false, v}); };

    if (open && size > 2 && idx > 0) {
        // Entered between its ends: to one end, along the whole figure to the
        // other, and back to the entry, never across the material.
        const int32_t farEnd = dir > 0 ? n : 0, otherEnd = dir > 0 ? 0 : n;
        int32_t v = idx;
        hang(v);
        while (v != farEnd) {
            v += dir;
            move(v);
            hang(v);
        }
        while (v != otherEnd) {
            v -= dir;
            move(v);
            hang(v);
        }
        if (!single)
            while (v != idx) {
                v += dir;
                move(v);
            }
        return visit;
    }
    // Round from the entry to it again (a closed figure's last point repeats
    // its first). An open figure goes back along itself, except in serial
    // cutting, where it is left at its far end; a connector (two points)
    // always brings the wire back.
    for (int32_t i = 0; i <= n; ++i) {
        hang(idx);
        if (rules.serial && open && size > 2 && i == n)
            break;
        idx = ((idx + dir) % size + size) % size;
        if (!single && open && i == n && size > 2 && !rules.serial)
            for (int32_t k = i; k >= 0; --k)
                move(k);
        // The only figure of the job, open, is not closed back to vertex 0.
        if (!(single && idx == 0))
            move(idx);
    }
    return visit;
}
