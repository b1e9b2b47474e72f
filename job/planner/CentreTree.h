#pragma once
#include "app/MathUtil.h"

#include <cmath>
#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

// Centres of figures, for the figures nearest a point among those whose depth
// lies in a range and whose container is not a given one (what the tree needs
// of a figure is kept in it). Nearness is the distance rounded to a whole
// step, ties going to the lower index.
//
// A k-d tree, split by x and y in turn at the median, equal centres split by
// index; every node keeps the box of its centres, the range of their depths
// and their least index. So a node whose least index loses the tie is not
// opened: thousands of figures around one centre cost a search no more than a
// few do.
class CentreTree {
public:
    struct Item {
        int64_t x, y;
        int32_t id;
        int32_t depth;
        int32_t container;
    };

    // spend: told the work of the build as it goes.
    CentreTree(std::vector<Item> items, const std::function<bool(int64_t)>& spend);

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
                       const std::vector<std::pair<int64_t, int32_t>>& near = {}) const;

    // The items in the order the tree keeps them: near each other in turn.
    const std::vector<Item>& Items() const { return m_items; }

private:
    struct Node {
        size_t begin, end;
        int64_t minX, minY, maxX, maxY;
        int32_t minDepth, maxDepth, minId;
        int32_t left = -1, right = -1;
    };

    static bool Outside(const Node& n, const Filter& f);
    static double BoxSquare(const Node& n, int64_t x, int64_t y);
    static bool Loses(const Query& q, double square, int32_t minId, size_t k);
    static void Offer(Query& q, const Item& it, int64_t x, int64_t y, size_t k);
    int32_t Build(size_t begin, size_t end, int depth, const std::function<bool(int64_t)>& spend);
    void Search(Query& q, int32_t ni, int64_t x, int64_t y, size_t k, const Filter& pass, int64_t& visited) const;

    std::vector<Item> m_items;
    std::vector<Node> m_nodes;
    std::vector<size_t> m_slot;  // where each id's item is
};
