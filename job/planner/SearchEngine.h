#pragma once
#include "job/Figure.h"
#include "job/Planner.h"
#include "job/Spatial.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <queue>
#include <vector>

// Which of the planner's connector searches an engine answers: each pairs
// other vertices and weighs them by its own rule.
enum class SearchKind { Children, ChildrenNearest, Nearest, Any };

// The searches for connectors. Every partner Y already connected keeps the
// best figure X it could enter (with the vertices), in one heap: the best of
// all of them is the pair the plain scan would find first. The weights of a
// pair never change while the planner runs, and figures only ever leave the
// set still to be entered, so a partner's best needs a new search only when
// its X has been entered meanwhile.
//
// The figures to enter sit in trees of boxes (by depth where X is never
// shallower than its partner): a node's box holds its figures' boxes, it knows
// the lightest vertex weight below it and how many figures below it are still
// to be entered, so no pair in a node can weigh less than the bound its box
// and weight give, and an empty node is not opened.
class SearchEngine {
public:
    using Figures = std::vector<std::unique_ptr<tfigura>>;
    using Pair = PlainPlanner::Pair;
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
                 std::vector<int32_t>& minKind);

    // The best pair of every partner connected so far; none once cancelled.
    Pair Best();

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
    // A vertex as the search pairs it: its point (shifted where the search
    // shifts it), its kind, whether it may be entered and its place.
    struct Vertex {
        TFigPoint p;
        int32_t kind, index;
        bool allowed;
    };

    const tfigura& Fig(int32_t i) const { return *(*m_h.figures)[static_cast<size_t>(i)]; }
    bool Connected(int32_t i) const { return Fig(i).NotConnected == 0; }

    Tree Build(std::vector<int32_t> xs, bool open);
    int32_t BuildNode(Tree& t, size_t begin, size_t end, int32_t parent, int depth, bool open);
    static void Deactivate(Tree& t, int32_t leaf);
    int32_t MinKind(int32_t i);
    int64_t LowerBound(const Box& a, int32_t ka, const Box& b, int32_t kb) const;
    void Gather(int32_t i, bool isX, std::vector<Vertex>& out) const;
    template <SearchKind K, bool Plain>
    static int64_t Weigh(const Vertex& a, const Vertex& b);
    template <SearchKind K, bool Plain>
    Pair BestOf(int32_t xi, int32_t yi) const;
    template <SearchKind K>
    Pair BestOf(int32_t xi, int32_t yi, bool plain) const;
    Pair Eval(int32_t xi, int32_t yi) const;
    bool StillOpen(int32_t x);
    void Consider(int32_t xi, int32_t yi, const Box& yBox, int32_t yKind, Pair& best);
    void Search(std::map<int32_t, Tree>& trees, int32_t yi, const Box& yBox, int32_t yKind, Pair& best);
    void Push(int32_t yi);
    size_t Slot(int32_t x) const;
    bool IsX(int32_t x) const;
    bool Spend(int64_t units, bool flush = false);

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
