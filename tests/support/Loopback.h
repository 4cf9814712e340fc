#pragma once
// Loopback ports for the servers a test starts (a broker, the centre's page).
namespace testing_support {

/// A loopback port nobody listens on now.
int FreePort();
/// True when something accepts connections on loopback `port`.
bool Listening(int port);

} // namespace testing_support
