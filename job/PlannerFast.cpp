// The planner's searches answered through indexes: the answers are the ones
// the plain scans over every pair would give, without scanning every pair.
#include "app/MathUtil.h"
#include "job/Blocks.h"
#include "job/Geometry.h"
#include "job/Job.h"
#include "job/Planner.h"
#include "job/Spatial.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <memory>
#include <queue>
#include <set>
#include <unordered_map>
#include <utility>

namespace {
using Pair = PlainPlanner::Pair;

// Whole-step reach of a tolerance compared with <=.
int64_t Reach(double tolerance) { return std::max<int64_t>(0, static_cast<int64_t>(std::floor(tolerance))); }

// Centres of figures, for the figures nearest a point among those whose depth
// lies in a range and whose container is not a given one (what the tree needs
// of a figure is kept in it). Nearness is the distance rounded to a whole
// step, ties going to the lower index, so a node whose least index loses the
// tie is not opened: thousands of figures around one centre cost a search no
// more than a few do.
class CentreTree {
public:
    struct Item {
        int64_t x, y;
        int32_t id;
        int32_t depth;
        int32_t container;
    };

    // spend: told the work of the build as it goes.
    CentreTree(std::vector<Item> items, const std::function<bool(int64_t)>& spend) : m_items(std::move(items))
    {
        if (!m_items.empty())
            Build(0, m_items.size(), 0, spend);
        int32_t ids = 0;
        for (const Item& it : m_items)
            ids = std::max(ids, it.id + 1);
        m_slot.assign(static_cast<size_t>(ids), 0);
        for (size_t i = 0; i < m_items.size(); ++i)
            m_slot[static_cast<size_t>(m_items[i].id)] = i;
    }

    // What one search keeps while it runs; one for each thread that searches.
    class Query {
    public:
        explicit Query(const CentreTree& tree) : offered(tree.m_slot.size(), 0) {}

    private:
        friend class CentreTree;
        std::vector<std::pair<int64_t, int32_t>> best;  // a heap, the worst on top
        double far = 0;
        std::vector<uint32_t> offered;  // the search that took each id into its best
        uint32_t search = 0;
    };

    struct Filter {
        int32_t lo, hi;       // depths
        int32_t notInside;    // a container
        bool Pass(const Item& it) const { return it.depth >= lo && it.depth <= hi && it.container != notInside; }
    };

    // The distance of two centres rounded to a whole step.
    static int64_t Rounded(int64_t ax, int64_t ay, int64_t bx, int64_t by)
    {
        const double dx = static_cast<double>(ax) - static_cast<double>(bx), dy = static_cast<double>(ay) - static_cast<double>(by);
        return RoundToInt64Sat(std::sqrt(dx * dx + dy * dy));
    }

    // The k items nearest to (x, y) that pass the filter, as (rounded
    // distance, id), nearest first and by id among equals. Counts the nodes
    // opened in `visited`. The ids of `near` (say the answer for a point
    // close by) are tried first: the search then starts with a tight bound.
    void NearestRanked(Query& q, int64_t x, int64_t y, size_t k, const Filter& pass,
                       std::vector<std::pair<int64_t, int32_t>>& out, int64_t& visited,
                       const std::vector<std::pair<int64_t, int32_t>>& near = {}) const
    {
        q.best.clear();
        if (++q.search == 0) {
            std::fill(q.offered.begin(), q.offered.end(), 0);
            q.search = 1;
        }
        if (!m_items.empty() && k > 0) {
            for (const auto& [d, id] : near)
                if (const Item& it = m_items[m_slot[static_cast<size_t>(id)]]; pass.Pass(it))
                    Offer(q, it, x, y, k);
            Search(q, 0, x, y, k, pass, visited);
        }
        std::sort_heap(q.best.begin(), q.best.end());
        out.assign(q.best.begin(), q.best.end());
    }

    // The items in the order the tree keeps them: near each other in turn.
    const std::vector<Item>& Items() const { return m_items; }

private:
    struct Node {
        size_t begin, end;
        int64_t minX, minY, maxX, maxY;
        int32_t minDepth, maxDepth, minId;
        int32_t left = -1, right = -1;
    };

    static bool Outside(const Node& n, const Filter& f) { return n.maxDepth < f.lo || n.minDepth > f.hi; }

    // The squared distance of (x, y) from the node's box, as the rounding
    // sees it (in doubles).
    static double BoxSquare(const Node& n, int64_t x, int64_t y)
    {
        const int64_t bx = x < n.minX ? n.minX : x > n.maxX ? n.maxX : x;
        const int64_t by = y < n.minY ? n.minY : y > n.maxY ? n.maxY : y;
        const double dx = static_cast<double>(bx) - static_cast<double>(x), dy = static_cast<double>(by) - static_cast<double>(y);
        return dx * dx + dy * dy;
    }

    int32_t Build(size_t begin, size_t end, int depth, const std::function<bool(int64_t)>& spend)
    {
        spend(static_cast<int64_t>(end - begin));
        Node n{begin, end, INT64_MAX, INT64_MAX, INT64_MIN, INT64_MIN, INT32_MAX, INT32_MIN, INT32_MAX};
        for (size_t i = begin; i < end; ++i) {
            n.minDepth = std::min(n.minDepth, m_items[i].depth);
            n.maxDepth = std::max(n.maxDepth, m_items[i].depth);
            n.minId = std::min(n.minId, m_items[i].id);
            n.minX = std::min(n.minX, m_items[i].x);
            n.minY = std::min(n.minY, m_items[i].y);
            n.maxX = std::max(n.maxX, m_items[i].x);
            n.maxY = std::max(n.maxY, m_items[i].y);
        }
        const auto index = static_cast<int32_t>(m_nodes.size());
        m_nodes.push_back(n);
        if (end - begin > 8) {
            const size_t mid = (begin + end) / 2;
            const bool byX = depth % 2 == 0;
            // Equal centres are split by index, so each half keeps its least.
            std::nth_element(m_items.begin() + static_cast<std::ptrdiff_t>(begin),
                             m_items.begin() + static_cast<std::ptrdiff_t>(mid),
                             m_items.begin() + static_cast<std::ptrdiff_t>(end), [byX](const Item& a, const Item& b) {
                                 const int64_t ka = byX ? a.x : a.y, kb = byX ? b.x : b.y;
                                 return ka != kb ? ka < kb : a.id < b.id;
                             });
            const int32_t l = Build(begin, mid, depth + 1, spend);
            const int32_t r = Build(mid, end, depth + 1, spend);
            m_nodes[static_cast<size_t>(index)].left = l;
            m_nodes[static_cast<size_t>(index)].right = r;
        }
        return index;
    }

    // q.best is a heap of the best found so far, the worst on top. Once it
    // is full, a squared distance above q.far rounds to more than the worst
    // (a margin of two steps keeps the doubles' error out), so no square
    // root is taken for it.
    static bool Loses(const Query& q, double square, int32_t minId, size_t k)
    {
        if (q.best.size() < k)
            return false;
        if (square > q.far)
            return true;
        const auto& worst = q.best.front();
        const int64_t bound = RoundToInt64Sat(std::sqrt(square));
        return bound > worst.first || (bound == worst.first && minId > worst.second);
    }

    // The item into the best found so far, if it is better than their worst
    // and not among them already.
    static void Offer(Query& q, const Item& it, int64_t x, int64_t y, size_t k)
    {
        uint32_t& offered = q.offered[static_cast<size_t>(it.id)];
        if (offered == q.search)
            return;
        const double dx = static_cast<double>(it.x) - static_cast<double>(x), dy = static_cast<double>(it.y) - static_cast<double>(y);
        const double square = dx * dx + dy * dy;
        if (q.best.size() == k && square > q.far)
            return;
        const std::pair<int64_t, int32_t> e{RoundToInt64Sat(std::sqrt(square)), it.id};
        if (q.best.size() < k) {
            q.best.push_back(e);
            std::push_heap(q.best.begin(), q.best.end());
        } else if (e < q.best.front()) {
            std::pop_heap(q.best.begin(), q.best.end());
            q.best.back() = e;
            std::push_heap(q.best.begin(), q.best.end());
        } else {
            return;
        }
        // Once out of the best, it could not come back in: their worst only
        // gets better.
        offered = q.search;
        if (q.best.size() == k) {
            const double far = static_cast<double>(q.best.front().first) + 2;
            q.far = far * far;
        }
    }

