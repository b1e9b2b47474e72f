#include "job/CutState.h"

int32_t JobFileMode = 32;
double CutOriginX = 0.0, CutOriginY = 0.0;
double AxisOffsetX = 0.0, AxisOffsetY = 0.0;
TMmPoint FrontStartPoint;
TMmPoint SideStartPoint;
bool CutOffModel = false;
std::array<int32_t, 10> SerialPosition{};
