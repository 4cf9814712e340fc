#pragma once
// The live progress line of a long export: records done of all, and the
// rate in MB/s. Drawn over itself on a terminal at most five times a
// second; silent when the stream is not a terminal or progress is off.
#include <chrono>
#include <cstdint>
#include <ostream>

namespace dataexport {

/// Progress of a walk over `totalRecords` records.
class Progress {
public:
    Progress(std::ostream& out, int64_t totalRecords, bool enabled);
    /// One more record of `bytes` done.
    void Add(int64_t bytes);
    /// Removes the line (before a message or at the end).
    void Clear();
    /// Seconds since construction.
    double Seconds() const;

private:
    void Draw();

    std::ostream& out_;
    int64_t total_, done_ = 0, bytes_ = 0;
    bool enabled_, shown_ = false;
    std::chrono::steady_clock::time_point start_, lastDraw_;
};

/// "12.5" style text of `v` with one decimal, whatever the locale.
std::string OneDecimal(double v);

} // namespace dataexport
