#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

// A multimap from 64-bit keys to 32-bit values in one flat table (open
// addressing, linear probing). Built for the loader's indexes, which hold a few
// hundred thousand entries and only ever grow: no erase, no node allocations.
// Only 32 bits of each key's hash are kept, so a lookup may also visit values of
// other keys: callers check what they find.
class FlatMultiMap {
public:
    void Reserve(size_t n)
    {
        size_t cap = 16;
        while (cap < n * 2)
            cap *= 2;
        if (cap > m_slots.size())
            Rehash(cap);
    }

    void Insert(uint64_t key, int32_t value)
    {
        if ((m_count + 1) * 2 > m_slots.size())
            Rehash(m_slots.empty() ? 16 : m_slots.size() * 2);
        Place(key, value);
        ++m_count;
    }

    // Calls visit(value) for every entry with the key, in no particular order.
    template <typename Visit>
    void ForEach(uint64_t key, Visit&& visit) const
    {
        if (m_slots.empty())
            return;
        const size_t mask = m_slots.size() - 1;
        const uint64_t h = Mix(key);
        const auto tag = static_cast<uint32_t>(h >> 32);
        for (size_t i = h & mask;; i = (i + 1) & mask) {
            const Slot& s = m_slots[i];
            if (s.value < 0)
                return;
            if (s.tag == tag)
                visit(s.value);
        }
    }

    size_t Size() const { return m_count; }

private:
    struct Slot {
        uint32_t tag = 0;    // high half of the key's hash
        int32_t value = -1;  // -1: empty (stored values are never negative)
        uint32_t low = 0;    // low half of the hash, to place the slot again
    };

    static uint64_t Mix(uint64_t k)
    {
        k ^= k >> 33;
        k *= 0xFF51AFD7ED558CCDULL;
        k ^= k >> 33;
        k *= 0xC4CEB9FE1A85EC53ULL;
        k ^= k >> 33;
        return k;
    }

    void PlaceHash(uint64_t h, int32_t value)
    {
        const size_t mask = m_slots.size() - 1;
        size_t i = h & mask;
        while (m_slots[i].value >= 0)
            i = (i + 1) & mask;
        m_slots[i] = {static_cast<uint32_t>(h >> 32), value, static_cast<uint32_t>(h)};
    }

    void Place(uint64_t key, int32_t value) { PlaceHash(Mix(key), value); }

    void Rehash(size_t capacity)
    {
        std::vector<Slot> old = std::move(m_slots);
        m_slots.assign(capacity, Slot{});
        for (const Slot& s : old)
            if (s.value >= 0)
                PlaceHash(static_cast<uint64_t>(s.tag) << 32 | s.low, s.value);
    }

    std::vector<Slot> m_slots;
    size_t m_count = 0;
};
