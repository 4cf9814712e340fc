#pragma once
// What the centre's web front answers: the status page, /stations.json,
// /metrics, each station's page /station/ID with its history and files, and
// Chart.js for it; all from the last snapshot of the store and its files.
#include <QString>
#include <cstdint>

#include "centre/CentreSnapshot.h"
#include "centre/HttpFront.h"

namespace centre {

/// The answer to GET `path` with `query` from `snapshot` at `nowNs` (the
/// centre's clock).
HttpReply CentreAnswer(const CentreSnapshot& snapshot, const QString& path, const QString& query, int64_t nowNs);

} // namespace centre
