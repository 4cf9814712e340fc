#pragma once
// One station's files in the centre's store, DIR/ID/: trend.csv (the
// columns of `vfon-export --trend`, one line per frame and channel) and
// events.csv, and which records of which data file they hold, so each is
// kept once however often it arrives. Records taken wait in memory until
// Commit writes them, checked and synced (AppendSynced); only then do they
// count as stored and go into the station's receipt. A write that fails
// leaves the file as it was and its records waiting for the next commit.
// A trend.csv of an older header is set aside (trend.old.csv,
// trend.old2.csv, ...), its records still counted as held; a line torn by
// a crash (never reported stored) is cut off when the files are opened.
// Whole records (protocol::RecordMessage) are written into the station's
// data file of the same name at their places (WriteRecordsSynced) before
// their rows, in the same commit: a record whose row is stored is on the
// disk, and one written whose row a crash cut off is written again, the
// same bytes, when the station sends it again. What is held is what the
// rows say, after a restart too.
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "centre/HeldRecords.h"
#include "centre/StoredEvent.h"
#include "centre/SyncedRecords.h"
#include "protocol/Inbound.h"

namespace centre {

class StationFiles {
public:
    /// The files of station `id` in `storeDir` (the folder is made when missing).
    StationFiles(const std::string& storeDir, const std::string& id);
    StationFiles(const StationFiles&) = delete;
    StationFiles& operator=(const StationFiles&) = delete;

    /// Frame and event records stored (on the disk, synced).
    int64_t Frames() const { return frames_; }
    int64_t Events() const { return events_; }

    /// Takes the frame's four trend lines for the next commit; false when
    /// it is held or waiting already.
    bool AddFrame(const protocol::FrameMessage& m);
    /// Takes the event's line for the next commit; false when it is held
    /// or waiting already.
    bool AddEvent(const protocol::EventMessage& m);
    /// Takes a whole record and its rows for the next commit; false when it
    /// is held or waiting already (then it is not written again).
    bool AddRecord(const protocol::RecordMessage& m);
    /// Bytes of whole records waiting to be written.
    size_t WaitingBytes() const { return rawBytes_; }
    /// A record of `file` came again: the next receipt names the file, so a
    /// station that missed a receipt hears of it.
    void Touch(const std::string& file);

    /// Records wait to be written.
    bool Waiting() const { return !trendText_.empty() || !eventsText_.empty() || !raw_.empty(); }
    /// Writes and syncs what waits. Empty when it is stored, else why not
    /// (what failed waits for the next commit).
    std::string Commit();
    /// Something moved since the last receipt (stored, or came again).
    bool ReceiptDue() const { return receiptDue_; }
    /// The receipt's counts: per file, records from the start stored, for
    /// the files that moved last; clears ReceiptDue.
    std::map<std::string, int64_t> TakeReceipt();
    /// The events stored since the last call, with their instants.
    std::vector<StoredEvent> TakeStoredEvents() { return std::exchange(storedEvents_, {}); }

private:
    void Load();
    /// Takes one record into waiting; false when it is held or waiting.
    bool Take(const std::string& file, int64_t record, bool frame);
    /// Writes the waiting whole records into their files; empty when they
    /// are on the disk, else why not (they wait, and so do the rows).
    std::string CommitRecords();

    std::string folder_;
    std::map<std::string, HeldRecords> stored_, waitingTrend_, waitingEvents_;
    std::map<std::string, uint64_t> lastMoved_; ///< file → when it last moved (a running count)
    uint64_t moves_ = 0;
    int64_t frames_ = 0, events_ = 0;
    std::string trendText_, eventsText_;
    std::map<std::string, std::vector<RecordBytes>> raw_; ///< file → whole records waiting
    size_t rawBytes_ = 0;
    std::vector<StoredEvent> eventStamps_, storedEvents_; ///< of eventsText_; stored, not yet taken
    bool receiptDue_ = false;
    bool bothMade_ = false; ///< trend.csv and events.csv exist with their headers
};

} // namespace centre
