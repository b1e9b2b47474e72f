#pragma once
#include "job/Figure.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

class TJob;

// The stages of planning that can take long on a large or odd drawing.
enum class PlanPhase {
    Analysis,        // vertex angles and containment
    StartFigure,     // the lead-in tests and what touches the start figure
    TouchingLinks,   // figures entered where they touch
    NearestLists,    // the candidate lists of large jobs
    Containers,      // the searches inside each container
    Connectors,      // the searches between outer groups
    CrossingRepair,  // moving a connector off the figures it would cut
};

// Told of the planner's progress ("Ready N%"); answers false when the operator
// cancels the planning. Every stage asks now and then (every millisecond or
// so of work), so a cancel is seen at once whatever the drawing.
class PlanProgress {
public:
    virtual ~PlanProgress() = default;
    virtual bool Continue(int percent) = 0;
    // A stage begins; it ends where the next begins (the crossing repair,
    // inside a search stage, gives that stage back when it is done).
    virtual void Phase(PlanPhase) {}
};

// The plain cutting planner: one start figure, the entry vertices of every
// figure, and connectors added one at a time (always the cheapest) until every
// figure hangs in one tree rooted at the start figure. Figures that touch are
// linked without a connector.
//
// The expensive searches answer through spatial indexes and incremental
// candidate queues; they give the answers a plain scan over every pair gives.
class PlainPlanner {
public:
    enum class Result { Planned, Empty, Cancelled, Unreachable };

    PlainPlanner(TJob& job, int mode, bool addFrame);
    ~PlainPlanner();
    PlainPlanner(const PlainPlanner&) = delete;
    PlainPlanner& operator=(const PlainPlanner&) = delete;

    Result Run(PlanProgress* progress = nullptr);
    // Units of work (a vertex compared, an edge tested) between two questions
    // to the progress; small values serve tests.
    void SetReportInterval(int64_t units) { m_reportEvery = std::max<int64_t>(1, units); }
    // Tree nodes the containment analysis opens for one figure before it
    // takes all the figure's containers in list order instead; small values
    // serve tests.
    void SetContainmentBudget(int64_t nodes) { m_walkBudget = std::max<int64_t>(0, nodes); }
    // Threads that build the nearest lists (0: as many as the machine has,
    // for a job large enough).
    void SetListThreads(int threads) { m_listThreads = std::max(0, threads); }
    // Figures still without a link when planning stopped.
    int Unconnected() const { return static_cast<int>(F().size()) - m_connectedCount; }

    // A connector search's choice: the unconnected figure X entered at vertex
    // vx from the connected figure Y at vertex vy, at weighted distance w. The
    // search keeps the first strictly smaller w in the scan order X, Y, vx, vy,
    // so the smallest (w, x, y, vx, vy) wins.
    struct Pair {
        int64_t w = INT64_MAX;
        int32_t x = -1, y = -1, vx = -1, vy = -1;
        bool operator<(const Pair& o) const
        {
            if (w != o.w) return w < o.w;
            if (x != o.x) return x < o.x;
            if (y != o.y) return y < o.y;
            if (vx != o.vx) return vx < o.vx;
            return vy < o.vy;
        }
        bool operator>(const Pair& o) const { return o < *this; }
        bool operator==(const Pair& o) const = default;
        bool Valid() const { return x >= 0; }
    };

