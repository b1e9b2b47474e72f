#include "job/planner/SearchEngine.h"

#include "job/Geometry.h"

#include <algorithm>

SearchEngine::SearchEngine(SearchKind kind, bool byDepth, const std::vector<int32_t>& xs, bool everyFigure,
                           const std::vector<int32_t>& ys, Hooks hooks, const std::vector<int32_t>& log,
                           std::vector<int32_t>& minKind)
    : m_kind(kind), m_byDepth(byDepth), m_h(std::move(hooks)), m_log(log), m_everyFigure(everyFigure),
      m_xs(everyFigure ? std::vector<int32_t>() : xs), m_isX(xs.size(), 0), m_active(xs.size(), 0),
      m_leaf(xs.size(), -1), m_openLeaf(xs.size(), -1), m_minKind(minKind)
{
    std::map<int32_t, std::vector<int32_t>> all, open;
    for (int32_t x : xs) {
        if (Connected(x))
            continue;
        m_isX[Slot(x)] = 1;
        m_active[Slot(x)] = 1;
        const int32_t key = m_byDepth ? Fig(x).Depth : 0;
        all[key].push_back(x);
        if (Fig(x).IsOpen)
            open[key].push_back(x);
    }
    for (auto& [depth, items] : all)
        m_all.emplace(depth, Build(std::move(items), false));
    for (auto& [depth, items] : open)
        m_open.emplace(depth, Build(std::move(items), true));
    m_logPos = m_log.size();
    for (int32_t y : ys)
        if (!m_stopped)
            Push(y);
}

SearchEngine::Pair SearchEngine::Best()
{
    if (m_stopped)
        return Pair();
    while (m_logPos < m_log.size()) {
        const int32_t y = m_log[m_logPos++];
        if (Connected(y) && m_h.yEligible(y))
            Push(y);
    }
    while (!m_heap.empty()) {
        const Pair top = m_heap.top();
        if (!Connected(top.x))
            return top;
        m_heap.pop();
        Push(top.y);  // its X was entered meanwhile: the next best
    }
    return Pair();
}

SearchEngine::Tree SearchEngine::Build(std::vector<int32_t> xs, bool open)
{
    Tree t;
    t.items = std::move(xs);
    if (!t.items.empty())
        BuildNode(t, 0, t.items.size(), -1, 0, open);
    return t;
}

int32_t SearchEngine::BuildNode(Tree& t, size_t begin, size_t end, int32_t parent, int depth, bool open)
{
    Box box = Box::Of(Fig(t.items[begin]));
    int32_t minKind = MinKind(t.items[begin]);
    for (size_t i = begin + 1; i < end; ++i) {
        box.Grow(Box::Of(Fig(t.items[i])));
        minKind = std::min(minKind, MinKind(t.items[i]));
    }
    Spend(static_cast<int64_t>(end - begin));
    const auto index = static_cast<int32_t>(t.nodes.size());
    t.nodes.push_back({box, minKind, static_cast<int32_t>(end - begin), parent, -1, -1, begin, end});
    if (end - begin <= 8) {
        for (size_t i = begin; i < end; ++i)
            (open ? m_openLeaf : m_leaf)[Slot(t.items[i])] = index;
        return index;
    }
    const size_t mid = (begin + end) / 2;
    const bool byX = depth % 2 == 0;
    auto centre = [&](int32_t i) {
        const tfigura& f = Fig(i);
        return byX ? static_cast<int64_t>(f.MinX) + f.MaxX : static_cast<int64_t>(f.MinY) + f.MaxY;
    };
    std::nth_element(t.items.begin() + static_cast<std::ptrdiff_t>(begin),
                     t.items.begin() + static_cast<std::ptrdiff_t>(mid),
                     t.items.begin() + static_cast<std::ptrdiff_t>(end),
                     [&](int32_t a, int32_t b) { return centre(a) < centre(b); });
    const int32_t l = BuildNode(t, begin, mid, index, depth + 1, open);
    const int32_t r = BuildNode(t, mid, end, index, depth + 1, open);
    t.nodes[static_cast<size_t>(index)].left = l;
    t.nodes[static_cast<size_t>(index)].right = r;
    return index;
}

// The small steps marked inline run for every pair and every node a search
// looks at.
inline void SearchEngine::Deactivate(Tree& t, int32_t leaf)
{
    for (int32_t ni = leaf; ni >= 0; ni = t.nodes[static_cast<size_t>(ni)].parent)
        --t.nodes[static_cast<size_t>(ni)].active;
}

// The lightest weight factor (tenths) any vertex of the figure can give a
// pair: its smallest kind among the vertices that may be entered, and 10
// (no weighting) for the others.
int32_t SearchEngine::MinKind(int32_t i)
{
    const auto at = static_cast<size_t>(i);
    if (at < m_minKind.size() && m_minKind[at] >= 0)
        return m_minKind[at];
    int32_t k = 10;
    for (const TFigVertexInfo& v : Fig(i).VertexInfo)
        k = std::min(k, v.EntryAllowed ? std::max(0, v.Kind) : 10);
    if (at < m_minKind.size())
        m_minKind[at] = k;
    return k;
}

