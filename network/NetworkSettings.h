#pragma once
// Where and as whom a station publishes: the broker's address, the
// station's ID and the credentials, given on the command line or in the
// hive's [Network] section (the window program needs no command line); the
// command line wins. Every value is checked before anything starts.
#include <string>

#include "protocol/Broker.h"
#include "datafiles/StationId.h"

namespace net {

/// Which records go to the centre whole, as the files hold them; the
/// others go as their numbers only (the frame and event messages).
enum class WholeRecords { All, Events, None };

/// What publishing needs.
struct NetworkSettings {
    std::string Publish;          ///< the broker's address; empty: no publishing
    std::string Station;          ///< the station's ID
    std::string CaFile;           ///< CA certificates for mqtts://
    std::string User;             ///< user name at the broker; empty: none
    std::string PasswordFile;     ///< file whose first line is the password
    std::string Records;          ///< all, events, none; empty: all

    bool Enabled() const { return !Publish.empty(); }
};

/// The records that go whole by `s.Records` (valid: CheckSettings).
WholeRecords WholeRecordsOf(const NetworkSettings& s);
/// Why `text` is no value of --records (empty when it is one).
std::string RecordsProblem(const std::string& text);

/// Why these settings cannot be used (empty when they can): an address
/// that is not one, a missing or invalid station ID, mqtts:// without a CA
/// file, a CA or password file that cannot be read.
std::string CheckSettings(const NetworkSettings& s);

/// The [Network] section of the hive file `hiveFile` (keys publish,
/// station, mqtt_cafile, mqtt_user, mqtt_password_file, records); what is absent
/// stays empty.
NetworkSettings ReadHiveNetwork(const std::string& hiveFile);

/// `over` where it has a value, else `base`.
NetworkSettings Merge(const NetworkSettings& base, const NetworkSettings& over);

} // namespace net