    void Search(Query& q, int32_t ni, int64_t x, int64_t y, size_t k, const Filter& pass, int64_t& visited) const
    {
        const Node& n = m_nodes[static_cast<size_t>(ni)];
        ++visited;
        if (Outside(n, pass) || Loses(q, BoxSquare(n, x, y), n.minId, k))
            return;
        if (n.left < 0) {
            for (size_t i = n.begin; i < n.end; ++i)
                if (pass.Pass(m_items[i]))
                    Offer(q, m_items[i], x, y, k);
            return;
        }
        const Node& l = m_nodes[static_cast<size_t>(n.left)];
        const Node& r = m_nodes[static_cast<size_t>(n.right)];
        const double bl = BoxSquare(l, x, y), br = BoxSquare(r, x, y);
        const bool leftFirst = bl != br ? bl < br : l.minId <= r.minId;
        Search(q, leftFirst ? n.left : n.right, x, y, k, pass, visited);
        Search(q, leftFirst ? n.right : n.left, x, y, k, pass, visited);
    }

    std::vector<Item> m_items;
    std::vector<Node> m_nodes;
    std::vector<size_t> m_slot;  // where each id's item is
};
}  // namespace

// ---------------------------------------------------------------------------
// The searches for connectors. Every partner Y already connected keeps the best
// figure X it could enter (with the vertices): the best of all of them is the
// pair the plain scan would find first. The weights of a pair never change
// while the planner runs, and figures only ever leave the set still to be
// entered, so a partner's best needs a new search only when its X has been
// entered meanwhile.
// ---------------------------------------------------------------------------
namespace {
enum class SearchKind { Children, ChildrenNearest, Nearest, Any };
}

class SearchEngine {
public:
    using Figures = std::vector<std::unique_ptr<tfigura>>;
    struct Hooks {
        const Figures* figures;                         // the job's list
        std::function<bool(int32_t, int32_t)> allowed;  // the pair filter of the search
        std::function<bool(int32_t)> yEligible;         // Y apart from being connected
        std::function<bool(int64_t)> work;              // work done; false: cancelled
    };

    // xs: the figures the search may enter, ascending (every figure of the
    // job, or the children of one container: what the engine keeps for each
    // is sized by them); ys: the partners connected already. byDepth: X is
    // never shallower than its partner, so the figures to enter are kept by
    // depth and a partner looks only at its depth and deeper. minKind: the
    // figures' lightest weights, kept from engine to engine (-1: not known yet).
    SearchEngine(SearchKind kind, bool byDepth, const std::vector<int32_t>& xs, bool everyFigure,
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

    Pair Best()
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

private:
    struct Node {
        Box box;
        int32_t minKind;  // the lightest vertex weight in the subtree, in tenths
        int32_t active;   // figures in the subtree still to be entered
        int32_t parent, left, right;
        size_t begin, end;
    };
    struct Tree {
        std::vector<int32_t> items;
        std::vector<Node> nodes;
    };

    const tfigura& Fig(int32_t i) const { return *(*m_h.figures)[static_cast<size_t>(i)]; }
    bool Connected(int32_t i) const { return Fig(i).NotConnected == 0; }

    Tree Build(std::vector<int32_t> xs, bool open)
    {
        Tree t;
        t.items = std::move(xs);
        if (!t.items.empty())
            BuildNode(t, 0, t.items.size(), -1, 0, open);
        return t;
    }

    int32_t BuildNode(Tree& t, size_t begin, size_t end, int32_t parent, int depth, bool open)
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

    static void Deactivate(Tree& t, int32_t leaf)
    {
        for (int32_t ni = leaf; ni >= 0; ni = t.nodes[static_cast<size_t>(ni)].parent)
            --t.nodes[static_cast<size_t>(ni)].active;
    }

    // The lightest weight factor (tenths) any vertex of the figure can give a
    // pair: its smallest kind among the vertices that may be entered, and 10
    // (no weighting) for the others.
    int32_t MinKind(int32_t i)
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
    int64_t LowerBound(const Box& a, int32_t ka, const Box& b, int32_t kb) const
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

    // A vertex as the search pairs it: its point (shifted where the search
    // shifts it), its kind, whether it may be entered and its place.
    struct Vertex {
        TFigPoint p;
        int32_t kind, index;
        bool allowed;
    };

    // The vertices of figure i the search pairs, in scan order.
    void Gather(int32_t i, bool isX, std::vector<Vertex>& out) const
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
    static int64_t Weigh(const Vertex& a, const Vertex& b)
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
    Pair BestOf(int32_t xi, int32_t yi) const
    {
        Pair best;
        for (const Vertex& a : m_xVertices)
            for (const Vertex& b : m_yVertices)
                if (const int64_t w = Weigh<K, Plain>(a, b); w < best.w)
                    best = {w, xi, yi, a.index, b.index};
        return best;
    }

    template <SearchKind K>
    Pair BestOf(int32_t xi, int32_t yi, bool plain) const
    {
        return plain ? BestOf<K, true>(xi, yi) : BestOf<K, false>(xi, yi);
    }

    // The best vertex pair of X and Y in the scan order of the search.
    Pair Eval(int32_t xi, int32_t yi) const
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
    bool StillOpen(int32_t x)
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

    void Consider(int32_t xi, int32_t yi, const Box& yBox, int32_t yKind, Pair& best)
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
    void Search(std::map<int32_t, Tree>& trees, int32_t yi, const Box& yBox, int32_t yKind, Pair& best)
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

    void Push(int32_t yi)
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
    size_t Slot(int32_t x) const
    {
        if (m_everyFigure)
            return static_cast<size_t>(x);
        return static_cast<size_t>(std::lower_bound(m_xs.begin(), m_xs.end(), x) - m_xs.begin());
    }
    bool IsX(int32_t x) const
    {
        if (m_everyFigure)
            return static_cast<size_t>(x) < m_isX.size() && m_isX[static_cast<size_t>(x)];
        const auto it = std::lower_bound(m_xs.begin(), m_xs.end(), x);
        return it != m_xs.end() && *it == x && m_isX[static_cast<size_t>(it - m_xs.begin())];
    }

    // Work done, told to the planner a few thousand units at a time; false
    // once the planning is cancelled.
    bool Spend(int64_t units, bool flush = false)
    {
        m_pending += units;
        if ((m_pending >= 4096 || (flush && m_pending > 0)) && !m_stopped) {
            m_stopped = !m_h.work(m_pending);
            m_pending = 0;
        }
        return !m_stopped;
    }

    SearchKind m_kind;
    bool m_byDepth;
    Hooks m_h;
    const std::vector<int32_t>& m_log;
    size_t m_logPos = 0;
    bool m_everyFigure;
    std::vector<int32_t> m_xs;         // the figures to enter (unless every figure)
    std::vector<uint8_t> m_isX;        // by slot: to be entered when the engine began
    std::vector<uint8_t> m_active;     // and not yet seen entered
    std::vector<int32_t> m_leaf;       // leaf of each X in its tree of all figures
    std::vector<int32_t> m_openLeaf;   // and in its tree of open figures
    std::vector<int32_t>& m_minKind;   // MinKind of each figure, -1 until asked
    mutable std::vector<Vertex> m_xVertices, m_yVertices;  // of the pair weighed last
    mutable int32_t m_yVerticesOf = -1;
    int64_t m_pending = 0;
    bool m_stopped = false;
    std::map<int32_t, Tree> m_all, m_open;
    std::priority_queue<Pair, std::vector<Pair>, std::greater<>> m_heap;
};

// ---------------------------------------------------------------------------
// What the program's searches keep between calls during one run.
// ---------------------------------------------------------------------------
class PlannerEngines {
public:
    // Every vertex of the job, for "which figures touch here"; figures the
    // planner adds join it when they are first asked about.
    std::unique_ptr<VertexGrid> vertices;
    int32_t figuresInGrid = 0;
    std::vector<std::vector<int32_t>> children;  // drawn figures by container, from the analysis
    int32_t engineContainer = -1;
    SearchKind engineKind = SearchKind::Any;
    std::unique_ptr<SearchEngine> containerEngine;
    std::unique_ptr<SearchEngine> nearest;
    std::unique_ptr<SearchEngine> any;
    std::vector<int32_t> minKind;  // the lightest vertex weight of each figure, -1 until asked
};

PlainPlanner::PlainPlanner(TJob& job, int mode, bool addFrame)
    : m_job(job), m_figures(&job.FigureList), m_mode(mode), m_addFrame(addFrame)
{
}

PlainPlanner::~PlainPlanner() = default;

void PlainPlanner::ResetEngines() { m_engines.reset(); }

namespace {
PlannerEngines& EnginesOf(std::unique_ptr<PlannerEngines>& e)
{
    if (!e)
        e = std::make_unique<PlannerEngines>();
    return *e;
}

// The boxes of the closed figures in a tree of boxes: a node's box holds all
// its figures' boxes, so a subtree whose box does not hold a given box can't
// hold a figure whose box holds it. Parts lying in a row, a column or a grid,
// or overlapping in a heap, are then found in logarithmic time. Each node also
// knows the least and greatest index of its figures, the greatest depth any of
// them may have (never less than the true one) and how many of them have not
// yet reached the highest child count, so the analysis opens only the subtrees
// that can hold the container it looks for.
class ContainerTree {
public:
    // spend: told the work of the build as it goes.
    ContainerTree(std::vector<std::pair<Box, int32_t>> items, int32_t figures, const std::function<bool(int64_t)>& spend)
        : m_items(std::move(items)), m_leafOf(static_cast<size_t>(figures), -1)
    {
        if (!m_items.empty())
            Build(0, m_items.size(), -1, 0, spend);
    }

