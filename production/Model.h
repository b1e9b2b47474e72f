#pragma once
#include <QString>
#include <array>
#include <vector>

// The loaded three-dimensional model: extents in millimetres and the file it
// came from. The generator sets the file name before reading; the reader
// fills the extents when it has read the file.
struct TModel {
    double xmin = 0, ymin = 0, zmin = 0, xmax = 0, ymax = 0, zmax = 0;
    QString FileName;
};

// One triangle of the model, its three corners in millimetres. The y axis is
// the model's vertical axis: the generator turns the model about it.
struct TRawTriangle {
    float x1 = 0, y1 = 0, z1 = 0, x2 = 0, y2 = 0, z2 = 0, x3 = 0, y3 = 0, z3 = 0;
};

// The model's triangles in file order, held in one contiguous block.
using TriangleList = std::vector<TRawTriangle>;

extern TModel ModelInfoRec;
extern TriangleList ModelTriangles;
// Extent along x, y and z.
extern std::array<float, 3> ModelSize;
// Centre of the bounding box.
extern double ModelCentreX, ModelCentreY, ModelCentreZ;
