#include "job/planner/ContainerTree.h"

ContainerTree::ContainerTree(std::vector<std::pair<Box, int32_t>> items, int32_t figures,
                             const std::function<bool(int64_t)>& spend)
    : m_items(std::move(items)), m_leafOf(static_cast<size_t>(figures), -1)
{
    if (!m_items.empty())
        Build(0, m_items.size(), -1, 0, spend);
}

void ContainerTree::SetDepths(const std::vector<int32_t>& depth)
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

int32_t ContainerTree::Build(size_t begin, size_t end, int32_t parent, int depth, const std::function<bool(int64_t)>& spend)
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
