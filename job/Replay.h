#pragma once
#include "job/Figure.h"

#include <cstdint>
#include <vector>

class TJob;
struct TCapturedPoint;

// The simulation of a cut, worked out without any window: the wire's way
// through the job as a list of steps in cutting order. The job window
// animates the list; the drawing merge reads the visited vertices of it.
// Nothing here changes the job: figures that the cut turns round are turned
// round only in the list.

// What the replay takes from the settings, read once when it is computed.
struct ReplayOptions {
    int mode = 0;              // work mode
    bool rotaryAxis = false;   // a spindle or a table is in use
    int catDir = 0;            // feed direction: forward, backward, nearer end first
    double cornerPause = 200;  // ms, the cut's pause at a sharp corner

    static ReplayOptions FromSettings(const TJob& job);
};

enum class ReplayKind : uint8_t {
    Plain,       // the connector tree from the start figure
    TwoProfile,  // the wire between the two profiles of a merged job
    Rotary,      // every orientable figure in list order
    Turning,     // the same, nearer ends measured from far above the axis
};

struct ReplayStep {
    enum class Kind : uint8_t {
        Travel,  // the pen moves without cutting (1 unit a pixel)
        Cut,     // the wire cuts (2 units a pixel)
        Wire,    // the wire line between two profiles, then `wait` units
        Pause,   // `wait` units
    };
    Kind kind = Kind::Travel;
    // The figure and vertex (as indexed in the job) a travel or cut reaches;
    // -1 when it reaches no vertex (the job's corner).
    int32_t figure = -1;
    int32_t vertex = -1;
    TFigPoint from, to;  // job steps; a wire runs from the first profile to the second
    double wait = 0;     // units: milliseconds at the slowest simulation speed
};

struct JobReplay {
    ReplayKind kind = ReplayKind::Plain;
    TFigPoint start;  // where the pen stands before the first step
    std::vector<ReplayStep> steps;
};

// The wait of a pixel of travel and of cut, and after a two-profile wire line.
constexpr double kTravelUnitsPerPixel = 1.0;
constexpr double kCutUnitsPerPixel = 2.0;
constexpr double kWireUnits = 50.0;

ReplayKind ReplayKindFor(const TJob& job, const ReplayOptions& options);

// The vertex of the start figure where the plain cut enters the material, -1
// when the job has no usable start figure. A job of one open figure is
// entered at the end the first feed sign asks for: the end with the smaller x
// for +1, the larger x for -1.
int32_t ReplayEntryVertex(const TJob& job);

JobReplay ComputeReplay(const TJob& job, const ReplayOptions& options);

// The captured path: every vertex the replay reaches, in order. Vertices of
// pen-6 figures are skipped, and each one skipped shifts the tags of all
// later records by one; a point equal to the last one kept is not kept again.
std::vector<TCapturedPoint> CapturedPathOf(const TJob& job, const JobReplay& replay);
std::vector<TCapturedPoint> CapturePlannedPath(const TJob& job, const ReplayOptions& options);
