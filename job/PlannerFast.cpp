// The planner's searches answered through indexes: the answers are the ones
// the plain scans over every pair would give, without scanning every pair.
#include "job/Blocks.h"
#include "job/Job.h"
#include "job/Planner.h"
#include "job/Spatial.h"
#include "job/planner/CentreTree.h"
#include "job/planner/ContainerTree.h"
#include "job/planner/PlannerEngines.h"
#include "job/planner/SearchEngine.h"

#include <algorithm>
#include <functional>
#include <optional>
#include <span>

PlainPlanner::PlainPlanner(TJob& job, int mode, bool addFrame)
    : m_job(job), m_figures(&job.FigureList), m_mode(mode), m_addFrame(addFrame)
{
}

PlainPlanner::~PlainPlanner() = default;

void PlainPlanner::ResetEngines() { m_engines.reset(); }

// The count of figures ever attached to a container is read only as "any"
// and "21 or more" (the container's children are then searched through the
// candidate lists), so it stops at 21: a nesting listed outermost first
// attaches every square to every square around it, and counting all of that
// would cost the square of the figures.
namespace {
constexpr int32_t kChildCountCap = 21;

// The depths of the first pass. A figure is outermost (at depth 0) when it is
// placed, so placing it only hangs its tree below its container: each tree
// keeps its depths as offsets to its root, in a union-find of the trees.
class HangingDepths {
public:
    explicit HangingDepths(size_t figures)
        : m_up(figures), m_offset(figures, 0), m_rootDepth(figures, 0), m_members(figures, 1)
    {
        for (size_t x = 0; x < figures; ++x)
            m_up[x] = static_cast<int32_t>(x);
    }

    int32_t DepthOf(int32_t x)
    {
        const int32_t r = Find(x);
        return m_rootDepth[static_cast<size_t>(r)] + (r == x ? 0 : m_offset[static_cast<size_t>(x)]);
    }

    // Hangs the tree of root i (at depth 0) below c.
    void Hang(int32_t i, int32_t c)
    {
        const int32_t delta = DepthOf(c) + 1;
        const int32_t ri = Find(i), rc = Find(c);
        const auto si = static_cast<size_t>(ri), sc = static_cast<size_t>(rc);
        if (m_members[si] < m_members[sc]) {
            m_up[si] = rc;
            m_offset[si] = m_rootDepth[si] + delta - m_rootDepth[sc];
            m_members[sc] += m_members[si];
        } else {
            m_rootDepth[si] += delta;
            m_up[sc] = ri;
            m_offset[sc] = m_rootDepth[sc] - m_rootDepth[si];
            m_members[si] += m_members[sc];
        }
    }

private:
    int32_t Find(int32_t x)
    {
        m_path.clear();
        int32_t r = x;
        while (m_up[static_cast<size_t>(r)] != r) {
            m_path.push_back(r);
            r = m_up[static_cast<size_t>(r)];
        }
        for (size_t k = m_path.size(); k-- > 0;) {
            const auto p = static_cast<size_t>(m_path[k]);
            if (m_up[p] != r) {
                m_offset[p] += m_offset[static_cast<size_t>(m_up[p])];
                m_up[p] = r;
            }
        }
        return r;
    }

    std::vector<int32_t> m_up, m_offset;  // the parent, and the depth below it
    std::vector<int32_t> m_rootDepth, m_members;  // of a root
    std::vector<int32_t> m_path;
};

// The containers of each figure that has few, kept by the first pass in list
// order in one array (the most common case: each later pass then reads the
// list); a figure with many asks the tree each time.
class KeptContainers {
public:
    explicit KeptContainers(size_t figures) : m_from(figures + 1, kNotKept) {}

    // Figure i's list follows (first pass).
    void Begin(int32_t i) { m_from[static_cast<size_t>(i)] = static_cast<uint32_t>(m_list.size()); }
    void Add(int32_t j) { m_list.push_back(j); }
    // The list of figure i, the last begun.
    std::span<const int32_t> Last(int32_t i) const
    {
        const uint32_t from = m_from[static_cast<size_t>(i)];
        return {m_list.data() + from, m_list.size() - from};
    }
    // The first pass is over: every list ends where the next kept one begins.
    void Close()
    {
        m_from.back() = static_cast<uint32_t>(m_list.size());
        for (size_t k = m_from.size() - 1; k-- > 0;)
            if (m_from[k] == kNotKept)
                m_from[k] = m_from[k + 1] | kMany;
    }
    // The list of figure i, false when it has too many to keep.
    bool Of(int32_t i, std::span<const int32_t>& list) const
    {
        const uint32_t from = m_from[static_cast<size_t>(i)];
        if ((from & kMany) != 0)
            return false;
        const uint32_t to = m_from[static_cast<size_t>(i) + 1] & ~kMany;
        list = {m_list.data() + from, to - from};
        return true;
    }

private:
    static constexpr uint32_t kNotKept = UINT32_MAX;
    static constexpr uint32_t kMany = 0x80000000u;  // no list: where the next begins
    std::vector<uint32_t> m_from;
    std::vector<int32_t> m_list;
};
}  // namespace

