#include "job/FigureAssembler.h"

#include "job/FlatMultiMap.h"
#include "job/Geometry.h"
#include "job/Spatial.h"

#include <algorithm>
#include <cmath>

// Points of an open figure while it may still be joined. Ends can be added and
// removed at both sides, and the whole sequence turned round, in constant time.
class FigureAssembler::Chain {
public:
    explicit Chain(std::vector<TFigPoint>&& points)
        : m_data(std::move(points)), m_begin(0), m_end(m_data.size())
    {
    }

    size_t Size() const { return m_end - m_begin; }
    const TFigPoint& operator[](size_t i) const { return m_reversed ? m_data[m_end - 1 - i] : m_data[m_begin + i]; }
    const TFigPoint& Front() const { return (*this)[0]; }
    const TFigPoint& Back() const { return (*this)[Size() - 1]; }

    void Reverse() { m_reversed = !m_reversed; }
    void PopFront() { m_reversed ? --m_end : ++m_begin; }
    void PopBack() { m_reversed ? ++m_begin : --m_end; }
    void PushBack(const TFigPoint& p) { m_reversed ? PhysicalFront(p) : PhysicalBack(p); }
    void PushFront(const TFigPoint& p) { m_reversed ? PhysicalBack(p) : PhysicalFront(p); }

    // The points in order, at their exact size.
    std::vector<TFigPoint> Take()
    {
        if (!m_reversed && m_begin == 0 && m_end == m_data.size() && m_data.capacity() <= m_data.size() + m_data.size() / 4)
            return std::move(m_data);
        std::vector<TFigPoint> out;
        out.reserve(Size());
        for (size_t i = 0; i < Size(); ++i)
            out.push_back((*this)[i]);
        m_data = {};
        m_begin = m_end = 0;
        return out;
    }

private:
    void PhysicalBack(const TFigPoint& p)
    {
        if (m_end < m_data.size())
            m_data[m_end] = p;
        else
            m_data.push_back(p);
        ++m_end;
    }

    void PhysicalFront(const TFigPoint& p)
    {
        if (m_begin == 0) {
            // Room in front as large as the chain, so pushing there stays cheap.
            const size_t slack = std::max<size_t>(8, Size());
            std::vector<TFigPoint> grown;
            grown.reserve(slack + Size() + 8);
            grown.resize(slack);
            grown.insert(grown.end(), m_data.begin() + static_cast<std::ptrdiff_t>(m_begin),
                         m_data.begin() + static_cast<std::ptrdiff_t>(m_end));
            m_end = grown.size();
            m_begin = slack;
            m_data = std::move(grown);
        }
        m_data[--m_begin] = p;
    }

    std::vector<TFigPoint> m_data;
    size_t m_begin;
    size_t m_end;
    bool m_reversed = false;
};

// Open figures of the list by the cells their two ends fall in. A cell is
// twice as wide as the reach of the point tolerance, so the points near any
// point lie in at most 2 x 2 cells.
class FigureAssembler::EndpointIndex {
public:
    explicit EndpointIndex(double tolerance)
        // |d| < tolerance means |d| <= reach for whole steps.
        : m_grid(static_cast<int64_t>(std::ceil(tolerance)) - 1)
    {
    }

    void Add(const Chain& c, int32_t pos)
    {
        const uint64_t a = m_grid.KeyOf(c.Front()), b = m_grid.KeyOf(c.Back());
        m_cells.Insert(a, pos);
        if (b != a)
            m_cells.Insert(b, pos);
    }

    void Remove(const Chain& c, int32_t pos)
    {
        const uint64_t a = m_grid.KeyOf(c.Front()), b = m_grid.KeyOf(c.Back());
        m_cells.Erase(a, pos);
        if (b != a)
            m_cells.Erase(b, pos);
    }

    // Calls visit(pos) for every indexed figure with an end in the cells that
    // hold the points near p.
    template <typename Visit>
    void Around(const TFigPoint& p, Visit&& visit) const
    {
        m_grid.Around(p, [&](int64_t cx, int64_t cy) { m_cells.ForEach(GridCells::Key(cx, cy), visit); });
    }

private:
    GridCells m_grid;
    FlatMultiMap m_cells;
};

// One figure of the list. An open figure keeps its points in a chain (it may
// still be joined); a closed one in the figure itself. Absorbed figures leave
// an empty entry behind, so list positions stay as they were.
struct FigureAssembler::Entry {
    std::unique_ptr<tfigura> figure;
    std::unique_ptr<Chain> chain;
    uint64_t hash = 0;
};

namespace {
template <typename Points>
bool OpenEnds(const Points& p, size_t n, double tolerance)
{
    return n > 1 && !(n >= 3 && NearPoint(p[0], p[n - 1], tolerance));
}

uint64_t Mix(uint64_t h, const TFigPoint& p)
{
    const uint64_t v = (static_cast<uint64_t>(static_cast<uint32_t>(p.x)) << 32) | static_cast<uint32_t>(p.y);
    h = (h ^ v) * 0x100000001B3ULL;
    return h ^ (h >> 29);
}

// A hash of a shape from its size and three of its points: enough to tell
// figures apart, and cheap however long a figure grows.
template <typename Points>
uint64_t ShapeHash(const Points& p, size_t n)
{
    uint64_t h = 0xCBF29CE484222325ULL ^ n;
    return Mix(Mix(Mix(h, p[0]), p[n / 2]), p[n - 1]);
}
}  // namespace

