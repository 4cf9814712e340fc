#pragma once
// Counts of the centre's store that other threads may read at any time
// (the metrics page): writes that failed, receipts sent, group commits.
#include <atomic>
#include <cstdint>

namespace centre {

struct CentreCounters {
    std::atomic<int64_t> StoreErrors{0};  ///< commits of a station's records that did not reach the disk
    std::atomic<int64_t> ReceiptsSent{0}; ///< receipts handed to the broker
    std::atomic<int64_t> Commits{0};      ///< group commits that wrote something
};

} // namespace centre
