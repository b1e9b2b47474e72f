#pragma once
#include "production/Dxf3D.h"  // TVec3f
#include "production/Model.h"

#include <cassert>
#include <cstdint>
#include <vector>

// Values of one raster cell. The tracer adds CellVisited to a covered cell it
// has passed through.
enum : uint8_t {
    CellEmpty = 1,
    CellCovered = 2,
    CellInterior = 4,
    CellVisited = 8,
};

// A two-dimensional byte raster indexed by column, then row, held in one
// block column after column so that a run of rows in one column is contiguous.
class tpix2d {
public:
    // cols by rows cells; an earlier content is dropped.
    void Allocate(int32_t cols, int32_t rows);
    void Fill(uint8_t value);
    void Release();

    int32_t Cols() const { return m_cols; }
    int32_t Rows() const { return m_rows; }
    bool Contains(int32_t col, int32_t row) const { return col >= 0 && col < m_cols && row >= 0 && row < m_rows; }

    uint8_t& operator()(int32_t col, int32_t row)
    {
        assert(Contains(col, row));
        return m_cells[static_cast<size_t>(col) * m_rows + row];
    }
    uint8_t operator()(int32_t col, int32_t row) const
    {
        assert(Contains(col, row));
        return m_cells[static_cast<size_t>(col) * m_rows + row];
    }
    // The first cell of a column; the column's rows follow it.
    uint8_t* Column(int32_t col) { return m_cells.data() + static_cast<size_t>(col) * m_rows; }
    const uint8_t* Column(int32_t col) const { return m_cells.data() + static_cast<size_t>(col) * m_rows; }

private:
    std::vector<uint8_t> m_cells;
    int32_t m_cols = 0;
    int32_t m_rows = 0;
};

// The silhouette of the turned model: columns 0 .. GridCols, rows 0 ..
// GridRows. Row 0 is the bottom of the model; columns grow with the turned x.
extern tpix2d PixelGrid;
// Edge of one cell, mm.
constexpr double GridCellSize = 0.2;
extern int32_t GridCols;
extern int32_t GridRows;
// Angle of the step in hand, degrees.
extern double SerialAngle;
// The model turned by SerialAngle about its vertical axis, centred on the
// origin; lives only within one rasterising step.
extern TriangleList RotatedTriangles;

// The raster's size for the loaded model. The columns cover twice the largest
// distance of a vertex from the turning axis, so that the silhouette fits at
// every angle; the rows cover the model's height.
void ChooseGridSize();

// GridCols + 1 columns of GridRows + 1 cells each (an empty raster when that
// much memory is not to be had), and every cell empty.
void AllocatePixelGrid();
void ClearPixelGrid();

// Turns ModelTriangles by SerialAngle about the vertical axis through the
// model's centre into RotatedTriangles. False when the memory for it is not
// to be had (RotatedTriangles is then empty).
bool RotateModel();
void FreeRotatedModel();

// Covers every cell whose square the projected triangle meets (a triangle seen
// edge-on covers its line), in spans along the triangle's shorter extent.
// Parts beyond the raster are flattened against its sides.
void FillTriangle(const TRawTriangle& t);

// The dense sampler: points at most a cell apart over the triangle, each
// marking the cell it falls in. Slow (its cost grows with the product of the
// triangle's edge lengths); kept as the measure the fill is checked against.
void SwapCorners(TVec3f& a, TVec3f& b);
void MarkPixel(float x, float y);
void RasteriseSegment(const TVec3f& a, const TVec3f& b);
void RasteriseTriangle(const TRawTriangle& t);

// Covered cells whose eight neighbours are all covered become interior; along
// the bottom row the first run of covered cells keeps only its two ends, so
// the outline stays open at the model's base.
void MarkInterior();