// What the steps of the containment analysis share. It answers the questions
// of the container tree's walks (the analysis is what knows the depths).
struct PlainPlanner::Containment {
    Containment(PlainPlanner& p, std::vector<std::pair<Box, int32_t>> closed)
        : planner(p), tree(std::move(closed), p.Count(), [&p](int64_t units) { return p.Work(units); }),
          n(p.Count()), container(static_cast<size_t>(n), -1), childCount(static_cast<size_t>(n), 0),
          kids(static_cast<size_t>(n)), first(std::in_place, static_cast<size_t>(n)), large(static_cast<size_t>(n), 0),
          exactWork(64 * static_cast<int64_t>(n)), kept(static_cast<size_t>(n)), walkBudget(p.m_walkBudget)
    {
    }

    // The tree's questions.
    int32_t DepthOf(int32_t x) { return first ? first->DepthOf(x) : depth[static_cast<size_t>(x)]; }
    bool Inside(int32_t j)
    {
        const bool in = planner.FigureInside(looking, j);
        planner.Work(1 + static_cast<int64_t>(planner.Fig(j).Points.size()));
        return in;
    }
    bool Unsaturated(int32_t j) const { return childCount[static_cast<size_t>(j)] < kChildCountCap; }
    bool Spend(int64_t units) { return planner.Work(units); }

    // The steps; each answers false when the planning was cancelled.
    bool FirstPass();
    bool FirstContainer(int32_t i, int32_t& c);
    bool FromKeptList(int32_t i, int32_t& c);
    bool FromDeepest(int32_t i, const Box& b, int32_t& c);
    bool FromListOrder(const Box& b, int32_t i, int32_t& c);
    void Place(int32_t i, int32_t c);
    void EndFirstPass();
    bool LaterPasses();
    bool DeeperContainer(int32_t i, int32_t& c);
    bool Move(int32_t i, int32_t c);
    void Publish();

    // An attach to container j counts for it.
    void Attach(int32_t j)
    {
        int32_t& k = childCount[static_cast<size_t>(j)];
        if (k < kChildCountCap && ++k == kChildCountCap)
            tree.Saturated(j);
    }
    // Attaches, of the containers in list order that `holds` lets through,
    // each one deeper than `above` and every one before it; the last, or -1.
    template <typename Holds>
    int32_t AttachRecords(std::span<const int32_t> list, int32_t above, Holds holds)
    {
        int32_t last = -1;
        for (int32_t j : list)
            if (const int32_t d = DepthOf(j); d > above && holds(j)) {
                Attach(j);
                last = j;
                above = d;
            }
        return last;
    }
    // The attaches deeper than `above` of the figure of box b, walked back
    // from its deepest container c (the last of them): each one before is the
    // deepest of those listed before it. The walk stops as soon as the
    // containers left all have the highest count, which they would keep.
    template <typename Take>
    void WalkBack(const Box& b, int32_t c, int32_t above, bool& stopped, Take take)
    {
        for (int32_t at = c; at >= 0; at = tree.Deepest(b, at, above, *this, stopped)) {
            take(at);
            if (!tree.AnyUnsaturated(b, at, above, *this, stopped))
                break;
        }
    }

    PlainPlanner& planner;
    ContainerTree tree;
    const int32_t n;
    std::vector<int32_t> container, childCount;
    std::vector<int32_t> depth;  // once the first pass is over
    std::vector<std::vector<int32_t>> kids;
    std::optional<HangingDepths> first;  // the depths while the first pass runs
    std::vector<uint8_t> large;  // in a large tree: the container tree lets any depth pass
    int64_t exactWork;           // depths told the container tree exactly, at most
    KeptContainers kept;
    int32_t looking = 0;  // the figure whose containers are looked for
    int64_t walkBudget;   // tree nodes the next walk back may open
    bool changed = false;
    std::vector<int32_t> few, records, firstAt, stack, fresh;  // scratch
};