    // Nodes the searches of the containment may still open before they give
    // up as if stopped; Exhausted tells that apart from a cancel.
    void SetBudget(int64_t nodes) { m_budget = nodes; }
    bool Exhausted() const { return m_budget < 0; }

    // The figure may now be as deep as `depth` (depths only grow).
    void Raise(int32_t id, int32_t depth)
    {
        for (int32_t n = m_leafOf[static_cast<size_t>(id)]; n >= 0 && m_nodes[static_cast<size_t>(n)].maxDepth < depth;
             n = m_nodes[static_cast<size_t>(n)].parent)
            m_nodes[static_cast<size_t>(n)].maxDepth = depth;
    }

    // The figure has reached the highest child count.
    void Saturated(int32_t id)
    {
        for (int32_t n = m_leafOf[static_cast<size_t>(id)]; n >= 0; n = m_nodes[static_cast<size_t>(n)].parent)
            --m_nodes[static_cast<size_t>(n)].unsaturated;
    }

    // Every figure's depth known exactly: the nodes take the greatest of theirs.
    void SetDepths(const std::vector<int32_t>& depth)
    {
        for (size_t k = m_nodes.size(); k-- > 0;) {
            Node& n = m_nodes[k];
            n.maxDepth = 0;
            if (n.left < 0) {
                for (size_t i = n.begin; i < n.end; ++i)
                    n.maxDepth = std::max(n.maxDepth, depth[static_cast<size_t>(m_items[i].second)]);
            } else {
                n.maxDepth = std::max(m_nodes[static_cast<size_t>(n.left)].maxDepth, m_nodes[static_cast<size_t>(n.right)].maxDepth);
            }
        }
    }

    // What a search asks of the analysis: the figure's depth now, whether the
    // figure looked at lies inside it, whether its child count is still below
    // the highest, and work done (false: cancelled).
    template <typename DepthOf, typename Inside, typename Unsaturated, typename Spend>
    struct Ask {
        DepthOf depthOf;
        Inside inside;
        Unsaturated unsaturated;
        Spend spend;
    };

    // The deepest figure of index below `below` and depth above `above` that
    // holds the figure of box b (the first in list order of the deepest), or
    // -1. Nodes are opened deepest first, then by least index.
    template <typename A>
    int32_t Deepest(const Box& b, int32_t below, int32_t above, A& ask, bool& stopped)
    {
        int32_t best = -1, bestDepth = above;
        auto worse = [&](int32_t depth, int32_t index) {
            return depth < bestDepth || (depth == bestDepth && (best < 0 || index > best));
        };
        m_queue.clear();
        auto push = [&](int32_t ni) {
            const Node& n = m_nodes[static_cast<size_t>(ni)];
            if (n.minIndex >= below || n.maxDepth <= above || !Holds(n.box, b))
                return;
            m_queue.push_back({n.maxDepth, n.minIndex, ni});
            std::push_heap(m_queue.begin(), m_queue.end(), DeepFirst);
        };
        if (!m_nodes.empty())
            push(0);
        while (!m_queue.empty()) {
            const Open o = Next(DeepFirst);
            if (!Charge(ask, kNodeCost, stopped, true))
                return -1;
            if (best >= 0 && (o.depth < bestDepth || (o.depth == bestDepth && o.index >= best)))
                break;
            const Node& n = m_nodes[static_cast<size_t>(o.node)];
            if (n.left >= 0) {
                push(n.left);
                push(n.right);
                continue;
            }
            for (size_t i = n.begin; i < n.end; ++i) {
                const int32_t j = m_items[i].second;
                if (j >= below || !StrictlyHolds(m_items[i].first, b))
                    continue;
                const int32_t d = ask.depthOf(j);
                if (d <= above || (best >= 0 && worse(d, j)))
                    continue;
                const bool in = ask.inside(j);
                if (!Charge(ask, 0, stopped))
                    return -1;
                if (in) {
                    best = j;
                    bestDepth = d;
                }
            }
        }
        return best;
    }

    // Every figure whose box holds the box b strictly (the box rule of the
    // inside test), in `out`, when there are at most `most` of them; false
    // (and `out` incomplete) when there are more.
    template <typename A>
    bool FewHolders(const Box& b, size_t most, std::vector<int32_t>& out, A& ask, bool& stopped, int32_t below = INT32_MAX)
    {
        out.clear();
        m_stack.clear();
        if (!m_nodes.empty())
            m_stack.push_back(0);
        while (!m_stack.empty()) {
            const Node& n = m_nodes[static_cast<size_t>(m_stack.back())];
            m_stack.pop_back();
            if (!Charge(ask, kNodeCost, stopped))
                return false;
            if (n.minIndex >= below || !Holds(n.box, b))
                continue;
            if (n.left >= 0) {
                m_stack.push_back(n.right);
                m_stack.push_back(n.left);
                continue;
            }
            for (size_t i = n.begin; i < n.end; ++i)
                if (m_items[i].second < below && StrictlyHolds(m_items[i].first, b)) {
                    if (out.size() == most)
                        return false;
                    out.push_back(m_items[i].second);
                }
        }
        return true;
    }

    // Whether a figure of index below `below`, depth above `above` and child
    // count below the highest holds the figure of box b.
    template <typename A>
    bool AnyUnsaturated(const Box& b, int32_t below, int32_t above, A& ask, bool& stopped)
    {
        m_stack.clear();
        if (!m_nodes.empty())
            m_stack.push_back(0);
        while (!m_stack.empty()) {
            const Node& n = m_nodes[static_cast<size_t>(m_stack.back())];
            m_stack.pop_back();
            if (!Charge(ask, kNodeCost, stopped, true))
                return false;
            if (n.unsaturated <= 0 || n.minIndex >= below || n.maxDepth <= above || !Holds(n.box, b))
                continue;
            if (n.left >= 0) {
                m_stack.push_back(n.right);
                m_stack.push_back(n.left);
                continue;
            }
            for (size_t i = n.begin; i < n.end; ++i) {
                const int32_t j = m_items[i].second;
                if (j < below && StrictlyHolds(m_items[i].first, b) && ask.unsaturated(j) && ask.depthOf(j) > above &&
                    ask.inside(j))
                    return true;
            }
        }
        return false;
    }

