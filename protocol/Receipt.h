#pragma once
// The centre's receipt to a station: per data file, how many records from
// the start the centre has on its disk. It is published retained, so a
// station that connects later still reads the latest; the station forgets
// records (advances its outbox) only on it. Only the files that moved last
// are listed, at most kMaxReceiptFiles of them.
#include <QByteArray>
#include <cstdint>
#include <map>
#include <optional>
#include <string>

namespace protocol {

/// Files named in one receipt at most.
inline constexpr size_t kMaxReceiptFiles = 64;

/// Topic of station `id`'s receipts.
std::string ReceiptTopic(const std::string& id);

struct Receipt {
    std::string Station;
    std::map<std::string, int64_t> Stored; ///< file → records 0..n-1 stored
};

/// {"station":ID,"stored":{"<file>":n,...}}
QByteArray ReceiptJson(const Receipt& r);
/// The receipt in `payload`; nothing when it is not one (counts below 0,
/// names that are no plain file names are left out).
std::optional<Receipt> DecodeReceipt(const QByteArray& payload);

} // namespace protocol