// In the first pass the figures after the one looked at have not been placed
// yet: they are outermost, at depth 0, and one of them can be the container
// only when no figure before it contains it, the first that contains it then.
bool PlainPlanner::Containment::FirstPass()
{
    for (int32_t i = 0; i < n; ++i) {
        if (!planner.Work())
            return false;
        looking = i;
        int32_t c = -1;
        if (!FirstContainer(i, c))
            return false;
        if (c >= 0)
            Place(i, c);
    }
    return true;
}

// The container of figure i in the first pass (-1: none), its attaches
// counted.
bool PlainPlanner::Containment::FirstContainer(int32_t i, int32_t& c)
{
    constexpr size_t kFew = 64;
    const Box b = Box::Of(planner.Fig(i));
    bool stopped = false;
    if (tree.FewHolders(b, kFew, few, *this, stopped))
        return FromKeptList(i, c);
    if (stopped)
        return false;
    c = tree.Deepest(b, i, -1, *this, stopped);
    if (c >= 0)
        return FromDeepest(i, b, c);
    if (stopped)
        return false;
    c = tree.FirstAfter(b, i, *this, stopped);
    if (c >= 0)
        Attach(c);
    return !stopped;
}

// A figure with few containers keeps them and takes them in list order.
bool PlainPlanner::Containment::FromKeptList(int32_t i, int32_t& c)
{
    std::sort(few.begin(), few.end());
    kept.Begin(i);
    for (int32_t j : few)
        if (Inside(j))
            kept.Add(j);
    if (planner.Cancelled())
        return false;
    const std::span<const int32_t> list = kept.Last(i);
    c = AttachRecords({list.begin(), std::lower_bound(list.begin(), list.end(), i)}, -1, [](int32_t) { return true; });
    if (c < 0) {
        const auto after = std::upper_bound(list.begin(), list.end(), i);
        if (after != list.end()) {
            c = *after;
            Attach(c);
        }
    }
    return true;
}

// Back from the deepest container c while that stays cheap (a nesting listed
// outermost first); else every container before the figure in list order,
// as the pass takes them.
bool PlainPlanner::Containment::FromDeepest(int32_t i, const Box& b, int32_t& c)
{
    bool stopped = false;
    records.clear();
    tree.SetBudget(walkBudget);
    WalkBack(b, c, -1, stopped, [this](int32_t at) { records.push_back(at); });
    const bool exhausted = tree.Exhausted();
    tree.SetBudget(INT64_MAX);
    // Where one figure's walk back was costly, the next one's likely is.
    const int64_t most = planner.m_walkBudget;
    walkBudget = exhausted ? std::max(std::min<int64_t>(64, most), walkBudget / 2) : std::min(most, 2 * walkBudget);
    if (exhausted)
        return FromListOrder(b, i, c);
    if (stopped)
        return false;
    for (int32_t j : records)
        Attach(j);
    return true;
}

// The fallback to list order, for containers whose depths follow no order
// (a shuffled nesting): c is the deepest container of figure i.
bool PlainPlanner::Containment::FromListOrder(const Box& b, int32_t i, int32_t& c)
{
    bool stopped = false;
    tree.FewHolders(b, SIZE_MAX, few, *this, stopped, i);
    if (stopped)
        return false;
    // A container is attached to when it is listed before every one as deep
    // or deeper: the first listed at each depth, if it comes before all the
    // deeper ones. (Should the first at a depth not hold the figure after
    // all, sort them.)
    const int32_t top = DepthOf(c);
    firstAt.assign(static_cast<size_t>(top) + 1, INT32_MAX);
    for (int32_t j : few)
        if (const int32_t d = DepthOf(j); d <= top)
            firstAt[static_cast<size_t>(d)] = std::min(firstAt[static_cast<size_t>(d)], j);
    records.clear();
    bool sorted = true;
    for (int32_t d = top, before = INT32_MAX; d >= 0 && sorted; --d)
        if (const int32_t j = firstAt[static_cast<size_t>(d)]; j < before) {
            sorted = Inside(j);
            records.push_back(j);
            before = j;
        }
    if (sorted) {
        for (int32_t j : records)
            Attach(j);
    } else {
        std::sort(few.begin(), few.end());
        if (const int32_t last = AttachRecords(few, -1, [this](int32_t j) { return Inside(j); }); last >= 0)
            c = last;
    }
    return !planner.Cancelled();
}

