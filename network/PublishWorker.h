#pragma once
// The publisher's own thread: it holds the broker connection and the
// outbox, publishes the status it is handed and every frame and event
// record the run has written, read back from the files (whole, as the
// files hold them, or their numbers only, as --records says), and advances the
// outbox only on the centre's receipts (protocol/Receipt.h): the broker's
// acknowledgement only paces sending. At most kWindow records are out
// without a receipt; what has none is sent again, in order, after a
// reconnect, at the start and after kStall without progress, and at the
// end the receipts are waited for a bounded time. A message the broker refuses (MQTT 5
// reason 0x80 and above, e.g. "not authorized" under its access rules) is
// no acknowledgement: its records stay in the outbox, are tried again after
// a pause, and the refusal is kept in words for the operator. Whatever is handed to it is only
// noted under a short lock (the latest status, how far each file may be
// published), so the queue between the run and the network is bounded by
// the number of files, and nobody waits on the network.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "protocol/Messages.h"
#include "network/NetworkSettings.h"
#include "network/Outbox.h"

namespace protocol { class MqttClient; }

namespace net {

/// Everything published from one record: whole records of a file up to a
/// limit (-1: all whole records, for files no run writes any more).
struct FileLimit {
    std::string Name;
    int64_t Limit = -1;
};

class PublishWorker {
public:
    /// Connects in the background to the broker of `s` and starts with what
    /// the outbox of `dataDir` still holds.
    PublishWorker(const NetworkSettings& s, const std::string& dataDir);
    /// Publishes nothing more; saves the outbox; the broker sees a goodbye
    /// after the last status, not the will.
    ~PublishWorker();

    /// The status to publish next (the worker adds time, disk and clock).
    void PostStatus(const protocol::StatusFigures& f);
    /// Records of file `name` up to `limit` may be published.
    void PostLimit(const std::string& name, int64_t limit);
    /// The broker connection holds now.
    bool Connected() const;
    /// Why the centre gets nothing, in words: while not connected, how the
    /// broker refused the connection (empty when it is just away); while
    /// connected, how it refused the last message (empty when it takes them).
    std::string Refusal() const;
    /// Called on a network thread when the connection comes or goes, or
    /// the refusal changes.
    std::function<void()> OnLinkChanged;

private:
    /// Per file: what is sent and what may be.
    struct FileState {
        int64_t Sent = 0;
        int64_t Limit = -1;
    };
    /// What the other threads handed over since the last pass.
    struct Handed {
        std::optional<protocol::StatusFigures> Status;
        std::vector<FileLimit> Limits;
        std::vector<int> Acks;
        std::vector<std::map<std::string, int64_t>> Receipts;
        std::vector<std::pair<int, int>> Refused;
        bool Lost = false, Up = false, Quit = false;
    };
    void Loop();
    /// Waits briefly for something to do (shorter while draining at the
    /// end) and takes what was handed over, under the lock.
    Handed TakeHanded(bool draining);
    /// Notes how far each file may go; true when the outbox lists a file
    /// anew (it is then saved at once).
    bool ApplyLimits(const std::vector<FileLimit>& limits);
    /// Publishes the status while connected, else keeps it for the
    /// connection to come unless a newer one came meanwhile.
    void HandOnStatus(const std::optional<protocol::StatusFigures>& status, bool up);
    /// Sends the files' records while the window has room and no refusal
    /// pause holds; true when something was sent.
    bool PublishFiles();
    /// The station is off, as its will would say; waits briefly for the
    /// broker's acknowledgement.
    void SayGoodbye();
    void PublishStatus(protocol::StatusFigures f);
    /// Sends records of one file while the window of unreceipted
    /// messages has room; true when something was sent. `rest`: records
    /// the file may publish are still unsent.
    bool SendRecords(OutboxFile& entry, FileState& st, bool& rest);
    /// The broker took messages: room in its window, and it takes them again.
    void ApplyAcks(const std::vector<int>& mids);
    /// The centre has stored records: the outbox moves on; true when it did.
    bool ApplyReceipts(const std::vector<std::map<std::string, int64_t>>& receipts);
    /// Records sent that have no receipt yet.
    int64_t Unreceipted();
    /// The broker refused messages: nothing sent since counts, and sending
    /// pauses; the refusal is kept for the operator.
    void ApplyRefusals(const std::vector<std::pair<int, int>>& refused);
    /// What was sent and has no receipt goes again, from the outbox's counts.
    void Rewind();
    /// Drops files all of whose records are receipted and that no run writes.
    void ForgetDone();

    NetworkSettings settings_;
    std::string dataDir_;
    std::unique_ptr<protocol::MqttClient> client_;
    Outbox outbox_;
    std::map<std::string, FileState> files_;
    std::map<int, std::pair<std::string, int64_t>> inflight_; ///< mid → file, record

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::optional<protocol::StatusFigures> status_;
    std::vector<FileLimit> limits_;
    std::vector<int> acks_;
    std::vector<std::map<std::string, int64_t>> receipts_;
    std::vector<std::pair<int, int>> refused_; ///< mid, reason code
    std::string connectRefusal_;               ///< how the broker refused the connection
    std::string publishRefusal_;               ///< how it refused the last message
    std::chrono::steady_clock::time_point pauseUntil_{}; ///< no records sent before (loop's own)
    bool lost_ = false;      ///< the connection dropped since the last pass
    bool connectedNow_ = false;
    bool quit_ = false;
    std::thread thread_;
};

} // namespace net
