// Any bytes as an HPGL drawing.
#include "fuzz/FuzzLoad.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::LoadDrawing(data, size, 1, [](const TJob&) {});
    return 0;
}
