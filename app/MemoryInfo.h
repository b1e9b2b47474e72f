#pragma once
#include <QByteArray>
#include <QLocale>
#include <QString>
#include <cstdint>

// The figures of the memory information window, in bytes: the host's memory
// and the process's address space, then the state of the C library's heap.
struct MemoryFigures {
    uint64_t totalPhys = 0, availPhys = 0;
    uint64_t totalPageFile = 0, availPageFile = 0;
    uint64_t totalVirtual = 0, availVirtual = 0;
    uint64_t heapTotalAddrSpace = 0, heapTotalUncommitted = 0, heapTotalCommitted = 0;
    uint64_t heapTotalAllocated = 0, heapTotalFree = 0, heapFreeSmall = 0, heapFreeBig = 0;
    uint64_t heapUnused = 0, heapOverhead = 0;
};

// The value of one "Name:   123 kB" line of /proc/meminfo or /proc/self/status,
// in bytes; 0 when the line is missing or unreadable.
uint64_t ProcKilobyteField(const QByteArray& text, const char* name);

// The figures as the host and the heap stand now: physical memory and swap from
// /proc/meminfo, the address space from the process's limit less its size, the
// heap from mallinfo2. A source that can't be read gives zeros.
MemoryFigures ReadMemoryFigures();

// Bytes as the window shows them: whole kilobytes grouped by thousands with the
// locale's separator, then " KB"; "0 KB" below one kilobyte (a host without
// swap, a heap with nothing uncommitted).
QString KilobyteText(uint64_t bytes, const QLocale& locale = QLocale());