    // The first figure in list order after `after` that holds the figure of
    // box b, or -1. Nodes are opened by the least index they may hold.
    template <typename A>
    int32_t FirstAfter(const Box& b, int32_t after, A& ask, bool& stopped)
    {
        int32_t best = -1;
        m_queue.clear();
        auto push = [&](int32_t ni) {
            const Node& n = m_nodes[static_cast<size_t>(ni)];
            if (n.maxIndex <= after || !Holds(n.box, b))
                return;
            m_queue.push_back({0, std::max(n.minIndex, after + 1), ni});
            std::push_heap(m_queue.begin(), m_queue.end(), LeastFirst);
        };
        if (!m_nodes.empty())
            push(0);
        while (!m_queue.empty()) {
            const Open o = Next(LeastFirst);
            if (!Charge(ask, kNodeCost, stopped))
                return -1;
            if (best >= 0 && o.index >= best)
                break;
            const Node& n = m_nodes[static_cast<size_t>(o.node)];
            if (n.left >= 0) {
                push(n.left);
                push(n.right);
                continue;
            }
            for (size_t i = n.begin; i < n.end; ++i) {
                const int32_t j = m_items[i].second;
                if (j <= after || (best >= 0 && j >= best) || !StrictlyHolds(m_items[i].first, b))
                    continue;
                const bool in = ask.inside(j);
                if (!Charge(ask, 0, stopped))
                    return -1;
                if (in)
                    best = j;
            }
        }
        return best;
    }

private:
    // What opening a node costs, in the planner's units of work.
    static constexpr int64_t kNodeCost = 4;

    struct Node {
        Box box;
        size_t begin, end;
        int32_t minIndex, maxIndex, maxDepth, unsaturated;
        int32_t parent, left = -1, right = -1;
    };
    struct Open {
        int32_t depth, index, node;
    };
    // Heap orders: the top is the node to open next.
    static bool DeepFirst(const Open& a, const Open& b) { return a.depth != b.depth ? a.depth < b.depth : a.index > b.index; }
    static bool LeastFirst(const Open& a, const Open& b) { return a.index > b.index; }
    template <typename Order>
    Open Next(Order order)
    {
        std::pop_heap(m_queue.begin(), m_queue.end(), order);
        const Open o = m_queue.back();
        m_queue.pop_back();
        return o;
    }
    // Work done for a walk, and a node off the budget where `budgeted`;
    // false (and stopped) when the planning is cancelled or the budget spent.
    template <typename A>
    bool Charge(A& ask, int64_t units, bool& stopped, bool budgeted = false)
    {
        if ((budgeted && --m_budget < 0) || !ask.spend(units)) {
            stopped = true;
            return false;
        }
        return true;
    }

    static bool Holds(const Box& outer, const Box& inner)
    {
        return outer.minX <= inner.minX && inner.maxX <= outer.maxX && outer.minY <= inner.minY &&
               inner.maxY <= outer.maxY;
    }
    // The box rule of the inside test: strictly inside on every side.
    static bool StrictlyHolds(const Box& outer, const Box& inner)
    {
        return outer.minX < inner.minX && inner.maxX < outer.maxX && outer.minY < inner.minY && inner.maxY < outer.maxY;
    }

    int32_t Build(size_t begin, size_t end, int32_t parent, int depth, const std::function<bool(int64_t)>& spend)
    {
        spend(static_cast<int64_t>(end - begin));
        Box box = m_items[begin].first;
        int32_t lo = m_items[begin].second, hi = lo;
        for (size_t i = begin + 1; i < end; ++i) {
            box.Grow(m_items[i].first);
            lo = std::min(lo, m_items[i].second);
            hi = std::max(hi, m_items[i].second);
        }
        const auto index = static_cast<int32_t>(m_nodes.size());
        m_nodes.push_back({box, begin, end, lo, hi, 0, static_cast<int32_t>(end - begin), parent});
        if (end - begin <= 8 || depth > 60) {
            for (size_t i = begin; i < end; ++i)
                m_leafOf[static_cast<size_t>(m_items[i].second)] = index;
            return index;
        }
        // Split by each side of the boxes in turn (left, right, bottom, top;
        // a side on which they all agree is passed over): a subtree whose
        // boxes all start right of a box, or all end left of it, then goes at once.
        auto side = [](const Box& c, int k) { return k == 0 ? c.minX : k == 1 ? c.maxX : k == 2 ? c.minY : c.maxY; };
        int k = depth % 4;
        for (int tries = 0; tries < 4; ++tries, k = (k + 1) % 4) {
            int64_t lo = INT64_MAX, hi = INT64_MIN;
            for (size_t i = begin; i < end; ++i) {
                lo = std::min(lo, side(m_items[i].first, k));
                hi = std::max(hi, side(m_items[i].first, k));
            }
            if (lo < hi)
                break;
        }
        const size_t mid = (begin + end) / 2;
        std::nth_element(m_items.begin() + static_cast<std::ptrdiff_t>(begin),
                         m_items.begin() + static_cast<std::ptrdiff_t>(mid),
                         m_items.begin() + static_cast<std::ptrdiff_t>(end),
                         [&](const auto& p, const auto& q) { return side(p.first, k) < side(q.first, k); });
        const int32_t l = Build(begin, mid, index, depth + 1, spend);
        const int32_t r = Build(mid, end, index, depth + 1, spend);
        m_nodes[static_cast<size_t>(index)].left = l;
        m_nodes[static_cast<size_t>(index)].right = r;
        return index;
    }

