#pragma once
// What the centre has stored, per data file: the files are the outbox,
// and a small state file in the data folder (".vfon-outbox") remembers how
// many records of each the centre's receipts have named, so after an
// outage or a restart the rest is published from the files, in order.
// A file stays listed until all its records are receipted and no run
// writes it any more.
#include <cstdint>
#include <string>
#include <vector>

namespace net {

/// One data file of the outbox.
struct OutboxFile {
    std::string Name;   ///< the file's name in the data folder
    int64_t Acked = 0;  ///< records 0..Acked-1 stored by the centre (receipted)
};

class Outbox {
public:
    /// The outbox of the data folder `dataDir` (empty: the current one).
    explicit Outbox(std::string dataDir);
    /// Reads the state file; a missing or unreadable one is an empty outbox.
    void Load();
    /// Writes the state file under a temporary name and renames it into
    /// place, so a kill never leaves half of it. False when it failed.
    bool Save() const;
    /// The entry of `name`, added at the end when new.
    OutboxFile& Entry(const std::string& name);
    void Forget(const std::string& name);
    std::vector<OutboxFile>& Files() { return files_; }
    /// `name` with the data folder in front.
    std::string PathOf(const std::string& name) const;
    std::string StatePath() const { return PathOf(".vfon-outbox"); }

private:
    std::string dir_;
    std::vector<OutboxFile> files_;
};

} // namespace net
