#include "job/planner/CentreTree.h"

#include <algorithm>

CentreTree::CentreTree(std::vector<Item> items, const std::function<bool(int64_t)>& spend) : m_items(std::move(items))
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

void CentreTree::NearestRanked(Query& q, int64_t x, int64_t y, size_t k, const Filter& pass,
                               std::vector<std::pair<int64_t, int32_t>>& out, int64_t& visited,
                               const std::vector<std::pair<int64_t, int32_t>>& near) const
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

// The small tests of a node are inline: every search runs them at every node.
inline bool CentreTree::Outside(const Node& n, const Filter& f) { return n.maxDepth < f.lo || n.minDepth > f.hi; }

// The squared distance of (x, y) from the node's box, as the rounding
// sees it (in doubles).
inline double CentreTree::BoxSquare(const Node& n, int64_t x, int64_t y)
{
    const int64_t bx = x < n.minX ? n.minX : x > n.maxX ? n.maxX : x;
    const int64_t by = y < n.minY ? n.minY : y > n.maxY ? n.maxY : y;
    const double dx = static_cast<double>(bx) - static_cast<double>(x), dy = static_cast<double>(by) - static_cast<double>(y);
    return dx * dx + dy * dy;
}

int32_t CentreTree::Build(size_t begin, size_t end, int depth, const std::function<bool(int64_t)>& spend)
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
inline bool CentreTree::Loses(const Query& q, double square, int32_t minId, size_t k)
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
void CentreTree::Offer(Query& q, const Item& it, int64_t x, int64_t y, size_t k)
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

void CentreTree::Search(Query& q, int32_t ni, int64_t x, int64_t y, size_t k, const Filter& pass, int64_t& visited) const
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
