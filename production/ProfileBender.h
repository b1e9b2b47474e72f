#pragma once
#include "job/Figure.h"

#include <cstdint>
#include <vector>

class TJob;

// The profile bender: the open curve of a job unrolled into a straight strip
// lying at the height of the notch depth, with a V notch down to the base at
// every inner vertex, as wide as the bend there needs, so that the strip cut
// from foam bends back to the curve. Coordinates in steps, y upwards.

// The curve's points with consecutive equal points taken as one: a segment of
// no length has no direction to bend from.
std::vector<TFigPoint> DistinctCurvePoints(const std::vector<TFigPoint>& points);

// The turn at b along a -> b -> c: the direction of b -> c minus that of
// a -> b, counter-clockwise positive, in [-pi, pi].
double CurveTurn(const TFigPoint& a, const TFigPoint& b, const TFigPoint& c);

// The strip's points for a curve of distinct points (at least three) and a
// depth in steps: (0, depth), then (c - w, depth), (c, 0), (c + w, depth) per
// inner vertex at its unrolled position c with w = |tan(turn / 2)| x depth,
// and (length, depth). `overlap` tells that a notch reaches into the one
// before it or beyond either end of the strip: such a strip can't be cut as
// drawn. A notch too wide for the coordinates is kept inside them, and marked
// the same way.
std::vector<TFigPoint> NotchedStripPoints(const std::vector<TFigPoint>& curve, int32_t depth, bool& overlap);

// Why a curve gives no strip.
enum class CurveVerdict {
    Accepted,
    Ignored,          // no depth, or too few points: nothing to say
    SeveralFigures,   // the job is not one open figure
    BendsBothWays,    // or doubles back on itself
};

// What the bender window does with its source job.
class ProfileBender {
public:
    explicit ProfileBender(const TJob* source = nullptr) : SourceJob(source) {}

    const TJob* SourceJob;
    uint8_t NotchesOverlap = 0;

    // The verdict on the source's first figure at this depth (mm), silently.
    CurveVerdict JudgeSourceCurve(double depthMm) const;
    // True when a strip may be made; otherwise the operator is told why,
    // unless there is nothing to tell.
    bool CheckSourceCurve(double depthMm) const;
    // Adds the strip of the source curve to `result`; sets NotchesOverlap.
    void BuildNotchedStrip(TJob& result, double depthMm);
    // `result` (a new job) becomes the planned strip job: its only figure the
    // strip, its bounds and sizes set. Returns NotchesOverlap.
    bool BuildStripJob(TJob& result, double depthMm);
};
