#pragma once
#include "job/Job.h"

#include <cstddef>
#include <functional>
#include <vector>

// The merge of the front and the back drawing of an independent two-wire cut:
// the planned path of each is captured and the two paths become one pair of
// figures of equal point counts, point i of the front belonging to point i of
// the back at the same fraction of the length of their runs.

// One run of a captured path: the items after `first` up to `last`, all of the
// tag of the item after `first`; `first` (the last item of the run before, or
// item 0) is the run's first point.
struct TPathRun {
    size_t first = 0;
    size_t last = 0;
};
std::vector<TPathRun> PathRuns(const std::vector<TCapturedPoint>& path);

// The first items of the two paths, and the last ones, take the smaller x and
// the smaller y of the pair: both wires start and end at one point.
void AlignPathEnds(std::vector<TCapturedPoint>& front, std::vector<TCapturedPoint>& back);

// Inserts a point where the walk from vertex `base` reaches the fraction f of
// the figure's PathLength (on the last segment when it never does). A segment
// or a run of length 0 puts it at the segment's start.
void InsertPointAtFraction(tfigura& figure, int32_t base, double f);

// One angle per vertex, nothing else.
void RebuildVertexAngles(tfigura& figure);

// Consecutive point pairs closer than 0.5 mm on both profiles become one; the
// last point always stays.
void ThinProfilePair(tfigura& front, tfigura& back);

// The two figures from two captured paths (ends already aligned): the runs
// pair up one by one, each pair copied one to one when both hold the same
// number of items, otherwise each side resampled at the other's fractions.
// False (figures untouched) when the paths hold no runs or not the same number.
bool MergeCapturedPaths(const std::vector<TCapturedPoint>& front, const std::vector<TCapturedPoint>& back,
                        tfigura& frontFigure, tfigura& backFigure);

// Drops a job's captured path and its memory.
void FreeCapturedPath(TJob& job);

enum class MergeOutcome { Merged, FigureCountsDiffer, RunCountsDiffer };

// The whole merge into `target` (an empty job): `capture` fills a source's
// CapturedPath from its planned path as its view draws it. On success the
// target holds the front figure (pen 4) and the back figure (pen 3), shifted
// to the origin, with its bounds, and is a planned two-profile job; the
// caller then closes the sources. Otherwise nothing of the target changes.
MergeOutcome MergeTwoWireJobs(TJob& front, TJob& back, TJob& target, const std::function<void(TJob&)>& capture);
