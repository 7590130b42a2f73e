#pragma once
// The writer's tables of distinct positions and texture coordinates, in order of
// first appearance. Equality is exactly kzoSameVector / kzoSameVector2: +0 equals
// -0 (the first one seen is stored) and a value holding a NaN equals nothing, so
// every NaN value is a new entry that no search finds.
//
// kzoLinearTable is the plain algorithm: a search from the start for every add
// and every find, cost growing with the square of the model. kzoHashedTable
// gives the same entries and indices in linear expected time, and its add
// already answers the later find; a test compares the two on random models.

#include <array>
#include <bit>
#include <cstdint>
#include <vector>

#include "core/Math.hpp"

inline bool kzoSameValue(const kzoVector& a, const kzoVector& b) { return kzoSameVector(a, b); }
inline bool kzoSameValue(const kzoVector2& a, const kzoVector2& b) { return kzoSameVector2(a, b); }

inline std::array<float, 4> kzoComponents(const kzoVector& v) { return {v.x, v.y, v.z, v.w}; }
inline std::array<float, 2> kzoComponents(const kzoVector2& v) { return {v.x, v.y}; }

template <class Value>
class kzoLinearTable {
public:
    // Appends value unless an equal entry exists.
    void add(const Value& value)
    {
        if (find(value) < 0)
            entries_.push_back(value);
    }

    // Index of the first equal entry, -1 when there is none.
    std::int64_t find(const Value& value) const
    {
        for (std::size_t i = 0; i < entries_.size(); ++i)
            if (kzoSameValue(entries_[i], value))
                return static_cast<std::int64_t>(i);
        return -1;
    }

    const std::vector<Value>& entries() const { return entries_; }
    std::vector<Value> takeEntries() { return std::move(entries_); }

private:
    std::vector<Value> entries_;
};

template <class Value>
class kzoHashedTable {
public:
    // Room for count distinct values without growing.
    void reserve(std::size_t count)
    {
        entries_.reserve(count);
        if ((count + 1) * 2 > slots_.size())
            rebuild(count);
    }

    // Appends value unless an equal entry exists, and answers what the plain
    // table's find answers from then on: the equal entry's index, -1 for a
    // value holding a NaN.
    std::int64_t add(const Value& value)
    {
        std::uint64_t hash = 0;
        if (!hashOf(value, hash)) {
            entries_.push_back(value); // a NaN never matches: always a new entry
            return -1;
        }
        if ((entries_.size() + 1) * 2 > slots_.size())
            rebuild(entries_.size() + 1);
        std::size_t slot = hash & mask();
        for (; slots_[slot] != 0; slot = (slot + 1) & mask())
            if (tagOf(slots_[slot]) == tag(hash) && kzoSameValue(entries_[entryOf(slots_[slot])], value))
                return entryOf(slots_[slot]);
        entries_.push_back(value);
        slots_[slot] = held(entries_.size() - 1, hash);
        return static_cast<std::int64_t>(entries_.size() - 1);
    }

    // The slot value's probe run starts at (null for a NaN or an empty
    // table): a caller prefetches it so that an add some steps later does not
    // wait for memory. (A prefetch inside this function would be dropped: the
    // compiler sees no effect in it and removes the call.)
    const void* slotFor(const Value& value) const
    {
        std::uint64_t hash = 0;
        if (slots_.empty() || !hashOf(value, hash))
            return nullptr;
        return slots_.data() + (hash & mask());
    }

    const std::vector<Value>& entries() const { return entries_; }
    std::vector<Value> takeEntries() { return std::move(entries_); }

private:
    // A slot holds entry + 1 in its low half, 0 when free, and the high half of
    // the value's hash in its high half: most slots of a probe run are passed
    // over without reading their entry.
    static std::uint64_t held(std::size_t entry, std::uint64_t hash) { return (entry + 1) | (hash & ~0xFFFFFFFFull); }
    static std::int64_t entryOf(std::uint64_t slot) { return static_cast<std::int64_t>(slot & 0xFFFFFFFFu) - 1; }
    static std::uint64_t tagOf(std::uint64_t slot) { return slot >> 32; }
    static std::uint64_t tag(std::uint64_t hash) { return hash >> 32; }

    std::size_t mask() const { return slots_.size() - 1; }

    // False for a value holding a NaN. Zeros of either sign hash alike, since
    // they compare equal.
    static bool hashOf(const Value& value, std::uint64_t& hash)
    {
        std::uint64_t h = 0x9E3779B97F4A7C15ull;
        for (const float c : kzoComponents(value)) {
            if (c != c)
                return false;
            h = (h ^ std::bit_cast<std::uint32_t>(c == 0.0f ? 0.0f : c)) * 0x100000001B3ull;
        }
        // Final mix (from splitmix64): the low bits pick the slot.
        h ^= h >> 31;
        h *= 0xBF58476D1CE4E5B9ull;
        h ^= h >> 29;
        hash = h;
        return true;
    }

    // Slots for count entries at a load of at most one half, so probe runs stay
    // short; sizes are powers of two and at least double, so adds stay amortised
    // constant. Entries holding a NaN have no slot.
    void rebuild(std::size_t count)
    {
        std::size_t size = slots_.size() < 16 ? 32 : slots_.size() * 2;
        while ((count + 1) * 2 > size)
            size *= 2;
        slots_.assign(size, 0);
        for (std::size_t e = 0; e < entries_.size(); ++e) {
            std::uint64_t hash = 0;
            if (!hashOf(entries_[e], hash))
                continue;
            std::size_t slot = hash & mask();
            while (slots_[slot] != 0)
                slot = (slot + 1) & mask();
            slots_[slot] = held(e, hash);
        }
    }

    std::vector<Value> entries_;
    std::vector<std::uint64_t> slots_;
};
