#pragma once
// Where and as whom a station publishes: the broker's address, the
// station's ID and the credentials. Given on the command line or in the
// hive's [Network] section (the window program needs no command line); the
// command line wins. Every value is checked before anything starts.
#include <string>

namespace net {

/// The longest station ID.
inline constexpr size_t kStationIdMax = 32;
/// Seconds between keep-alives with the broker (a killed station shows
/// offline after 1.5 times this).
inline constexpr int kKeepAliveSeconds = 10;

/// A broker address "mqtt://HOST:PORT" or "mqtts://HOST:PORT", taken apart.
struct BrokerAddress {
    std::string Host;
    int Port = 0;
    bool Tls = false;
};

/// What publishing needs.
struct NetworkSettings {
    std::string Publish;          ///< the broker's address; empty: no publishing
    std::string Station;          ///< the station's ID
    std::string CaFile;           ///< CA certificates for mqtts://
    std::string User;             ///< user name at the broker; empty: none
    std::string PasswordFile;     ///< file whose first line is the password

    bool Enabled() const { return !Publish.empty(); }
};

/// True for 1..32 characters of A-Z a-z 0-9 _ -.
bool ValidStationId(const std::string& id);

/// Takes `url` apart; an empty text when it is an address, else why not
/// (in Russian, for the operator).
std::string ParseBrokerAddress(const std::string& url, BrokerAddress& out);

/// Why these settings cannot be used (empty when they can): an address
/// that is not one, a missing or invalid station ID, mqtts:// without a CA
/// file, a CA or password file that cannot be read.
std::string CheckSettings(const NetworkSettings& s);

/// The [Network] section of the hive file `hiveFile` (keys publish,
/// station, mqtt_cafile, mqtt_user, mqtt_password_file); what is absent
/// stays empty.
NetworkSettings ReadHiveNetwork(const std::string& hiveFile);

/// `over` where it has a value, else `base`.
NetworkSettings Merge(const NetworkSettings& base, const NetworkSettings& over);

/// The first line of the password file, without its line end; empty when
/// it cannot be read.
std::string ReadPassword(const std::string& file);

} // namespace net
