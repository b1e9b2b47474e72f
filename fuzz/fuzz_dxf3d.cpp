// Any bytes as a three-dimensional DXF model.
#include "production/Dxf3D.h"

#include <QByteArray>
#include <cmath>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Budgets small enough for the fuzzer's time limit; what matters is that
    // every one of them ends a file as an empty model.
    const TDxfBudget budget{20'000, 200'000, 2'000'000};
    TDxf2RawConverter converter(QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)), {},
                                budget);
    const bool ok = converter.Convert();
    if ((!ok && !converter.Triangles.empty()) || converter.Triangles.size() > budget.triangles)
        __builtin_trap();
    for (const TRawTriangle& t : converter.Triangles) {
        const float* c = &t.x1;
        for (int i = 0; i < 9; ++i)
            if (!std::isfinite(c[i]))
                __builtin_trap();
    }
    return 0;
}
