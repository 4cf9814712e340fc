#pragma once
// The words a station or the centre shows when the broker refuses it: the
// reason codes of MQTT 5 (in a CONNACK, a PUBACK or a DISCONNECT from the
// broker) and the certificate checks of a TLS connection, each in Russian
// with the code beside it, so an operator can look it up.
#include <string>

namespace protocol {

/// A reason code of 0x80 and above: the broker refused.
constexpr int kFirstRefusal = 0x80;

/// What a reason code the broker sent in a PUBACK or a DISCONNECT means,
/// e.g. 0x87: "правила доступа брокера не разрешают эту тему (код 0x87)".
std::string ReasonText(int reasonCode);
/// The same for the answer to a connection: the broker says 0x87 "not
/// authorized" for a wrong password as well as for a missing one.
std::string ConnectReasonText(int reasonCode);
/// What a failed check of the broker's certificate means (an OpenSSL
/// X509_V_ERR_* code), e.g. "имя в сертификате брокера не совпадает с его
/// адресом".
std::string CertificateText(long verifyError);
/// Why a connection could not even be begun: `rc` of libmosquitto's
/// connect, `err` the errno after it (e.g. "соединение отвергнуто (на этом
/// порту никто не слушает)", "имя узла не найдено").
std::string ConnectErrorText(int rc, int err);

} // namespace protocol
