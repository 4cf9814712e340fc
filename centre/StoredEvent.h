#pragma once
// A radio event of a station as the store wrote it to events.csv: what the
// centre's coincidence search is fed once the event is on the disk.
#include <cstdint>
#include <string>

namespace centre {

struct StoredEvent {
    std::string File;   ///< the station's .Rad file
    int64_t Record = 0; ///< from 0, as in events.csv
    int64_t TimeNs = 0; ///< ns since 1970-01-01 UTC
};

} // namespace centre
