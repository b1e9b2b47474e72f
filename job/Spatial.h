#pragma once
#include "job/Figure.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>

// Square cells over the steps, wider than twice the reach, so the points
// within `reach` steps of any point (in x and in y) lie in 2 x 2 cells at most.
class GridCells {
public:
    explicit GridCells(int64_t reach) : m_reach(std::max<int64_t>(0, reach)), m_cell(2 * m_reach + 2) {}

    int64_t Cell(int64_t v) const
    {
        const int64_t q = v / m_cell;
        return (v % m_cell != 0 && v < 0) ? q - 1 : q;
    }
    static uint64_t Key(int64_t cx, int64_t cy)
    {
        return (static_cast<uint64_t>(cx) << 32) ^ (static_cast<uint64_t>(cy) & 0xFFFFFFFFULL);
    }
    uint64_t KeyOf(const TFigPoint& p) const { return Key(Cell(p.x), Cell(p.y)); }

    // Calls visit(cx, cy) for the cells that hold every point within the reach of p.
    template <typename Visit>
    void Around(const TFigPoint& p, Visit&& visit) const
    {
        const int64_t x0 = Cell(p.x - m_reach), x1 = Cell(p.x + m_reach);
        const int64_t y0 = Cell(p.y - m_reach), y1 = Cell(p.y + m_reach);
        for (int64_t cx = x0; cx <= x1; ++cx)
            for (int64_t cy = y0; cy <= y1; ++cy)
                visit(cx, cy);
    }

private:
    int64_t m_reach;
    int64_t m_cell;
};

// Every vertex of a set of figures, for "which vertices lie within `reach`
// steps of this point" (in x and in y). The vertices are kept in one array,
// cell by cell over the figures' bounds (cells sized for a few vertices each),
// and sorted by point within a cell, so a query looks only at the points
// within reach, and all the vertices at one point form one run, ordered by
// figure and vertex: a point where thousands of figures meet costs a query no
// more than one figure does. The few vertices of the planner's own figures are
// kept apart (they move, and come later).
class VertexGrid {
public:
    struct Entry {
        int32_t figure;
        int32_t vertex;
        TFigPoint p;
    };

    // pointsOf(i) gives the points of figure i, for i from 0 to count - 1.
    template <typename PointsOf>
    VertexGrid(int64_t reach, int32_t count, PointsOf&& pointsOf) : m_reach(std::max<int64_t>(0, reach))
    {
        size_t n = 0;
        int64_t x0 = INT64_MAX, y0 = INT64_MAX, x1 = INT64_MIN, y1 = INT64_MIN;
        for (int32_t i = 0; i < count; ++i)
            for (const TFigPoint& p : pointsOf(i)) {
                ++n;
                x0 = std::min<int64_t>(x0, p.x), x1 = std::max<int64_t>(x1, p.x);
                y0 = std::min<int64_t>(y0, p.y), y1 = std::max<int64_t>(y1, p.y);
            }
        if (n == 0)
            return;
        // About eight vertices a cell over the bounds, and never many more
        // cells than vertices, however thin or sparse the drawing.
        const double w = static_cast<double>(x1 - x0) + 1, h = static_cast<double>(y1 - y0) + 1;
        const double side = std::max({std::sqrt(w * h * 8 / static_cast<double>(n)), 2 * (w + h) / static_cast<double>(n),
                                      static_cast<double>(2 * m_reach + 2)});
        m_cell = static_cast<int64_t>(std::ceil(std::min(side, 8.0e9)));
        m_x0 = x0;
        m_y0 = y0;
        m_columns = (x1 - x0) / m_cell + 1;
        m_rows = (y1 - y0) / m_cell + 1;
        m_begin.assign(static_cast<size_t>(m_columns * m_rows) + 1, 0);
        for (int32_t i = 0; i < count; ++i)
            for (const TFigPoint& p : pointsOf(i))
                ++m_begin[CellOf(p) + 1];
        for (size_t c = 1; c < m_begin.size(); ++c)
            m_begin[c] += m_begin[c - 1];
        std::vector<uint32_t> fill(m_begin.begin(), m_begin.end() - 1);
        m_entries.resize(n);
        for (int32_t i = 0; i < count; ++i) {
            const auto& points = pointsOf(i);
            for (size_t k = 0; k < points.size(); ++k)
                m_entries[fill[CellOf(points[k])]++] = {i, static_cast<int32_t>(k), points[k]};
        }
        // Within a cell by point, then by figure and vertex.
        for (size_t c = 0; c + 1 < m_begin.size(); ++c)
            std::sort(m_entries.begin() + m_begin[c], m_entries.begin() + m_begin[c + 1], [](const Entry& a, const Entry& b) {
                if (a.p != b.p)
                    return Before(a.p, b.p);
                return a.figure != b.figure ? a.figure < b.figure : a.vertex < b.vertex;
            });
    }

    // A vertex kept apart from the built ones: the planner's own figures,
    // whose vertices may move onto what they touch, and figures added later.
    void Insert(int32_t figure, int32_t vertex, const TFigPoint& p) { m_extra.push_back({figure, vertex, p}); }

    // Moves a vertex kept apart.
    void Move(int32_t figure, int32_t vertex, const TFigPoint& to)
    {
        for (Entry& e : m_extra)
            if (e.figure == figure && e.vertex == vertex)
                e.p = to;
    }

