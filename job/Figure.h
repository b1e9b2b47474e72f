#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

// One vertex of a contour, in steps of 1/40 mm; y grows upwards.
struct TFigPoint {
    int32_t x = 0;
    int32_t y = 0;
    friend bool operator==(const TFigPoint&, const TFigPoint&) = default;
};

// What the planner attaches to each vertex.
struct TFigVertexInfo {
    double Angle = 0.0;    // turning angle at the vertex, radians
    int32_t Kind = 0;      // vertex kind of the planner
    uint8_t EntryAllowed = 0;
};

// One contour of a job: a drawing's polyline, or a connector or frame that a
// planner adds. A closed contour repeats its first point at the end.
class tfigura {
public:
    uint8_t IsFigure = 0;     // 1 drawing figure, 0 connector
    uint8_t Pen = 0;
    double PenWidth = 0.0;
    int32_t Index = 0;
    uint8_t MayOrient = 0;
    int32_t Width = 0;
    int32_t Height = 0;
    int32_t AxisWidth = 0;
    int32_t AxisHeight = 0;
    int32_t MinX = 0;
    int32_t MinY = 0;
    int32_t MaxX = 0;
    int32_t MaxY = 0;
    int32_t OriginX = 0;
    int32_t OriginY = 0;
    std::vector<TFigPoint> Points;
    std::vector<TFigPoint> SecondProfile;
    std::vector<TFigPoint> Outline;
    std::vector<TFigVertexInfo> VertexInfo;
    uint8_t Valid = 0;
    int32_t Depth = 0;
    uint8_t IsOpen = 0;
    uint8_t Visited = 0;
    int32_t OrderId = 0;
    int32_t TurnParent = 0;
    uint8_t Origin = 0;       // 0 drawing, 1 frame added as start, 3 planner connector
    uint8_t Closed = 0;
    int32_t Container = 0;
    uint8_t PlannerMark = 0;  // the plain planner's own mark
    int32_t ConnParent = 0;
    int32_t ConnParentVertex = 0;
    int32_t EntryVertex = 0;
    uint8_t NotConnected = 0;
    int32_t ChildCount = 0;
    int32_t Perimeter = 0;
    int32_t CentreX = 0;
    int32_t CentreY = 0;
    uint8_t Active = 0;
    int32_t IdxMinX = 0;
    int32_t IdxMaxX = 0;
    int32_t IdxMinY = 0;
    int32_t IdxMaxY = 0;
    std::array<int32_t, 22> Nearest{};
    double PathLength = 0.0;
    uint8_t ClosedTrace = 0;

    void AddPoint(const TFigPoint& p) { Points.push_back(p); }

    // Bounds and the reader's closedness test (ends exactly equal, more than two
    // points); no points makes the figure invalid.
    void FinishRead();
};

// Fills the derived fields of a figure from its points (bounds, centre,
// openness with the point tolerance, flags). A figure without points only
// becomes invalid.
void ComputeFigureParameters(tfigura& figure);

// True when the figure has at least two different points.
bool HasTwoDistinctPoints(const tfigura& figure);