FigureAssembler::FigureAssembler(double tolerance, size_t expectedFigures)
    : m_tolerance(tolerance), m_ends(std::make_unique<EndpointIndex>(tolerance)),
      m_shapes(std::make_unique<FlatMultiMap>())
{
    m_list.reserve(expectedFigures);
    m_shapes->Reserve(expectedFigures);
}

FigureAssembler::~FigureAssembler() = default;

std::unique_ptr<FigureAssembler::Chain> FigureAssembler::TakeOut(int32_t pos)
{
    Entry& e = m_list[static_cast<size_t>(pos)];
    m_ends->Remove(*e.chain, pos);
    m_shapes->Erase(e.hash, pos);
    std::unique_ptr<Chain> chain = std::move(e.chain);
    e = Entry();
    return chain;
}

namespace {
// Which end of F touches which end of N, in the order the joints are tried:
// 1 B-C, 2 B-D, 3 A-C, 4 A-D (A, B the ends of N; C, D those of F); 0 none.
int JointOf(const TFigPoint& a, const TFigPoint& b, const TFigPoint& c, const TFigPoint& d, double tolerance)
{
    if (NearPoint(b, c, tolerance)) return 1;
    if (NearPoint(b, d, tolerance)) return 2;
    if (NearPoint(a, c, tolerance)) return 3;
    if (NearPoint(a, d, tolerance)) return 4;
    return 0;
}
}  // namespace

void FigureAssembler::Join(Chain& n)
{
    int64_t passPos = -1;
    bool joinedThisPass = false;
    while (OpenEnds(n, n.Size(), m_tolerance)) {
        int32_t best = -1;
        auto consider = [&](int32_t pos) {
            if (pos <= passPos || (best >= 0 && pos >= best))
                return;
            const Chain* f = m_list[static_cast<size_t>(pos)].chain.get();
            if (f && JointOf(n.Front(), n.Back(), f->Front(), f->Back(), m_tolerance) != 0)
                best = pos;
        };
        m_ends->Around(n.Front(), consider);
        m_ends->Around(n.Back(), consider);
        if (best < 0) {
            if (!joinedThisPass)
                return;
            passPos = -1;  // another pass from the start of the list
            joinedThisPass = false;
            continue;
        }
        std::unique_ptr<Chain> f = TakeOut(best);
        const int joint = JointOf(n.Front(), n.Back(), f->Front(), f->Back(), m_tolerance);
        // F's touching point is dropped, so the joint keeps N's end point:
        // 1: N + F[2..n]   2: N + F[n-1..1]   3: F[n..2] + N   4: F[1..n-1] + N
        if (joint == 2 || joint == 3)
            f->Reverse();
        if (joint <= 2)
            f->PopFront();
        else
            f->PopBack();
        const bool nFirst = joint <= 2;
        // The shorter sequence moves into the longer one.
        if (n.Size() >= f->Size()) {
            if (nFirst)
                for (size_t i = 0; i < f->Size(); ++i)
                    n.PushBack((*f)[i]);
            else
                for (size_t i = f->Size(); i-- > 0;)
                    n.PushFront((*f)[i]);
        } else {
            if (nFirst)
                for (size_t i = n.Size(); i-- > 0;)
                    f->PushFront(n[i]);
            else
                for (size_t i = 0; i < n.Size(); ++i)
                    f->PushBack(n[i]);
            std::swap(n, *f);
        }
        passPos = best;
        joinedThisPass = true;
    }
}

bool FigureAssembler::IsDuplicate(const Chain* chain, const std::vector<TFigPoint>& points, uint64_t hash) const
{
    const size_t n = chain ? chain->Size() : points.size();
    bool duplicate = false;
    m_shapes->ForEach(hash, [&](int32_t pos) {
        if (duplicate)
            return;
        const Entry& e = m_list[static_cast<size_t>(pos)];
        if (!e.figure)
            return;
        const size_t m = e.chain ? e.chain->Size() : e.figure->Points.size();
        if (m != n)
            return;
        for (size_t i = 0; i < n; ++i) {
            const TFigPoint& a = chain ? (*chain)[i] : points[i];
            const TFigPoint& b = e.chain ? (*e.chain)[i] : e.figure->Points[i];
            if (!(a == b))
                return;
        }
        duplicate = true;
    });
    return duplicate;
}

void FigureAssembler::Add(std::unique_ptr<tfigura> figure)
{
    std::unique_ptr<Chain> chain;
    if (OpenEnds(figure->Points, figure->Points.size(), m_tolerance)) {
        chain = std::make_unique<Chain>(std::move(figure->Points));
        figure->Points.clear();
        Join(*chain);
    }
    const std::vector<TFigPoint>& points = figure->Points;
    const uint64_t hash = chain ? ShapeHash(*chain, chain->Size()) : ShapeHash(points, points.size());
    if (IsDuplicate(chain.get(), points, hash))
        return;
    const auto pos = static_cast<int32_t>(m_list.size());
    m_shapes->Insert(hash, pos);
    if (chain && OpenEnds(*chain, chain->Size(), m_tolerance)) {
        m_ends->Add(*chain, pos);
    } else if (chain) {
        figure->Points = chain->Take();  // closed now: it joins nothing more
        chain.reset();
    }
    m_list.push_back(Entry{std::move(figure), std::move(chain), hash});
}

std::vector<std::unique_ptr<tfigura>> FigureAssembler::Finish()
{
    std::vector<std::unique_ptr<tfigura>> out;
    out.reserve(m_list.size());
    for (Entry& e : m_list) {
        if (!e.figure)
            continue;
        if (e.chain)
            e.figure->Points = e.chain->Take();
        out.push_back(std::move(e.figure));
    }
    m_list.clear();
    return out;
}
