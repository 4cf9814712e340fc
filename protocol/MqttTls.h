#pragma once
// The TLS side of a broker connection, set up here rather than inside
// libmosquitto so that a failed check of the broker's certificate keeps its
// cause (not signed by the CA given, another name, expired) for the
// operator instead of a bare "TLS error".
#include <atomic>
#include <string>

typedef struct ssl_ctx_st SSL_CTX;

namespace protocol {

/// A context that trusts only the CA certificates of `caFile` and puts the
/// code of each failed certificate check (X509_V_ERR_*) into `*verifyError`,
/// which must outlive it. Null, with `why` set, when the file cannot be used.
SSL_CTX* MakeTlsContext(const std::string& caFile, std::atomic<long>* verifyError, std::string& why);
/// The broker's certificate must name `host` (a DNS name or an IP address).
void RequireTlsName(SSL_CTX* context, const std::string& host);

} // namespace protocol
