#pragma once
#include "app/WholeFile.h"
#include "job/Figure.h"
#include "job/Planner.h"

#include <QString>
#include <cstdint>
#include <vector>

class TJob;

// What the duplication dialog's six edits hold: the counts as typed (a
// fraction is cut off only on confirmation), lengths in millimetres.
struct DuplicationParams {
    double ElementsPerRow = 2;
    double RowCount = 1;
    double SpacingX = 0;
    double SpacingY = 0;
    double GapVertical = 0;
    double GapHorizontal = 0;
    friend bool operator==(const DuplicationParams&, const DuplicationParams&) = default;
};

// The grid as it is built: whole counts, spacings in millimetres, gaps and the
// connector's jog in steps (a gap of 0 becomes 1).
struct DuplicationGrid {
    int32_t ElementsPerRow = 0;
    int32_t RowCount = 0;
    double SpacingX = 0;
    double SpacingY = 0;
    int32_t GapVertical = 1;
    int32_t GapHorizontal = 1;
    int32_t Jog = 0;
};

// The grid may hold this many figures at the most.
inline constexpr int64_t MaxDuplicatedFigures = 1000000;

// Spacings 10 mm larger than the pattern, the connector halfway between
// (5 mm each way); the counts are kept.
void SetDefaultSpacing(DuplicationParams& params, double patternWidth, double patternHeight);

// The parameters file of a drawing: its caption with the extension ".dpl".
QString DplFileNameFor(const QString& caption);
// Only a drawing's full path has a place for its parameters file: any other
// caption would put the file wherever the program was started.
bool HasParametersFolder(const QString& caption);

// Reads the parameters file when it is an existing file holding the section;
// missing keys take the defaults (sizes of the pattern in mm). Numbers are
// read with "." or ",". The gaps come back on whole steps.
bool ReadDplFile(const QString& path, double patternWidth, double patternHeight, DuplicationParams& params);
// Writes the grid's parameters into the file, its section erased first; other
// sections stay as they were, byte for byte. A file that can't be read is not
// written; the caller tells the operator.
WriteResult WriteDplFile(const QString& path, const DuplicationGrid& grid);

// The edits the checks may send the operator back to.
enum class DuplicationField { None, ElementsPerRow, RowCount, SpacingX, SpacingY, GapVertical, GapHorizontal };

// The checks before the grid is built, in order; the first failure has been
// told (an error box, or the question on overlapping elements answered other
// than Yes) and its edit is returned. `pattern` is the planned job to copy.
DuplicationField CheckDuplication(const DuplicationParams& params, const TJob& pattern);

// The confirmed grid of checked parameters.
DuplicationGrid ConfirmDuplication(const DuplicationParams& params);

// The zig-zag connector past every element of the grid (its point list; the
// figure is closed). The pattern's start figure marks each element's entry.
std::vector<TFigPoint> DuplicationConnector(const TJob& pattern, const DuplicationGrid& grid);

// Fills `target` with the grid of copies of the pattern's figures (copy k of
// element (a, b) at index (a * n + b) * K + k) and the connector, then plans it.
PlainPlanner::Result BuildDuplicate(const TJob& pattern, const DuplicationGrid& grid, TJob& target);
