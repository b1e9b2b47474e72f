#include "app/MemoryInfo.h"

#include <QFile>
#include <malloc.h>
#include <sys/resource.h>

namespace {
QByteArray ReadProcFile(const char* path)
{
    // Files under /proc report a size of 0: read until the end instead.
    QFile file(QString::fromLatin1(path));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

// The user address space of the architecture the program runs on: what a
// process may map when no limit is set.
uint64_t UserAddressSpace()
{
    if constexpr (sizeof(void*) == 4)
        return uint64_t{3} << 30;
#if defined(__aarch64__)
    return uint64_t{1} << 48;
#else
    return uint64_t{1} << 47;
#endif
}
}  // namespace

uint64_t ProcKilobyteField(const QByteArray& text, const char* name)
{
    const QByteArray key = QByteArray(name) + ':';
    for (const QByteArray& line : text.split('\n')) {
        if (!line.startsWith(key))
            continue;
        const QList<QByteArray> parts = line.mid(key.size()).simplified().split(' ');
        bool ok = false;
        const qulonglong value = parts.value(0).toULongLong(&ok);
        if (!ok)
            return 0;
        // Every field of these files that carries a unit carries "kB".
        return parts.value(1) == "kB" ? uint64_t{value} * 1024 : uint64_t{value};
    }
    return 0;
}

MemoryFigures ReadMemoryFigures()
{
    MemoryFigures f;
    const QByteArray meminfo = ReadProcFile("/proc/meminfo");
    f.totalPhys = ProcKilobyteField(meminfo, "MemTotal");
    f.availPhys = ProcKilobyteField(meminfo, "MemAvailable");
    f.totalPageFile = ProcKilobyteField(meminfo, "SwapTotal");
    f.availPageFile = ProcKilobyteField(meminfo, "SwapFree");

    rlimit limit{};
    if (getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY)
        f.totalVirtual = limit.rlim_cur;
    else
        f.totalVirtual = UserAddressSpace();
    const uint64_t used = ProcKilobyteField(ReadProcFile("/proc/self/status"), "VmSize");
    f.availVirtual = f.totalVirtual > used ? f.totalVirtual - used : 0;

    const struct mallinfo2 heap = mallinfo2();
    f.heapTotalAddrSpace = heap.arena + heap.hblkhd;
    f.heapTotalCommitted = f.heapTotalAddrSpace;
    f.heapTotalUncommitted = 0;  // glibc commits all it maps
    f.heapTotalAllocated = heap.uordblks + heap.hblkhd;
    f.heapTotalFree = heap.fordblks;
    f.heapFreeSmall = heap.fsmblks;
    f.heapFreeBig = heap.fordblks > heap.fsmblks ? heap.fordblks - heap.fsmblks : 0;
    f.heapUnused = heap.keepcost;
    const uint64_t accounted = uint64_t{heap.uordblks} + heap.fordblks;
    f.heapOverhead = heap.arena > accounted ? heap.arena - accounted : 0;
    return f;
}

QString KilobyteText(uint64_t bytes, const QLocale& locale)
{
    const uint64_t kb = bytes / 1024;
    const QString digits = QString::number(kb);
    // Every three digits, whatever grouping the locale itself would apply to
    // short numbers: the window lines its figures up by thousands.
    const QString separator = locale.groupSeparator();
    QString text;
    for (qsizetype i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            text += separator;
        text += digits[i];
    }
    return text + QStringLiteral(" KB");
}
