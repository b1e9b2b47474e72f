#pragma once
#include "job/Geometry.h"
#include "job/Job.h"
#include "production/Raster.h"

#include <array>
#include <cstdint>

// The outlines traced from PixelGrid in the order of their start cells, in
// steps: cell (column, row) is the point (8 column, 8 row).
extern TFigureList TracedFigures;

struct TGridCell {
    int32_t col = 0;
    int32_t row = 0;
    friend bool operator==(const TGridCell&, const TGridCell&) = default;
};

// The eight neighbours, clockwise from straight up.
constexpr std::array<TGridCell, 8> NeighbourDirections{
    {{0, 1}, {1, 1}, {1, 0}, {1, -1}, {0, -1}, {-1, -1}, {-1, 0}, {-1, 1}}};

// Counts of a cell's neighbours on the raster by kind.
struct TNeighbourKinds {
    int empty = 0;
    int interior = 0;
    int covered = 0;  // covered and not yet visited
    int visited = 0;
};

// Traced ends about this close (steps) meet: six cells.
constexpr int32_t kTraceJoinDistance = 48;
// How far points may stray from a thinned straight run (steps).
constexpr double kTraceThinTolerance = 12.0;

inline int64_t SquaredDistance(const TFigPoint& p, const TFigPoint& q) { return DistanceSqr(p, q); }

// Follows the boundary of the silhouette in PixelGrid from cell to cell,
// marking the cells it visits.
class TContourTracer {
public:
    TGridCell TraceCell;
    TGridCell ScanStart;
    TGridCell OnlyCandidate;
    TFigPoint TracePoint;
    uint8_t LastDir = 0;
    std::unique_ptr<tfigura> TracedFigure;

    // One step's outlines into TracedFigures: every boundary trace, closed
    // where its ends meet, joined to open ones it meets, the short ones dropped
    // when there are others, the first one thinned.
    void TraceSilhouette();

    // The next covered, unvisited cell from ScanStart, row by row upwards.
    bool FindTraceStart();
    int CountFreeNeighbours(TGridCell cell);
    TNeighbourKinds CountNeighbourKinds(TGridCell cell) const;
    // The direction of the nearer of two free neighbours of TraceCell.
    uint8_t NearestOfTwo() const;
    // Moves TraceCell and TracePoint on; false where the trace ends.
    bool TraceNextCell();

private:
    void MoveTo(uint8_t dir);
};

// A finished trace of more than five points whose ends are at most
// kTraceJoinDistance apart is closed by repeating its first point.
void CloseTraceIfEndsMeet(tfigura& figure);
// Joins the new open trace to the first open figure of TracedFigures with an
// end nearer than kTraceJoinDistance to one of its own; false when none has.
bool JoinToOpenFigure(const tfigura& trace);
// Joins the other open figures into an open first figure while their ends meet.
void JoinOpenFigures();
void RemoveTracedFigure(size_t index);
// Drops the points of straight runs that stray less than the tolerance from
// the chord between the run's ends; the first and last points stay.
void ThinContour(tfigura& figure, double tolerance);
