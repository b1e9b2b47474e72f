#pragma once
#include "job/Figure.h"
#include "job/FlatMultiMap.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
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

// Points of figures by grid cell, for "which vertices lie within `reach`
// steps of this point" (in x and in y). A cell is wider than twice the reach,
// so a query looks at 2 x 2 cells at most.
class VertexGrid {
public:
    struct Entry {
        int32_t figure;
        int32_t vertex;
        TFigPoint p;
    };

    explicit VertexGrid(int64_t reach) : m_grid(reach) {}

    void Reserve(size_t n)
    {
        m_entries.reserve(n);
        m_cells.Reserve(n);
    }

    int32_t Insert(int32_t figure, int32_t vertex, const TFigPoint& p)
    {
        const auto id = static_cast<int32_t>(m_entries.size());
        m_entries.push_back({figure, vertex, p});
        m_cells.Insert(m_grid.KeyOf(p), id);
        return id;
    }

    // Moves an entry to a new place.
    void Move(int32_t id, const TFigPoint& p)
    {
        Entry& e = m_entries[static_cast<size_t>(id)];
        m_cells.Erase(m_grid.KeyOf(e.p), id);
        e.p = p;
        m_cells.Insert(m_grid.KeyOf(p), id);
    }

    // Calls visit(entry id, entry) for the entries of the cells that hold
    // every point within the reach of p (and some more: callers check).
    template <typename Visit>
    void Near(const TFigPoint& p, Visit&& visit) const
    {
        m_grid.Around(p, [&](int64_t cx, int64_t cy) {
            m_cells.ForEach(GridCells::Key(cx, cy), [&](int32_t id) {
                const Entry& e = m_entries[static_cast<size_t>(id)];
                if (m_grid.Cell(e.p.x) == cx && m_grid.Cell(e.p.y) == cy)
                    visit(id, e);
            });
        });
    }

    const Entry& At(int32_t id) const { return m_entries[static_cast<size_t>(id)]; }
    size_t Size() const { return m_entries.size(); }

private:
    GridCells m_grid;
    std::vector<Entry> m_entries;
    FlatMultiMap m_cells;
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
