#include "production/Model.h"

TModel ModelInfoRec;
TriangleList ModelTriangles;
std::array<float, 3> ModelSize{0, 0, 0};
double ModelCentreX = 0, ModelCentreY = 0, ModelCentreZ = 0;
