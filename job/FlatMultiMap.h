#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

// A multimap from 64-bit keys to 32-bit values in one flat table (open
// addressing, linear probing). Built for the loader's indexes, which hold a few
// hundred thousand entries: no node allocations.
// Entries are told apart by a 64-bit hash of the key, so a lookup may (very
// rarely) also visit values of another key: callers check what they find.
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
        for (size_t i = h & mask;; i = (i + 1) & mask) {
            const Slot& s = m_slots[i];
            if (s.value < 0)
                return;
            if (HashOf(s) == h)
                visit(s.value);
        }
    }

    // Removes one entry with the key and the value; false when there is none.
    bool Erase(uint64_t key, int32_t value)
    {
        if (m_slots.empty())
            return false;
        const size_t mask = m_slots.size() - 1;
        const uint64_t h = Mix(key);
        for (size_t i = h & mask; m_slots[i].value >= 0; i = (i + 1) & mask) {
            if (HashOf(m_slots[i]) == h && m_slots[i].value == value) {
                RemoveAt(i);
                return true;
            }
        }
        return false;
    }

    size_t Size() const { return m_count; }

private:
    struct Slot {
        uint32_t tag = 0;    // high half of the key's hash
        int32_t value = -1;  // -1: empty (stored values are never negative)
        uint32_t low = 0;    // low half of the hash
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

    static uint64_t HashOf(const Slot& s) { return static_cast<uint64_t>(s.tag) << 32 | s.low; }

    // Backward-shift deletion: the entries after the hole that may live there
    // move up, so no lookup ever stops early at the hole.
    void RemoveAt(size_t hole)
    {
        const size_t mask = m_slots.size() - 1;
        for (size_t j = (hole + 1) & mask; m_slots[j].value >= 0; j = (j + 1) & mask) {
            const size_t home = HashOf(m_slots[j]) & mask;
            const bool between = hole <= j ? (hole < home && home <= j) : (hole < home || home <= j);
            if (!between) {
                m_slots[hole] = m_slots[j];
                hole = j;
            }
        }
        m_slots[hole] = Slot{};
        --m_count;
    }

    void Rehash(size_t capacity)
    {
        std::vector<Slot> old = std::move(m_slots);
        m_slots.assign(capacity, Slot{});
        for (const Slot& s : old)
            if (s.value >= 0)
                PlaceHash(HashOf(s), s.value);
    }

    std::vector<Slot> m_slots;
    size_t m_count = 0;
};