    // The distance rules of the searches.
    // Weighted: the squared distance times Kind/10 for each end that may be
    // entered (X's end first), in integers, truncating after each end.
    static int64_t Weighted(int64_t d2, const TFigVertexInfo& vx, const TFigVertexInfo& vy);
    // Both ends count one half.
    static int64_t Halved(int64_t d2);
    // The two with a given product: saturating (as above), or plain where the
    // searches know that no product can overflow.
    template <typename Product>
    static int64_t WeightedBy(Product product, int64_t d2, int32_t kindX, bool allowedX, int32_t kindY, bool allowedY)
    {
        if (allowedX)
            d2 = product(d2, kindX) / 10;
        if (allowedY)
            d2 = product(d2, kindY) / 10;
        return d2;
    }
    template <typename Product>
    static int64_t HalvedBy(Product product, int64_t d2)
    {
        return product(product(d2, 5) / 10, 5) / 10;
    }
    static int32_t Stride(size_t vertexCount);
    // Where ConnectChildren measures from: a point moved by (d, d) with d by
    // the parity of the depth (X: 2, Y: 1).
    static TFigPoint Shifted(const TFigPoint& p, int32_t depth, int32_t amount);

protected:
    std::vector<std::unique_ptr<tfigura>>& F() const { return *m_figures; }
    tfigura& Fig(int32_t i) const { return *F()[static_cast<size_t>(i)]; }
    int32_t Count() const { return static_cast<int32_t>(F().size()); }
    bool Connected(int32_t i) const { return Fig(i).NotConnected == 0; }
    void SetConnected(int32_t i, bool connected);
    int32_t StartFigure() const;
    // Figures in the order they became connected (the searches' new partners).
    const std::vector<int32_t>& ConnectionLog() const { return m_log; }

    // Rules the searches and stages share.
    bool FigureInside(int32_t a, int32_t b) const;
    void PropagateDepth(int32_t k);
    bool FindTouchingVertices(int32_t a, int32_t b, int32_t& va, int32_t& vb);
    void LinkTouching(int32_t parent, int32_t vp, int32_t child, int32_t vc);
    int32_t ConnectorCrossing(int32_t a, int32_t va, int32_t b, int32_t vb) const;
    int32_t NearestVertexToCorner(int32_t f) const;
    bool YAllowedByAny(int32_t x, int32_t y) const;
    bool InNearest(int32_t x, int32_t y) const;
    // Repairs a chosen pair against crossings and adds its connector.
    void MakeConnector(Pair pair, int32_t container, bool startConnector);

    // The searches and analyses; each returns whether a candidate was found.
    void co_w_czym();
    bool VertexNearOtherFigure(int32_t v, int32_t f);
    void LinkStartTouching();
    void LinkTouchingFigures();
    void BuildNearestLists();
    Pair SearchChildren(int32_t c);
    Pair SearchChildrenNearest(int32_t c);
    Pair SearchNearest();
    Pair SearchAny();
    Pair SearchStart();

    // Counts work done; every so many units asks the progress whether to go
    // on. False once the operator has cancelled: the stage stops at once.
    bool Work(int64_t units = 1)
    {
        m_workLeft -= units;
        return m_workLeft > 0 || Report();
    }
    bool Cancelled() const { return m_cancelled; }
    void EnterPhase(PlanPhase phase);
    PlanPhase CurrentPhase() const { return m_phase; }

    std::unique_ptr<class PlannerEngines> m_engines;
    void ResetEngines();
    // Every vertex of the job in a grid (the program's searches), until the
    // touching links are done with it.
    class VertexGrid& Vertices();
    void DropVertices();
    struct SearchView View();

    TJob& m_job;
    std::vector<std::unique_ptr<tfigura>>* m_figures;
    int m_mode;
    bool m_addFrame;
    bool m_useNearest = false;

private:
    // The containment analysis's steps and the state they share.
    struct Containment;

    bool ConnectStart();
    bool ConnectChildren(int32_t c);
    bool ConnectChildrenNearest(int32_t c);
    bool ConnectNearest();
    bool ConnectAny();
    void RemovePreviousPlan();
    void RebuildVertexInfo(tfigura& f);
    void MarkEntryVertices();
    bool IsStartCandidate(int32_t f);
    void AddJobFrame();
    void AddCornerStub();
    int32_t OpenStartEntry();
    void AddDepthToAll(int32_t d);
    int32_t Append(std::unique_ptr<tfigura> f);
    bool Report();

    int32_t m_connectedCount = 0;
    std::vector<int32_t> m_log;
    PlanProgress* m_progress = nullptr;
    PlanPhase m_phase = PlanPhase::Analysis;
    int64_t m_reportEvery = 1 << 16;
    int64_t m_walkBudget = 4096;
    int m_listThreads = 0;
    int64_t m_workLeft = 1 << 16;
    bool m_cancelled = false;
};