    std::vector<std::pair<Box, int32_t>> m_items;
    std::vector<Node> m_nodes;
    std::vector<int32_t> m_leafOf;
    std::vector<Open> m_queue;
    std::vector<int32_t> m_stack;
    int64_t m_budget = INT64_MAX;
};
}  // namespace

// The vertices of every figure of the list, in one grid. The drawing's
// vertices are built in; the planner's own figures are kept apart.
VertexGrid& PlainPlanner::Vertices()
{
    PlannerEngines& e = EnginesOf(m_engines);
    if (!e.vertices) {
        static const std::vector<TFigPoint> none;
        e.vertices = std::make_unique<VertexGrid>(Reach(PointTolerance), Count(), [this](int32_t i) -> const std::vector<TFigPoint>& {
            return Fig(i).Origin == 0 ? Fig(i).Points : none;
        });
        for (int32_t i = 0; i < Count(); ++i)
            if (Fig(i).Origin != 0)
                for (size_t k = 0; k < Fig(i).Points.size(); ++k)
                    e.vertices->Insert(i, static_cast<int32_t>(k), Fig(i).Points[k]);
        e.figuresInGrid = Count();
        Work(Count());
    }
    for (; e.figuresInGrid < Count(); ++e.figuresInGrid) {
        const tfigura& f = Fig(e.figuresInGrid);
        for (size_t k = 0; k < f.Points.size(); ++k)
            e.vertices->Insert(e.figuresInGrid, static_cast<int32_t>(k), f.Points[k]);
    }
    return *e.vertices;
}

void PlainPlanner::DropVertices()
{
    if (m_engines) {
        m_engines->vertices.reset();
        m_engines->figuresInGrid = 0;
    }
}

// The count of figures ever attached to a container is read only as "any"
// and "21 or more" (the container's children are then searched through the
// candidate lists), so it stops at 21: a nesting listed outermost first
// attaches every square to every square around it, and counting all of that
// would cost the square of the figures.
namespace {
constexpr int32_t kChildCountCap = 21;
}  // namespace

// Containment. The passes run as over every pair of figures, but a figure
// looks only at the containers that can change it: of its containers taken in
// list order it is attached to every one deeper than the one it has (each
// such attach counts for that container), and ends with the first of the
// deepest. So the last of those attaches is the deepest container, the one
// before it the deepest of those listed before, and so on back; that walk
// stops as soon as the containers left all have the highest count, which
// they would keep. Where walking back opens more tree nodes than a budget
// (containers whose depths follow no order, as in a shuffled nesting), the
// first pass takes the figure's containers listed before it in list order.
//
// In the first pass the figures after the one looked at have not been placed
// yet: they are outermost, at depth 0, and one of them can be the container
// only when no figure before it contains it, the first that contains it then.
// The figure itself is outermost when it is placed, so placing it only hangs
// its tree below the container: the depths of the first pass are kept as
// offsets in a union-find of those trees. The trees tell the container tree
// their new depths while that work stays within a few times the figures; after
// that a large tree no longer does (the nodes over it let any depth pass until
// the pass is over), so a long chain listed innermost first costs no more.
void PlainPlanner::co_w_czym()
{
    constexpr size_t kSmallTree = 16;
    constexpr int32_t kAnyDepth = INT32_MAX;
    const int32_t n = Count();
    const auto N = static_cast<size_t>(n);
    int64_t exactWork = 64 * static_cast<int64_t>(n);  // depths told exactly, at most
    for (auto& f : F()) {
        f->Depth = 0;
        f->Container = -1;
        f->ChildCount = 0;
    }
    std::vector<std::pair<Box, int32_t>> closed;
    for (int32_t j = 0; j < n; ++j)
        if (!Fig(j).IsOpen)
            closed.push_back({Box::Of(Fig(j)), j});
    ContainerTree tree(std::move(closed), n, [this](int64_t units) { return Work(units); });
    if (Cancelled())
        return;

    std::vector<int32_t> container(N, -1), childCount(N, 0), depth;
    std::vector<std::vector<int32_t>> kids(N);
    // The union-find of the first pass: up, the offset to it, the depth of a root.
    std::vector<int32_t> up(N), offset(N, 0), rootDepth(N, 0), members(N, 1), path;
    std::vector<uint8_t> large(N, 0);  // in a large tree: the container tree lets any depth pass
    for (int32_t x = 0; x < n; ++x)
        up[static_cast<size_t>(x)] = x;
    auto find = [&](int32_t x) {
        path.clear();
        int32_t r = x;
        while (up[static_cast<size_t>(r)] != r) {
            path.push_back(r);
            r = up[static_cast<size_t>(r)];
        }
        for (size_t k = path.size(); k-- > 0;) {
            const auto p = static_cast<size_t>(path[k]);
            if (up[p] != r) {
                offset[p] += offset[static_cast<size_t>(up[p])];
                up[p] = r;
            }
        }
        return r;
    };
    bool firstPass = true;
    auto depthOf = [&](int32_t x) {
        if (!firstPass)
            return depth[static_cast<size_t>(x)];
        const int32_t r = find(x);
        return rootDepth[static_cast<size_t>(r)] + (r == x ? 0 : offset[static_cast<size_t>(x)]);
    };
    // Hangs the tree of root i (at depth 0) below c.
    std::vector<int32_t> stack, fresh;
    auto hang = [&](int32_t i, int32_t c) {
        const int32_t delta = depthOf(c) + 1;
        const int32_t ri = find(i), rc = find(c);
        const auto si = static_cast<size_t>(ri), sc = static_cast<size_t>(rc);
        if (members[si] < members[sc]) {
            up[si] = rc;
            offset[si] = rootDepth[si] + delta - rootDepth[sc];
            members[sc] += members[si];
        } else {
            rootDepth[si] += delta;
            up[sc] = ri;
            offset[sc] = rootDepth[sc] - rootDepth[si];
            members[si] += members[sc];
        }
        fresh.clear();
        stack.assign(1, i);
        while (!stack.empty()) {
            const int32_t x = stack.back();
            stack.pop_back();
            if (large[static_cast<size_t>(x)])
                continue;  // and so is everything below it
            fresh.push_back(x);
            for (int32_t k : kids[static_cast<size_t>(x)])
                stack.push_back(k);
        }
        const bool becomesLarge = large[static_cast<size_t>(c)] || (fresh.size() > kSmallTree && exactWork <= 0);
        exactWork -= static_cast<int64_t>(fresh.size());
        for (int32_t x : fresh) {
            large[static_cast<size_t>(x)] = becomesLarge;
            tree.Raise(x, becomesLarge ? kAnyDepth : depthOf(x));
        }
        Work(static_cast<int64_t>(fresh.size()));
    };

    int32_t looking = 0;  // the figure whose containers are looked for
    auto inside = [&](int32_t j) {
        const bool in = FigureInside(looking, j);
        Work(1 + static_cast<int64_t>(Fig(j).Points.size()));
        return in;
    };
    auto unsaturated = [&](int32_t j) { return childCount[static_cast<size_t>(j)] < kChildCountCap; };
    auto spend = [&](int64_t units) { return Work(units); };
    ContainerTree::Ask<decltype(depthOf)&, decltype(inside)&, decltype(unsaturated)&, decltype(spend)&> ask{
        depthOf, inside, unsaturated, spend};
    auto attach = [&](int32_t j) {
        int32_t& k = childCount[static_cast<size_t>(j)];
        if (k < kChildCountCap && ++k == kChildCountCap)
            tree.Saturated(j);
    };
    // Counts the attaches of figure i, whose last (deepest) container is c,
    // among the containers deeper than `above`; false when cancelled.
    auto countAttaches = [&](const Box& b, int32_t c, int32_t above) {
        bool stopped = false;
        for (int32_t at = c; at >= 0; at = tree.Deepest(b, at, above, ask, stopped)) {
            attach(at);
            if (!tree.AnyUnsaturated(b, at, above, ask, stopped))
                break;
        }
        return !stopped;
    };

    // A figure with few containers keeps them (the most common case: each
    // pass then reads its list); one with many asks the tree each time.
    constexpr size_t kFew = 64;
    constexpr uint32_t kNotKept = UINT32_MAX;
    std::vector<uint32_t> keptFrom(N + 1, kNotKept);
    std::vector<int32_t> kept, few, records, firstAt;
    int64_t walkBudget = m_walkBudget;
    bool changed = false;
    for (int32_t i = 0; i < n; ++i) {
        if (!Work())
            return;
        looking = i;
        const Box b = Box::Of(Fig(i));
        bool stopped = false;
        int32_t c = -1;
        if (tree.FewHolders(b, kFew, few, ask, stopped)) {
            std::sort(few.begin(), few.end());
            keptFrom[static_cast<size_t>(i)] = static_cast<uint32_t>(kept.size());
            for (int32_t j : few)
                if (inside(j))
                    kept.push_back(j);
            if (Cancelled())
                return;
            int32_t deepest = -1;
            for (size_t k = keptFrom[static_cast<size_t>(i)]; k < kept.size() && kept[k] < i; ++k)
                if (const int32_t d = depthOf(kept[k]); d > deepest) {
                    attach(kept[k]);
                    c = kept[k];
                    deepest = d;
                }
            if (c < 0) {
                const auto above = std::upper_bound(kept.begin() + keptFrom[static_cast<size_t>(i)], kept.end(), i);
                if (above == kept.end())
                    continue;
                c = *above;
                attach(c);
            }
        } else if (stopped) {
            return;
        } else if (c = tree.Deepest(b, i, -1, ask, stopped); c >= 0) {
            // Back from the deepest container while that stays cheap (a
            // nesting listed outermost first); else every container before
            // the figure in list order, as the pass takes them.
            records.clear();
            tree.SetBudget(walkBudget);
            for (int32_t at = c; at >= 0; at = tree.Deepest(b, at, -1, ask, stopped)) {
                records.push_back(at);
                if (!tree.AnyUnsaturated(b, at, -1, ask, stopped))
                    break;
            }
            const bool exhausted = tree.Exhausted();
            tree.SetBudget(INT64_MAX);
            // Where one figure's walk back was costly, the next one's likely is.
            walkBudget = exhausted ? std::max(std::min<int64_t>(64, m_walkBudget), walkBudget / 2)
                                   : std::min(m_walkBudget, 2 * walkBudget);
            if (exhausted) {
                stopped = false;
                tree.FewHolders(b, SIZE_MAX, few, ask, stopped, i);
                if (stopped)
                    return;
                // A container is attached to when it is listed before every
                // one as deep or deeper: the first listed at each depth, if
                // it comes before all the deeper ones. (Should the first
                // at a depth not hold the figure after all, sort them.)
                const int32_t top = depthOf(c);
                firstAt.assign(static_cast<size_t>(top) + 1, INT32_MAX);
                for (int32_t j : few)
                    if (const int32_t d = depthOf(j); d <= top)
                        firstAt[static_cast<size_t>(d)] = std::min(firstAt[static_cast<size_t>(d)], j);
                records.clear();
                bool sorted = true;
                for (int32_t d = top, before = INT32_MAX; d >= 0 && sorted; --d)
                    if (const int32_t j = firstAt[static_cast<size_t>(d)]; j < before) {
                        sorted = inside(j);
                        records.push_back(j);
                        before = j;
                    }
                if (sorted) {
                    for (int32_t j : records)
                        attach(j);
                } else {
                    std::sort(few.begin(), few.end());
                    int32_t deepest = -1;
                    for (int32_t j : few)
                        if (const int32_t d = depthOf(j); d > deepest && inside(j)) {
                            attach(j);
                            c = j;
                            deepest = d;
                        }
                }
                if (Cancelled())
                    return;
            } else {
                if (stopped)
                    return;
                for (int32_t j : records)
                    attach(j);
            }
        } else {
            if (stopped)
                return;
            c = tree.FirstAfter(b, i, ask, stopped);
            if (stopped)
                return;
            if (c < 0)
                continue;
            attach(c);
        }
        container[static_cast<size_t>(i)] = c;
        kids[static_cast<size_t>(c)].push_back(i);
        hang(i, c);
        changed = true;
    }
    keptFrom[N] = static_cast<uint32_t>(kept.size());
    // The end of figure i's list: where the next kept list begins.
    for (size_t k = N; k-- > 0;)
        if (keptFrom[k] == kNotKept)
            keptFrom[k] = keptFrom[k + 1] | 0x80000000u;
    depth.resize(N);
    for (int32_t x = 0; x < n; ++x)
        depth[static_cast<size_t>(x)] = depthOf(x);
    firstPass = false;
    std::vector<int32_t>().swap(up);
    std::vector<int32_t>().swap(offset);
    std::vector<int32_t>().swap(rootDepth);
    std::vector<int32_t>().swap(members);
    tree.SetDepths(depth);

    // The later passes: a figure moves only when a container of it is now
    // deeper than the one it has; its tree goes deeper with it.
    while (changed) {
        changed = false;
        for (int32_t i = 0; i < n; ++i) {
            if (!Work())
                return;
            int32_t& ci = container[static_cast<size_t>(i)];
            if (ci < 0)
                continue;  // nothing contains it
            looking = i;
            const Box b = Box::Of(Fig(i));
            const int32_t above = depth[static_cast<size_t>(ci)];
            int32_t c = -1;
            if (const uint32_t from = keptFrom[static_cast<size_t>(i)]; (from & 0x80000000u) == 0) {
                const uint32_t to = keptFrom[static_cast<size_t>(i) + 1] & 0x7FFFFFFFu;
                int32_t deepest = above;
                for (uint32_t k = from; k < to; ++k)
                    if (const int32_t d = depth[static_cast<size_t>(kept[k])]; d > deepest) {
                        attach(kept[k]);
                        c = kept[k];
                        deepest = d;
                    }
                if (c < 0)
                    continue;
            } else {
                bool stopped = false;
                c = tree.Deepest(b, n, above, ask, stopped);
                if (stopped)
                    return;
                if (c < 0)
                    continue;
                if (!countAttaches(b, c, above))
                    return;
            }
            std::erase(kids[static_cast<size_t>(ci)], i);
            ci = c;
            kids[static_cast<size_t>(c)].push_back(i);
            const int32_t delta = depth[static_cast<size_t>(c)] + 1 - depth[static_cast<size_t>(i)];
            stack.assign(1, i);
            int64_t moved = 0;
            while (!stack.empty()) {
                const int32_t x = stack.back();
                stack.pop_back();
                depth[static_cast<size_t>(x)] += delta;
                tree.Raise(x, depth[static_cast<size_t>(x)]);
                ++moved;
                for (int32_t k : kids[static_cast<size_t>(x)])
                    stack.push_back(k);
            }
            if (!Work(moved))
                return;
            changed = true;
        }
    }

    int32_t deepest = 0;
    PlannerEngines& e = EnginesOf(m_engines);
    // The trees the passes kept are the children of each container.
    e.children = std::move(kids);
    for (auto& list : e.children)
        std::sort(list.begin(), list.end());
    for (int32_t i = 0; i < n; ++i) {
        tfigura& f = Fig(i);
        f.Depth = depth[static_cast<size_t>(i)];
        f.Container = container[static_cast<size_t>(i)];
        f.ChildCount = childCount[static_cast<size_t>(i)];
        deepest = std::max(deepest, f.Depth);
    }
    // The deepest level ever reached: depths only grow.
    if (deepest > 0)
        m_job.MaxDepth = std::max(m_job.MaxDepth, deepest);
}

bool PlainPlanner::VertexNearOtherFigure(int32_t v, int32_t fi)
{
    VertexGrid& grid = Vertices();
    const TFigPoint& p = Fig(fi).Points[static_cast<size_t>(v)];
    const double limit = PointTolerance * PointTolerance;
    bool near = false;
    int64_t seen = 0;
    grid.Near(p, [&](const VertexGrid::Entry& entry) {
        ++seen;
        near = entry.figure != fi && static_cast<double>(DistanceSqr(entry.p, p)) <= limit;
        return near;
    });
    Work(1 + seen);
    return near;
}

void PlainPlanner::LinkStartTouching()
{
    const int32_t s = StartFigure();
    tfigura& start = Fig(s);
    VertexGrid& grid = Vertices();
    auto link = [&](int32_t r, int32_t vs, int32_t vr) {
        // A stub or connector vertex moved onto what it touches moves in the grid too.
        if (Fig(s).Origin == 3)
            grid.Move(s, vs, Fig(s).Points[static_cast<size_t>(vs)]);
        else if (Fig(r).Origin == 3)
            grid.Move(r, vr, Fig(r).Points[static_cast<size_t>(vr)]);
        LinkTouching(s, vs, r, vr);
        SetConnected(s, true);
    };
    // A small start figure (a frame, a stub, a lead-in) is compared directly,
    // also because a stub's vertex moves onto what it touches.
    if (start.Points.size() <= 64 || start.Origin == 3) {
        for (int32_t r = 0; r < Count(); ++r) {
            if (!Work(1 + static_cast<int64_t>(Fig(r).Points.size() * Fig(s).Points.size())))
                return;
            int32_t vs, vr;
            if (FindTouchingVertices(s, r, vs, vr))
                link(r, vs, vr);
        }
        return;
    }
    VertexGrid startGrid(Reach(PointTolerance), 1, [&](int32_t) -> const std::vector<TFigPoint>& { return start.Points; });
    for (int32_t r = 0; r < Count(); ++r) {
        if (r == s)
            continue;
        if (!Work(1 + static_cast<int64_t>(Fig(r).Points.size())))
            return;
        if (Fig(r).Origin == 3) {
            int32_t vs, vr;
            if (FindTouchingVertices(s, r, vs, vr))
                link(r, vs, vr);
            continue;
        }
        // The first pair of the scan: the last vertex of the start figure that
        // touches, then the last vertex of r that touches it.
        int32_t bestS = -1, bestR = -1;
        const tfigura& f = Fig(r);
        for (size_t k = 0; k < f.Points.size(); ++k)
            startGrid.Near(f.Points[k], [&](const VertexGrid::Entry& e) {
                const auto vr = static_cast<int32_t>(k);
                if (e.vertex > bestS || (e.vertex == bestS && vr > bestR)) {
                    bestS = e.vertex;
                    bestR = vr;
                }
                return false;
            });
        if (bestS >= 0)
            link(r, bestS, bestR);
    }
}

void PlainPlanner::LinkTouchingFigures()
{
    const int32_t n = Count();
    VertexGrid& grid = Vertices();
    // Where a long run of vertices at one point has its first figure not
    // connected yet. Figures only ever become connected here, so that place
    // only moves on, and a point where thousands of figures meet is walked
    // once, not once for each of them.
    std::unordered_map<size_t, size_t> firstOpen;
    auto firstOpenIn = [&](size_t b, size_t e) {
        constexpr size_t kShortRun = 4;
        if (e - b <= kShortRun) {
            while (b < e && Connected(grid.At(b).figure))
                ++b;
            return b;
        }
        size_t& at = firstOpen.try_emplace(b, b).first->second;
        while (at < e && Connected(grid.At(at).figure))
            ++at;
        return at;
    };
    // A figure of many vertices asked again after it linked one (the
    // connector of a duplicated grid runs past every copy) keeps the runs it
    // touches in a queue by their first open figure, and its own vertices in a
    // grid of their own: each later question costs the runs whose figure got
    // connected meanwhile, not all its vertices again. Its vertices never move
    // (the planner's own figures are not kept so); the queue goes when the
    // figure leaves the walk.
    constexpr size_t kQueuedFrom = 64;
    struct Run {
        int32_t figure;
        size_t begin, end;
        bool operator>(const Run& o) const { return figure > o.figure; }
    };
    struct Queued {
        std::vector<Run> runs;  // a heap, smallest figure first
        std::unique_ptr<VertexGrid> own;
    };
    std::unordered_map<int32_t, Queued> queued;
    std::vector<uint8_t> asked(static_cast<size_t>(n), 0);
    // The first figure not connected yet that touches i, by index (i itself
    // is connected).
    int64_t runs = 0;  // the work done: vertices and runs of vertices looked at
    auto firstTouching = [&](int32_t i) {
        int32_t best = INT32_MAX;
        const tfigura& f = Fig(i);
        const bool again = std::exchange(asked[static_cast<size_t>(i)], 1) != 0;
        if (again && f.Points.size() > kQueuedFrom && f.Origin != 3) {
            auto [at, fresh] = queued.try_emplace(i);
            Queued& q = at->second;
            if (fresh) {
                runs += static_cast<int64_t>(f.Points.size());
                for (const TFigPoint& p : f.Points)
                    grid.Runs(p, [&](size_t b, size_t e) {
                        ++runs;
                        if (const size_t k = firstOpenIn(b, e); k < e)
                            q.runs.push_back({grid.At(k).figure, b, e});
                        return false;
                    });
                std::make_heap(q.runs.begin(), q.runs.end(), std::greater<>());
                q.own = std::make_unique<VertexGrid>(Reach(PointTolerance), 1,
                                                     [&f](int32_t) -> const std::vector<TFigPoint>& { return f.Points; });
            }
            while (!q.runs.empty() && Connected(q.runs.front().figure)) {
                std::pop_heap(q.runs.begin(), q.runs.end(), std::greater<>());
                Run& r = q.runs.back();
                ++runs;
                if (const size_t k = firstOpenIn(r.begin, r.end); k < r.end) {
                    r.figure = grid.At(k).figure;
                    std::push_heap(q.runs.begin(), q.runs.end(), std::greater<>());
                } else {
                    q.runs.pop_back();
                }
            }
            if (!q.runs.empty())
                best = q.runs.front().figure;
            for (const VertexGrid::Entry& e : grid.Added())
                if (e.figure < best && !Connected(e.figure) &&
                    q.own->Runs(e.p, [](size_t, size_t) { return true; }))
                    best = e.figure;
            return best == INT32_MAX ? -1 : best;
        }
        runs += static_cast<int64_t>(f.Points.size());
        for (const TFigPoint& p : f.Points) {
            grid.Runs(p, [&](size_t b, size_t e) {
                ++runs;
                const size_t k = firstOpenIn(b, e);
                if (k < e)
                    best = std::min(best, grid.At(k).figure);
                return false;
            });
            for (const VertexGrid::Entry& e : grid.Added())
                if (e.figure < best && !Connected(e.figure) && grid.Within(e.p, p))
                    best = e.figure;
        }
        return best == INT32_MAX ? -1 : best;
    };
    // The last vertex of figure f within reach of p, or -1.
    auto lastVertexNear = [&](int32_t f, const TFigPoint& p) {
        int32_t found = -1;
        grid.Runs(p, [&](size_t b, size_t e) {
            ++runs;
            size_t lo = b, hi = e;  // the run is ordered by figure and vertex
            while (lo < hi) {
                const size_t mid = lo + (hi - lo) / 2;
                if (grid.At(mid).figure <= f)
                    lo = mid + 1;
                else
                    hi = mid;
            }
            if (lo > b && grid.At(lo - 1).figure == f)
                found = std::max(found, grid.At(lo - 1).vertex);
            return false;
        });
        for (const VertexGrid::Entry& e : grid.Added())
            if (e.figure == f && grid.Within(e.p, p))
                found = std::max(found, e.vertex);
        return found;
    };
    // The pair the plain scan finds first (the last vertex of i that touches
    // j, then the last vertex of j that touches it), looked up from the side
    // with fewer vertices; the planner's own short figures are moved onto what
    // they touch.
    auto touch = [&](int32_t i, int32_t j, int32_t& vi, int32_t& vj) {
        tfigura& a = Fig(i);
        tfigura& b = Fig(j);
        int32_t k = -1;
        if (b.Points.size() < a.Points.size()) {
            for (const TFigPoint& q : b.Points)
                k = std::max(k, lastVertexNear(i, q));
        } else {
            for (k = static_cast<int32_t>(a.Points.size()) - 1; k >= 0; --k)
                if (lastVertexNear(j, a.Points[static_cast<size_t>(k)]) >= 0)
                    break;
        }
        vi = std::max(k, 0);
        vj = std::max(lastVertexNear(j, a.Points[static_cast<size_t>(vi)]), 0);
        if (a.Origin == 3) {
            a.Points[static_cast<size_t>(vi)] = b.Points[static_cast<size_t>(vj)];
            grid.Move(i, vi, a.Points[static_cast<size_t>(vi)]);
        } else if (b.Origin == 3) {
            b.Points[static_cast<size_t>(vj)] = a.Points[static_cast<size_t>(vi)];
            grid.Move(j, vj, b.Points[static_cast<size_t>(vj)]);
        }
    };

    // The figures connected and still active, walked in index order. A pass
    // ends at its end or after linking figure 0 or 1; the next starts again
    // from the first. The set is kept from pass to pass: it only ever loses
    // the figures that found nothing and gains the ones just linked.
    std::vector<uint8_t> active(static_cast<size_t>(n), 1);
    std::set<int32_t> walk;
    for (int32_t i = 0; i < n; ++i)
        if (Connected(i))
            walk.insert(i);
    for (bool linked = true; linked && !Cancelled();) {
        linked = false;
        auto it = walk.begin();
        while (it != walk.end()) {
            const int32_t i = *it;
            runs = 0;
            const int32_t j = firstTouching(i);
            if (!Work(1 + runs))
                break;
            if (j >= 0) {
                int32_t vi = 0, vj = 0;
                runs = 0;
                touch(i, j, vi, vj);
                Work(runs);
                LinkTouching(i, vi, j, vj);
                linked = true;
                // The walk goes on with j itself.
                it = walk.insert(j).first;
                if (j < 2)
                    break;
                continue;
            }
            active[static_cast<size_t>(i)] = 0;
            queued.erase(i);
            it = walk.erase(it);
        }
    }
    for (int32_t i = 0; i < n; ++i)
        Fig(i).Active = active[static_cast<size_t>(i)];
}

// The 22 figures of smallest key for each figure r, the key being the rounded
// distance of the centres plus 500000000 for a shallower figure and as much
// again for a child of r; ties keep list order. The children of r are taken
// from their list, the others from one tree of centres: first those at r's
// depth or deeper, and the shallower ones only when those leave room. Each
// list stands alone, so they are made in the tree's order, near figures one
// after the other.
void PlainPlanner::BuildNearestLists()
{
    constexpr size_t kListSize = 22;
    constexpr int64_t kPenalty = 500000000;
    const int32_t n = Count();
    std::vector<CentreTree::Item> items;
    items.reserve(static_cast<size_t>(n));
    std::vector<std::vector<int32_t>> childrenOf(static_cast<size_t>(n));
    for (int32_t s = 0; s < n; ++s) {
        const tfigura& f = Fig(s);
        items.push_back({f.CentreX, f.CentreY, s, f.Depth, f.Container});
        if (f.Container >= 0 && f.Container < n)
            childrenOf[static_cast<size_t>(f.Container)].push_back(s);
    }
    const CentreTree tree(std::move(items), [this](int64_t units) { return Work(units); });
    if (Cancelled())
        return;
    using Entries = std::vector<std::pair<int64_t, int32_t>>;  // (key, s)

    // Each figure's list is its own: the lists are built in blocks of the
    // tree's order, where a figure lies close to the one before it.
    const std::vector<CentreTree::Item>& order = tree.Items();
    auto makeBody = [&] {
        return [&, query = CentreTree::Query(tree), entries = Entries(), found = Entries(),
                previous = Entries()](size_t from, size_t to) mutable {
            previous.clear();
            int64_t work = 0;
            for (size_t at = from; at < to; ++at) {
                const int32_t r = order[at].id;
                tfigura& fr = Fig(r);
                entries.clear();
                for (int32_t s : childrenOf[static_cast<size_t>(r)]) {
                    const tfigura& f = Fig(s);
                    int64_t k = CentreTree::Rounded(fr.CentreX, fr.CentreY, f.CentreX, f.CentreY) + kPenalty;
                    if (f.Depth < fr.Depth)
                        k += kPenalty;
                    entries.push_back({k, s});
                }
                int64_t visited = 0;
                // 22 figures as deep as r, all nearer than any penalty
                // reaches, leave no place to a shallower figure or a child.
                // The list of the figure before is a good first guess.
                tree.NearestRanked(query, fr.CentreX, fr.CentreY, kListSize, {fr.Depth, INT32_MAX, r}, found, visited,
                                   previous);
                previous = found;
                entries.insert(entries.end(), found.begin(), found.end());
                if (found.size() < kListSize || found.back().first >= kPenalty) {
                    tree.NearestRanked(query, fr.CentreX, fr.CentreY, kListSize, {INT32_MIN, fr.Depth - 1, r}, found,
                                       visited);
                    for (const auto& [d, s] : found)
                        entries.push_back({d + kPenalty, s});
                }
                const auto last = entries.size() > kListSize ? entries.begin() + kListSize : entries.end();
                std::partial_sort(entries.begin(), last, entries.end());
                fr.Nearest.fill(-1);
                for (size_t i = 0; i < entries.size() && i < kListSize; ++i)
                    fr.Nearest[i] = entries[i].second;
                work += 1 + visited + static_cast<int64_t>(entries.size());
            }
            return work;
        };
    };
    RunInBlocks(order.size(), ThreadsFor(order.size(), m_listThreads), makeBody, [this](int64_t units) { return Work(units); });
}

// What every engine asks of the planner.
struct SearchView {
    const SearchEngine::Figures* figures;
    std::function<bool(int64_t)> work;
    const std::vector<int32_t>& log;
    int32_t count;
};

namespace {
std::vector<int32_t>& MinKinds(PlannerEngines& e, int32_t count)
{
    if (e.minKind.size() < static_cast<size_t>(count))
        e.minKind.resize(static_cast<size_t>(count), -1);
    return e.minKind;
}

// The search among the figures of one container: its children to enter, the
// container and its children already entered as partners. One engine serves
// the calls for one container and kind in a row.
SearchEngine& ContainerEngine(PlannerEngines& e, SearchKind kind, int32_t c, const SearchView& v,
                              std::function<bool(int32_t, int32_t)> allowed)
{
    if (!e.containerEngine || e.engineContainer != c || e.engineKind != kind) {
        const std::vector<int32_t>& kids = e.children[static_cast<size_t>(c)];
        const SearchEngine::Figures* figures = v.figures;
        auto fig = [figures](int32_t i) -> const tfigura& { return *(*figures)[static_cast<size_t>(i)]; };
        std::vector<int32_t> ys{c};
        for (int32_t k : kids)  // the start figure left its container
            if (fig(k).NotConnected == 0 && fig(k).IsFigure && fig(k).Container == c)
                ys.push_back(k);
        SearchEngine::Hooks hooks{figures, std::move(allowed),
                                  [fig, c](int32_t y) { return fig(y).IsFigure && fig(y).Container == c; }, v.work};
        e.containerEngine.reset();  // one engine at a time
        e.containerEngine = std::make_unique<SearchEngine>(kind, false, kids, false, ys, hooks, v.log, MinKinds(e, v.count));
        e.engineContainer = c;
        e.engineKind = kind;
    }
    return *e.containerEngine;
}

// The searches over the whole job: every figure may be entered, every
// connected figure is a partner. The engine is built on first use and kept.
SearchEngine& WholeJobEngine(PlannerEngines& e, std::unique_ptr<SearchEngine>& engine, SearchKind kind,
                             const SearchView& v, std::function<bool(int32_t, int32_t)> allowed)
{
    if (!engine) {
        const SearchEngine::Figures* figures = v.figures;
        auto fig = [figures](int32_t i) -> const tfigura& { return *(*figures)[static_cast<size_t>(i)]; };
        std::vector<int32_t> ys, all(static_cast<size_t>(v.count));
        for (int32_t i = 0; i < v.count; ++i) {
            all[static_cast<size_t>(i)] = i;
            if (fig(i).NotConnected == 0 && fig(i).IsFigure)
                ys.push_back(i);
        }
        SearchEngine::Hooks hooks{figures, std::move(allowed),
                                  [fig](int32_t y) { return fig(y).IsFigure != 0; }, v.work};
        engine = std::make_unique<SearchEngine>(kind, true, all, true, ys, hooks, v.log, MinKinds(e, v.count));
    }
    return *engine;
}
}  // namespace

SearchView PlainPlanner::View()
{
    return {&F(), [this](int64_t units) { return Work(units); }, ConnectionLog(), Count()};
}

PlainPlanner::Pair PlainPlanner::SearchChildren(int32_t c)
{
    return ContainerEngine(EnginesOf(m_engines), SearchKind::Children, c, View(),
                           [](int32_t, int32_t) { return true; })
        .Best();
}
PlainPlanner::Pair PlainPlanner::SearchChildrenNearest(int32_t c)
{
    return ContainerEngine(EnginesOf(m_engines), SearchKind::ChildrenNearest, c, View(),
                           [this](int32_t x, int32_t y) { return InNearest(x, y) || Fig(x).IsOpen || Fig(y).IsOpen; })
        .Best();
}

PlainPlanner::Pair PlainPlanner::SearchNearest()
{
    PlannerEngines& e = EnginesOf(m_engines);
    return WholeJobEngine(e, e.nearest, SearchKind::Nearest, View(),
                          [this](int32_t x, int32_t y) {
                              return YAllowedByAny(x, y) && (InNearest(x, y) || Fig(x).IsOpen || Fig(y).IsOpen);
                          })
        .Best();
}

PlainPlanner::Pair PlainPlanner::SearchAny()
{
    PlannerEngines& e = EnginesOf(m_engines);
    return WholeJobEngine(e, e.any, SearchKind::Any, View(), [this](int32_t x, int32_t y) { return YAllowedByAny(x, y); })
        .Best();
}
