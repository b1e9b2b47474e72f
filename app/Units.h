#pragma once
#include <cstdint>
extern int32_t CurrentLengthUnit;
