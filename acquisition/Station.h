#pragma once
// What a station is, in one value: where its driver library is registered
// (the hive file and the key), which boards it has and what each does (from
// the profile table), and the folder its data files go to. A run is started
// on a station; nothing else names a board, a hive or a folder.
#include <string>
#include <vector>

#include "driver/BoardProfiles.h"

namespace acq {

/// The hive key under which the driver library's path is registered.
struct DriverKey {
    std::string Company;
    std::string Product;
    std::string Version;
    std::string Device;
};

struct Station {
    /// The hive file to read; empty: the usual choice (VFON_HIVE, then the
    /// machine-wide file, then the user's).
    std::string Hive;
    DriverKey Driver;
    /// The folder the run's files are written to; empty: the current one.
    std::string DataDir;
    /// The boards in the order of the factory calls and the Init numbers.
    std::vector<boards::Board> Boards;

    /// The station of the profile table: its five boards, the driver's key,
    /// the usual hive, the current folder.
    static Station Default();
    /// Indices into Boards of the boards with role `role`, in order.
    std::vector<int> IndicesOf(boards::Role role) const;
};

} // namespace acq
