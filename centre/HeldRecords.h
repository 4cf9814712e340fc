#pragma once
// Which records of one data file a store holds: every record below a count
// and a few beyond it, so that "how many from the start" (what a receipt
// tells) is at hand and a record that comes twice is seen as held.
#include <cstdint>
#include <set>

namespace centre {

struct HeldRecords {
    int64_t Prefix = 0;          ///< records 0..Prefix-1 held
    std::set<int64_t> Ahead;     ///< held beyond Prefix
    bool Has(int64_t r) const { return r < Prefix || Ahead.count(r) > 0; }
    int64_t Count() const { return Prefix + static_cast<int64_t>(Ahead.size()); }
    void Add(int64_t r)
    {
        if (r < 0 || Has(r))
            return;
        if (r != Prefix) {
            Ahead.insert(r);
            return;
        }
        ++Prefix;
        while (!Ahead.empty() && *Ahead.begin() == Prefix) {
            Ahead.erase(Ahead.begin());
            ++Prefix;
        }
    }
    void Merge(const HeldRecords& other)
    {
        for (int64_t r = 0; r < other.Prefix; ++r)
            Add(r);
        for (int64_t r : other.Ahead)
            Add(r);
    }
};

} // namespace centre