// No pair of figures in the boxes a and b, with the lightest weights ka and
// kb, can weigh less than this.
inline int64_t SearchEngine::LowerBound(const Box& a, int32_t ka, const Box& b, int32_t kb) const
{
    switch (m_kind) {
    case SearchKind::Nearest:
        return MulSat(MulSat(Box::Gap2(a, b), ka), kb);
    case SearchKind::Children:
        // Each weighting floors once, so the product may lose up to 2.
        return std::max<int64_t>(0, MulSat(MulSat(Box::Gap2(a, b, 3), ka), kb) / 100 - 2);
    case SearchKind::ChildrenNearest:
        break;
    case SearchKind::Any:
        return std::max<int64_t>(0, MulSat(MulSat(Box::Gap2(a, b), ka), kb) / 100 - 2);
    }
    return std::max<int64_t>(0, Box::Gap2(a, b) / 4 - 2);
}

// The vertices of figure i the search pairs, in scan order.
void SearchEngine::Gather(int32_t i, bool isX, std::vector<Vertex>& out) const
{
    const tfigura& f = Fig(i);
    out.clear();
    const auto n = static_cast<int32_t>(f.Points.size());
    const bool strided = m_kind == SearchKind::Children || m_kind == SearchKind::Any;
    const int32_t stride = strided ? PlainPlanner::Stride(f.Points.size()) : 1;
    const bool shift = m_kind == SearchKind::Children;
    for (int32_t v = !isX && m_kind == SearchKind::ChildrenNearest ? 1 : 0; v < n; v += stride) {
        const TFigVertexInfo& info = f.VertexInfo[static_cast<size_t>(v)];
        if (!strided && !info.EntryAllowed)
            continue;
        const TFigPoint& p = f.Points[static_cast<size_t>(v)];
        out.push_back({shift ? PlainPlanner::Shifted(p, f.Depth, isX ? 2 : 1) : p, info.Kind, v, info.EntryAllowed != 0});
    }
}

// The weight of a pair. Plain: no product can pass 2^63, so plain
// arithmetic gives what the saturating one does.
template <SearchKind K, bool Plain>
inline int64_t SearchEngine::Weigh(const Vertex& a, const Vertex& b)
{
    constexpr auto product = [](int64_t p, int64_t q) { return Plain ? p * q : MulSat(p, q); };
    int64_t d2;
    if constexpr (Plain) {
        const int64_t dx = static_cast<int64_t>(a.p.x) - b.p.x, dy = static_cast<int64_t>(a.p.y) - b.p.y;
        d2 = dx * dx + dy * dy;
    } else {
        d2 = DistanceSqr(a.p, b.p);
    }
    if constexpr (K == SearchKind::ChildrenNearest)
        return PlainPlanner::HalvedBy(product, d2);
    else if constexpr (K == SearchKind::Nearest)
        return product(product(d2, a.kind), b.kind);
    else
        return PlainPlanner::WeightedBy(product, d2, a.kind, a.allowed, b.kind, b.allowed);
}

template <SearchKind K, bool Plain>
inline SearchEngine::Pair SearchEngine::BestOf(int32_t xi, int32_t yi) const
{
    Pair best;
    for (const Vertex& a : m_xVertices)
        for (const Vertex& b : m_yVertices)
            if (const int64_t w = Weigh<K, Plain>(a, b); w < best.w)
                best = {w, xi, yi, a.index, b.index};
    return best;
}

template <SearchKind K>
inline SearchEngine::Pair SearchEngine::BestOf(int32_t xi, int32_t yi, bool plain) const
{
    return plain ? BestOf<K, true>(xi, yi) : BestOf<K, false>(xi, yi);
}

// The best vertex pair of X and Y in the scan order of the search.
SearchEngine::Pair SearchEngine::Eval(int32_t xi, int32_t yi) const
{
    Gather(xi, true, m_xVertices);
    if (m_yVerticesOf != yi) {
        Gather(yi, false, m_yVertices);
        m_yVerticesOf = yi;
    }
    // Points within 2^27 steps of each other and factors of at most 10
    // keep every product below 2^62.
    int64_t minX = INT64_MAX, minY = INT64_MAX, maxX = INT64_MIN, maxY = INT64_MIN;
    bool plain = true;
    for (const auto* list : {&m_xVertices, &m_yVertices})
        for (const Vertex& v : *list) {
            minX = std::min<int64_t>(minX, v.p.x);
            maxX = std::max<int64_t>(maxX, v.p.x);
            minY = std::min<int64_t>(minY, v.p.y);
            maxY = std::max<int64_t>(maxY, v.p.y);
            plain = plain && v.kind >= -10 && v.kind <= 10;
        }
    plain = plain && maxX - minX < (int64_t{1} << 27) && maxY - minY < (int64_t{1} << 27);
    switch (m_kind) {
    case SearchKind::Children:
        return BestOf<SearchKind::Children>(xi, yi, plain);
    case SearchKind::ChildrenNearest:
        return BestOf<SearchKind::ChildrenNearest>(xi, yi, plain);
    case SearchKind::Nearest:
        return BestOf<SearchKind::Nearest>(xi, yi, plain);
    case SearchKind::Any:
        break;
    }
    return BestOf<SearchKind::Any>(xi, yi, plain);
}

