#pragma once
// STORE/coincidences.csv: the coincidences the centre found, one row per
// member with the coincidence's columns repeated, as vfon-export
// --coincidences writes them (id, first_utc, first_ns, n, stations,
// station, file, record from 1, dt_ns from the first member).
#include <cstdint>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

namespace centre {

/// One member of a kept coincidence.
struct KeptMember {
    std::string Station, File;
    int64_t Record = 0; ///< from 1
    int64_t DtNs = 0;   ///< after the first member
    /// What names the event: station, file, record.
    std::tuple<std::string, std::string, int64_t> Key() const { return {Station, File, Record}; }
};

/// One coincidence as the file keeps it.
struct KeptCoincidence {
    int64_t Id = 0;
    int64_t FirstNs = 0;
    int N = 0;            ///< stations among the members
    std::string Stations; ///< "A;B;C", in time order of their first events
    std::vector<KeptMember> Members;
};

inline constexpr const char* kCoincidenceHeader = "id,first_utc,first_ns,n,stations,station,file,record,dt_ns\n";

/// The rows of `c`.
std::string CoincidenceRows(const KeptCoincidence& c);

/// The id of a row of the file; nullopt for the header or a torn line.
std::optional<int64_t> RowId(const std::string& line);

/// The coincidences of the file at `path` in the order of their first rows;
/// only whole lines count (a row being appended is left out).
std::vector<KeptCoincidence> ReadCoincidences(const std::string& path);

/// Coincidence `id` of the file, when it holds it.
std::optional<KeptCoincidence> FindCoincidence(const std::string& path, int64_t id);

} // namespace centre