// Figure i goes below c. The trees tell the container tree their new depths
// while that work stays within a few times the figures; after that a large
// tree no longer does (the nodes over it let any depth pass until the pass is
// over), so a long chain listed innermost first costs no more.
void PlainPlanner::Containment::Place(int32_t i, int32_t c)
{
    constexpr size_t kSmallTree = 16;
    constexpr int32_t kAnyDepth = INT32_MAX;
    container[static_cast<size_t>(i)] = c;
    kids[static_cast<size_t>(c)].push_back(i);
    first->Hang(i, c);
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
        tree.Raise(x, becomesLarge ? kAnyDepth : DepthOf(x));
    }
    planner.Work(static_cast<int64_t>(fresh.size()));
    changed = true;
}

// Every depth known exactly: the union-find goes.
void PlainPlanner::Containment::EndFirstPass()
{
    kept.Close();
    depth.resize(static_cast<size_t>(n));
    for (int32_t x = 0; x < n; ++x)
        depth[static_cast<size_t>(x)] = DepthOf(x);
    first.reset();
    tree.SetDepths(depth);
}

// The later passes: a figure moves only when a container of it is now
// deeper than the one it has; its tree goes deeper with it.
bool PlainPlanner::Containment::LaterPasses()
{
    while (changed) {
        changed = false;
        for (int32_t i = 0; i < n; ++i) {
            if (!planner.Work())
                return false;
            if (container[static_cast<size_t>(i)] < 0)
                continue;  // nothing contains it
            int32_t c = -1;
            if (!DeeperContainer(i, c))
                return false;
            if (c >= 0 && !Move(i, c))
                return false;
        }
    }
    return true;
}

// The deepest container of figure i deeper than the one it has (-1: none),
// its attaches counted.
bool PlainPlanner::Containment::DeeperContainer(int32_t i, int32_t& c)
{
    looking = i;
    const int32_t above = depth[static_cast<size_t>(container[static_cast<size_t>(i)])];
    if (std::span<const int32_t> list; kept.Of(i, list)) {
        c = AttachRecords(list, above, [](int32_t) { return true; });
        return true;
    }
    const Box b = Box::Of(planner.Fig(i));
    bool stopped = false;
    c = tree.Deepest(b, n, above, *this, stopped);
    if (c >= 0)
        WalkBack(b, c, above, stopped, [this](int32_t at) { Attach(at); });
    return !stopped;
}

// Figure i moves below c, and its tree as deep as it goes.
bool PlainPlanner::Containment::Move(int32_t i, int32_t c)
{
    int32_t& ci = container[static_cast<size_t>(i)];
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
    changed = true;
    return planner.Work(moved);
}

// The figures take what the passes found; the trees the passes kept are the
// children of each container.
void PlainPlanner::Containment::Publish()
{
    int32_t deepest = 0;
    PlannerEngines& e = EnginesOf(planner.m_engines);
    e.children = std::move(kids);
    for (auto& list : e.children)
        std::sort(list.begin(), list.end());
    for (int32_t i = 0; i < n; ++i) {
        tfigura& f = planner.Fig(i);
        f.Depth = depth[static_cast<size_t>(i)];
        f.Container = container[static_cast<size_t>(i)];
        f.ChildCount = childCount[static_cast<size_t>(i)];
        deepest = std::max(deepest, f.Depth);
    }
    // The deepest level ever reached: depths only grow.
    if (deepest > 0)
        planner.m_job.MaxDepth = std::max(planner.m_job.MaxDepth, deepest);
}

// Containment. The passes run as over every pair of figures, but a figure
// looks only at the containers that can change it: of its containers taken in
// list order it is attached to every one deeper than the one it has (each
// such attach counts for that container), and ends with the first of the
// deepest. So the last of those attaches is the deepest container, the one
// before it the deepest of those listed before, and so on back. Where walking
// back opens more tree nodes than a budget (containers whose depths follow no
// order, as in a shuffled nesting), the first pass takes the figure's
// containers listed before it in list order.
void PlainPlanner::co_w_czym()
{
    for (auto& f : F()) {
        f->Depth = 0;
        f->Container = -1;
        f->ChildCount = 0;
    }
    std::vector<std::pair<Box, int32_t>> closed;
    for (int32_t j = 0; j < Count(); ++j)
        if (!Fig(j).IsOpen)
            closed.push_back({Box::Of(Fig(j)), j});
    Containment analysis(*this, std::move(closed));
    if (Cancelled() || !analysis.FirstPass())
        return;
    analysis.EndFirstPass();
    if (analysis.LaterPasses())
        analysis.Publish();
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
