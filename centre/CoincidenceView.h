#pragma once
// What the pages show of the coincidences: the last ones found, and the
// counts per station pair, per multiplicity and per pair and UTC day beside
// the accidentals chance alone makes: expected from each station's event
// rate (coinc::AccidentalRate, coinc::ExpectedByMultiplicity) and found by
// the same search with the stations shifted apart by whole seconds
// (coinc::EmpiricalByMultiplicity). All over the events the centre's
// search holds (the horizon).
#include <QByteArray>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "centre/CoincidenceFile.h"
#include "coincidence/Events.h"

namespace centre {

/// Coincidences the page lists.
inline constexpr size_t kRecentCoincidences = 20;
/// Stations up to which every pair is also searched shifted apart (the
/// shifted search costs ten searches per pair) and every pair's day is
/// listed (beyond, only the days with coincidences of the pair).
inline constexpr size_t kEmpiricalPairsUpTo = 16;

struct CoincidenceView {
    struct Count {
        std::string What;                ///< "A;B" of a pair, the multiplicity, or a day
        std::string Pair;                ///< of a day's count: "A;B"
        int64_t Observed = 0;
        double Expected = 0.0;
        std::optional<double> Empirical; ///< when searched
    };
    int64_t WindowNs = 0, HorizonNs = 0;
    double Seconds = 0.0;                ///< span of the events held
    std::vector<std::pair<std::string, double>> Rates; ///< events per second of each station
    std::vector<Count> Pairs, Folds, Days;
    int64_t Held = 0;                    ///< coincidences held
    std::vector<KeptCoincidence> Recent; ///< newest first
};

/// The view of `stations`' events and the coincidences `kept` among them
/// (in time order).
CoincidenceView MakeCoincidenceView(const std::vector<coinc::StationEvents>& stations,
                                    const std::vector<KeptCoincidence>& kept, int64_t windowNs, int64_t horizonNs);

/// /coincidences.json.
QByteArray CoincidencesJson(const CoincidenceView& v);

} // namespace centre
