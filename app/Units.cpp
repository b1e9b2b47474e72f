#include "app/Units.h"
int32_t CurrentLengthUnit = 0;
