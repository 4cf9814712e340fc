#pragma once
// How a station or the centre reaches the broker: its address, the
// keep-alive and the password file.
#include <string>

namespace protocol {

/// Seconds between keep-alives with the broker (a killed station shows
/// offline after 1.5 times this).
inline constexpr int kKeepAliveSeconds = 10;

/// A broker address "mqtt://HOST:PORT" or "mqtts://HOST:PORT", taken apart.
struct BrokerAddress {
    std::string Host;
    int Port = 0;
    bool Tls = false;
};

/// Takes `url` apart; an empty text when it is an address, else why not
/// (in Russian, for the operator).
std::string ParseBrokerAddress(const std::string& url, BrokerAddress& out);

/// The first line of the password file, without its line end; empty when
/// it cannot be read.
std::string ReadPassword(const std::string& file);

} // namespace protocol
