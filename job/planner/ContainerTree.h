#pragma once
#include "job/Spatial.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

// The boxes of the closed figures in a tree of boxes, for "which figures can
// contain this one". A node's box holds all its figures' boxes, so a subtree
// whose box does not hold a given box can't hold a figure whose box holds it.
// Parts lying in a row, a column or a grid, or overlapping in a heap, are then
// found in logarithmic time. Each node also knows the least and greatest index
// of its figures, the greatest depth any of them may have (never less than the
// true one: raised as depths grow, a bound the walks prune on) and how many of
// them have not yet reached the highest child count, so the analysis opens
// only the subtrees that can hold the container it looks for.
//
// The walks ask the analysis (`ask`) what only it knows:
//   ask.DepthOf(j)      the figure's depth now,
//   ask.Inside(j)       whether the figure looked at lies inside figure j,
//   ask.Unsaturated(j)  whether j's child count is still below the highest,
//   ask.Spend(units)    work done; false: cancelled.
class ContainerTree {
public:
    // spend: told the work of the build as it goes.
    ContainerTree(std::vector<std::pair<Box, int32_t>> items, int32_t figures, const std::function<bool(int64_t)>& spend);

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
    void SetDepths(const std::vector<int32_t>& depth);

    // The deepest figure of index below `below` and depth above `above` that
    // holds the figure of box b (the first in list order of the deepest), or
    // -1. Nodes are opened deepest first, then by least index.
    template <typename A>
    int32_t Deepest(const Box& b, int32_t below, int32_t above, A& ask, bool& stopped)
    {
        int32_t best = -1, bestDepth = above;
        auto enter = [&](const Node& n, Open& o) {
            o.depth = n.maxDepth;
            o.index = n.minIndex;
            return n.minIndex < below && n.maxDepth > above && Holds(n.box, b);
        };
        auto enough = [&](const Open& o) {
            return best >= 0 && (o.depth < bestDepth || (o.depth == bestDepth && o.index >= best));
        };
        auto take = [&](int32_t j, const Box& box) {
            if (j >= below || !StrictlyHolds(box, b))
                return true;
            const int32_t d = ask.DepthOf(j);
            if (d <= above || (best >= 0 && (d < bestDepth || (d == bestDepth && j > best))))
                return true;
            bool in = false;
            if (!Inside(ask, j, in, stopped))
                return false;
            if (in) {
                best = j;
                bestDepth = d;
            }
            return true;
        };
        return BestFirst(ask, stopped, true, DeepFirst, enter, enough, take) ? best : -1;
    }

    // The first figure in list order after `after` that holds the figure of
    // box b, or -1. Nodes are opened by the least index they may hold.
    template <typename A>
    int32_t FirstAfter(const Box& b, int32_t after, A& ask, bool& stopped)
    {
        int32_t best = -1;
        auto enter = [&](const Node& n, Open& o) {
            o.depth = 0;
            o.index = std::max(n.minIndex, after + 1);
            return n.maxIndex > after && Holds(n.box, b);
        };
        auto enough = [&](const Open& o) { return best >= 0 && o.index >= best; };
        auto take = [&](int32_t j, const Box& box) {
            if (j <= after || (best >= 0 && j >= best) || !StrictlyHolds(box, b))
                return true;
            bool in = false;
            if (!Inside(ask, j, in, stopped))
                return false;
            if (in)
                best = j;
            return true;
        };
        return BestFirst(ask, stopped, false, LeastFirst, enter, enough, take) ? best : -1;
    }

    // Every figure whose box holds the box b strictly (the box rule of the
    // inside test), in `out`, when there are at most `most` of them; false
    // (and `out` incomplete) when there are more.
    template <typename A>
    bool FewHolders(const Box& b, size_t most, std::vector<int32_t>& out, A& ask, bool& stopped, int32_t below = INT32_MAX)
    {
        out.clear();
        auto enter = [&](const Node& n) { return n.minIndex < below && Holds(n.box, b); };
        auto take = [&](int32_t j, const Box& box) {
            if (j >= below || !StrictlyHolds(box, b))
                return true;
            if (out.size() == most)
                return false;
            out.push_back(j);
            return true;
        };
        return DepthFirst(ask, stopped, false, enter, take);
    }