// Whether X is still to be entered; an X found entered leaves the trees.
inline bool SearchEngine::StillOpen(int32_t x)
{
    const size_t slot = Slot(x);
    if (!m_active[slot])
        return false;
    if (!Connected(x))
        return true;
    m_active[slot] = 0;
    const int32_t key = m_byDepth ? Fig(x).Depth : 0;
    Deactivate(m_all.at(key), m_leaf[slot]);
    if (m_openLeaf[slot] >= 0)
        Deactivate(m_open.at(key), m_openLeaf[slot]);
    return false;
}

void SearchEngine::Consider(int32_t xi, int32_t yi, const Box& yBox, int32_t yKind, Pair& best)
{
    if (m_stopped || !StillOpen(xi) || !m_h.allowed(xi, yi))
        return;
    if (LowerBound(Box::Of(Fig(xi)), MinKind(xi), yBox, yKind) > best.w)
        return;
    const size_t nx = Fig(xi).Points.size(), ny = Fig(yi).Points.size();
    Spend(1 + static_cast<int64_t>(nx / PlainPlanner::Stride(nx) * (ny / PlainPlanner::Stride(ny))));
    const Pair p = Eval(xi, yi);
    if (p.Valid() && p < best)
        best = p;
}

// The best X of the trees for Y, nearest boxes first; a box that can't beat
// the best found so far is not opened.
void SearchEngine::Search(std::map<int32_t, Tree>& trees, int32_t yi, const Box& yBox, int32_t yKind, Pair& best)
{
    using Item = std::pair<int64_t, std::pair<Tree*, int32_t>>;
    std::priority_queue<Item, std::vector<Item>, std::greater<>> queue;
    const int32_t minDepth = m_byDepth ? Fig(yi).Depth : INT32_MIN;
    for (auto it = trees.lower_bound(minDepth); it != trees.end(); ++it)
        if (!it->second.nodes.empty())
            queue.push({LowerBound(it->second.nodes[0].box, it->second.nodes[0].minKind, yBox, yKind),
                        {&it->second, 0}});
    while (!queue.empty() && Spend(1)) {
        const auto [lb, where] = queue.top();
        queue.pop();
        if (lb > best.w)
            break;
        Tree& t = *where.first;
        const Node& n = t.nodes[static_cast<size_t>(where.second)];
        if (n.active <= 0)
            continue;
        if (n.left < 0) {
            for (size_t i = n.begin; i < n.end; ++i)
                Consider(t.items[i], yi, yBox, yKind, best);
            continue;
        }
        for (int32_t c : {n.left, n.right}) {
            const Node& child = t.nodes[static_cast<size_t>(c)];
            queue.push({LowerBound(child.box, child.minKind, yBox, yKind), {&t, c}});
        }
    }
}

void SearchEngine::Push(int32_t yi)
{
    m_yVerticesOf = -1;  // gathered again for this partner
    const tfigura& y = Fig(yi);
    const Box yBox = Box::Of(y);
    const int32_t yKind = MinKind(yi);
    Pair best;
    const bool listed = m_kind == SearchKind::Nearest || m_kind == SearchKind::ChildrenNearest;
    if (listed && !y.IsOpen) {
        // A closed partner reaches the figures of its list, and every open one.
        for (int32_t x : y.Nearest)
            if (x >= 0 && IsX(x))
                Consider(x, yi, yBox, yKind, best);
        Search(m_open, yi, yBox, yKind, best);
    } else {
        Search(m_all, yi, yBox, yKind, best);
    }
    Spend(0, true);
    if (best.Valid() && !m_stopped)
        m_heap.push(best);
}

// Where the engine keeps what it knows of figure x (one of its xs).
inline size_t SearchEngine::Slot(int32_t x) const
{
    if (m_everyFigure)
        return static_cast<size_t>(x);
    return static_cast<size_t>(std::lower_bound(m_xs.begin(), m_xs.end(), x) - m_xs.begin());
}

inline bool SearchEngine::IsX(int32_t x) const
{
    if (m_everyFigure)
        return static_cast<size_t>(x) < m_isX.size() && m_isX[static_cast<size_t>(x)];
    const auto it = std::lower_bound(m_xs.begin(), m_xs.end(), x);
    return it != m_xs.end() && *it == x && m_isX[static_cast<size_t>(it - m_xs.begin())];
}

// Work done, told to the planner a few thousand units at a time; false
// once the planning is cancelled.
inline bool SearchEngine::Spend(int64_t units, bool flush)
{
    m_pending += units;
    if ((m_pending >= 4096 || (flush && m_pending > 0)) && !m_stopped) {
        m_stopped = !m_h.work(m_pending);
        m_pending = 0;
    }
    return !m_stopped;
}