    // Calls visit(begin, end) for every run of built entries at one point
    // within the reach of p (entries [begin, end) of At, ordered by figure and
    // vertex); visit returns true to stop, and so does Runs then.
    template <typename Visit>
    bool Runs(const TFigPoint& p, Visit&& visit) const
    {
        if (m_entries.empty())
            return false;
        const int64_t xa = std::max(p.x - m_reach, m_x0), xb = p.x + m_reach;
        const int64_t ya = p.y - m_reach, yb = p.y + m_reach;
        if (xb < m_x0 || yb < m_y0)
            return false;
        const int64_t c0 = (xa - m_x0) / m_cell, c1 = std::min(m_columns - 1, (xb - m_x0) / m_cell);
        const int64_t r0 = (std::max(ya, m_y0) - m_y0) / m_cell, r1 = std::min(m_rows - 1, (yb - m_y0) / m_cell);
        for (int64_t c = c0; c <= c1; ++c)
            for (int64_t r = r0; r <= r1; ++r) {
                const size_t cell = static_cast<size_t>(c * m_rows + r);
                const size_t e = m_begin[cell + 1];
                // Column by column of points (x), the stretch within reach in y.
                size_t i = Seek(m_begin[cell], e, p.x - m_reach, ya);
                while (i < e && m_entries[i].p.x <= xb) {
                    const TFigPoint& q = m_entries[i].p;
                    if (q.y < ya) {
                        i = Seek(i, e, q.x, ya);
                    } else if (q.y > yb) {
                        i = Seek(i, e, static_cast<int64_t>(q.x) + 1, ya);
                    } else {
                        const size_t end = RunEnd(i, e);
                        if (visit(i, end))
                            return true;
                        i = end;
                    }
                }
            }
        return false;
    }

    // Calls visit(entry) for the entries within the reach of p, added ones
    // included; visit returns true to stop.
    template <typename Visit>
    void Near(const TFigPoint& p, Visit&& visit) const
    {
        const bool stopped = Runs(p, [&](size_t b, size_t e) {
            for (size_t i = b; i < e; ++i)
                if (visit(m_entries[i]))
                    return true;
            return false;
        });
        if (!stopped)
            for (const Entry& e : m_extra)
                if (Within(e.p, p) && visit(e))
                    return;
    }

    const Entry& At(size_t i) const { return m_entries[i]; }
    const std::vector<Entry>& Added() const { return m_extra; }
    bool Within(const TFigPoint& a, const TFigPoint& b) const
    {
        return std::llabs(static_cast<int64_t>(a.x) - b.x) <= m_reach && std::llabs(static_cast<int64_t>(a.y) - b.y) <= m_reach;
    }

private:
    static bool Before(const TFigPoint& a, const TFigPoint& b) { return a.x != b.x ? a.x < b.x : a.y < b.y; }
    static bool Before(const TFigPoint& a, int64_t x, int64_t y) { return a.x != x ? a.x < x : a.y < y; }

    size_t CellOf(const TFigPoint& p) const
    {
        return static_cast<size_t>((p.x - m_x0) / m_cell * m_rows + (p.y - m_y0) / m_cell);
    }

    // The first entry of [i, e) at or after (x, y) in the cell's order.
    size_t Seek(size_t i, size_t e, int64_t x, int64_t y) const
    {
        const auto first = m_entries.begin();
        return static_cast<size_t>(std::partition_point(first + static_cast<std::ptrdiff_t>(i), first + static_cast<std::ptrdiff_t>(e),
                                                        [&](const Entry& a) { return Before(a.p, x, y); }) -
                                   first);
    }

    // The end of the run that starts at i: found by doubling, then halving,
    // so a run of one costs one comparison and a run of thousands a few.
    size_t RunEnd(size_t i, size_t e) const
    {
        const TFigPoint q = m_entries[i].p;
        size_t last = i;
        for (size_t step = 1;; step *= 2) {
            const size_t probe = last + step;
            if (probe >= e || m_entries[probe].p != q)
                return Seek(last + 1, std::min(probe, e), q.x, static_cast<int64_t>(q.y) + 1);
            last = probe;
        }
    }

    int64_t m_reach;
    int64_t m_cell = 1, m_x0 = 0, m_y0 = 0, m_columns = 0, m_rows = 0;
    std::vector<uint32_t> m_begin;  // first entry of each cell, column by column
    std::vector<Entry> m_entries;
    std::vector<Entry> m_extra;
};

// A box of steps.
struct Box {
    int64_t minX, minY, maxX, maxY;

    static Box Of(const tfigura& f) { return {f.MinX, f.MinY, f.MaxX, f.MaxY}; }
    void Grow(const Box& b)
    {
        minX = std::min(minX, b.minX);
        minY = std::min(minY, b.minY);
        maxX = std::max(maxX, b.maxX);
        maxY = std::max(maxY, b.maxY);
    }
    // Squared distance between two boxes (0 when they meet), each axis's gap
    // first shrunk by `slack`.
    static int64_t Gap2(const Box& a, const Box& b, int64_t slack = 0)
    {
        const int64_t gx = std::max<int64_t>(0, std::max(a.minX - b.maxX, b.minX - a.maxX) - slack);
        const int64_t gy = std::max<int64_t>(0, std::max(a.minY - b.maxY, b.minY - a.maxY) - slack);
        const double d2 = static_cast<double>(gx) * gx + static_cast<double>(gy) * gy;
        return d2 >= 9.0e18 ? INT64_MAX : gx * gx + gy * gy;
    }
};