    // Whether a figure of index below `below`, depth above `above` and child
    // count below the highest holds the figure of box b.
    template <typename A>
    bool AnyUnsaturated(const Box& b, int32_t below, int32_t above, A& ask, bool& stopped)
    {
        bool found = false;
        auto enter = [&](const Node& n) {
            return n.unsaturated > 0 && n.minIndex < below && n.maxDepth > above && Holds(n.box, b);
        };
        auto take = [&](int32_t j, const Box& box) {
            found = j < below && StrictlyHolds(box, b) && ask.Unsaturated(j) && ask.DepthOf(j) > above && ask.Inside(j);
            return !found;
        };
        DepthFirst(ask, stopped, true, enter, take);
        return found;
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

    // The walks. Each opens the nodes `enter` lets through (charging each to
    // the work, and to the budget where `budgeted`) and hands the figures of
    // their leaves to `take` until it answers false; false when the walk did
    // not end of itself (stopped, or `take` ended it).
    //
    // Best first: `enter` also gives the node its place in `order`; the walk
    // ends once `enough` says the node next in turn can't give a better one.
    template <typename A, typename Order, typename Enter, typename Enough, typename Take>
    bool BestFirst(A& ask, bool& stopped, bool budgeted, Order order, Enter enter, Enough enough, Take take)
    {
        m_queue.clear();
        auto push = [&](int32_t ni) {
            Open o{0, 0, ni};
            if (!enter(m_nodes[static_cast<size_t>(ni)], o))
                return;
            m_queue.push_back(o);
            std::push_heap(m_queue.begin(), m_queue.end(), order);
        };
        if (!m_nodes.empty())
            push(0);
        while (!m_queue.empty()) {
            std::pop_heap(m_queue.begin(), m_queue.end(), order);
            const Open o = m_queue.back();
            m_queue.pop_back();
            if (!Charge(ask, kNodeCost, stopped, budgeted))
                return false;
            if (enough(o))
                break;
            const Node& n = m_nodes[static_cast<size_t>(o.node)];
            if (n.left >= 0) {
                push(n.left);
                push(n.right);
            } else if (!TakeLeaf(n, take)) {
                return false;
            }
        }
        return true;
    }

    // Depth first, left before right.
    template <typename A, typename Enter, typename Take>
    bool DepthFirst(A& ask, bool& stopped, bool budgeted, Enter enter, Take take)
    {
        m_stack.clear();
        if (!m_nodes.empty())
            m_stack.push_back(0);
        while (!m_stack.empty()) {
            const Node& n = m_nodes[static_cast<size_t>(m_stack.back())];
            m_stack.pop_back();
            if (!Charge(ask, kNodeCost, stopped, budgeted))
                return false;
            if (!enter(n))
                continue;
            if (n.left >= 0) {
                m_stack.push_back(n.right);
                m_stack.push_back(n.left);
            } else if (!TakeLeaf(n, take)) {
                return false;
            }
        }
        return true;
    }

    template <typename Take>
    bool TakeLeaf(const Node& n, Take& take) const
    {
        for (size_t i = n.begin; i < n.end; ++i)
            if (!take(m_items[i].second, m_items[i].first))
                return false;
        return true;
    }

    // Work done for a walk, and a node off the budget where `budgeted`;
    // false (and stopped) when the planning is cancelled or the budget spent.
    template <typename A>
    bool Charge(A& ask, int64_t units, bool& stopped, bool budgeted = false)
    {
        if ((budgeted && --m_budget < 0) || !ask.Spend(units)) {
            stopped = true;
            return false;
        }
        return true;
    }
    // The inside test of figure j, its work charged; false when cancelled.
    template <typename A>
    bool Inside(A& ask, int32_t j, bool& in, bool& stopped)
    {
        in = ask.Inside(j);
        return Charge(ask, 0, stopped);
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

    int32_t Build(size_t begin, size_t end, int32_t parent, int depth, const std::function<bool(int64_t)>& spend);

    std::vector<std::pair<Box, int32_t>> m_items;
    std::vector<Node> m_nodes;
    std::vector<int32_t> m_leafOf;
    std::vector<Open> m_queue;
    std::vector<int32_t> m_stack;
    int64_t m_budget = INT64_MAX;
};
