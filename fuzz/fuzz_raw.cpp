// Any bytes as a RAW triangle text model.
#include "production/ModelReader.h"

#include <QString>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <sys/mman.h>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const int fd = memfd_create("model", 0);
    if (ftruncate(fd, 0) != 0 || pwrite(fd, data, size, 0) != static_cast<ssize_t>(size))
        return 0;
    // Every unit, the foot reaching furthest past the float range.
    const int32_t unit = static_cast<int32_t>(size % 3);
    ModelBounds bounds;
    const TriangleList list = ReadRawText(QString("/proc/self/fd/%1").arg(fd), unit, bounds);
    // A triangle takes at least 17 bytes (nine digits, eight blanks).
    if (list.size() * 17 > size || list.empty() != bounds.Empty())
        __builtin_trap();
    for (const TRawTriangle& t : list) {
        const float* c = &t.x1;
        for (int i = 0; i < 9; ++i) {
            if (!std::isfinite(c[i]))
                __builtin_trap();
            const double lo = i % 3 == 0 ? bounds.xmin : i % 3 == 1 ? bounds.ymin : bounds.zmin;
            const double hi = i % 3 == 0 ? bounds.xmax : i % 3 == 1 ? bounds.ymax : bounds.zmax;
            if (c[i] < lo || c[i] > hi)
                __builtin_trap();
        }
    }
    return 0;
}
