#include "protocol/Receipt.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <cmath>

#include "protocol/Inbound.h"

namespace protocol {

std::string ReceiptTopic(const std::string& id) { return "vfon/v1/" + id + "/receipt"; }

QByteArray ReceiptJson(const Receipt& r)
{
    QJsonObject stored;
    for (const auto& [file, n] : r.Stored)
        stored[QString::fromStdString(file)] = static_cast<qint64>(n);
    const QJsonObject o{{"station", QString::fromStdString(r.Station)}, {"stored", stored}};
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

std::optional<Receipt> DecodeReceipt(const QByteArray& payload)
{
    if (payload.size() > static_cast<qsizetype>(kMaxPayload))
        return std::nullopt;
    const QJsonDocument doc = QJsonDocument::fromJson(payload);
    if (!doc.isObject() || !doc.object().value("station").isString() || !doc.object().value("stored").isObject())
        return std::nullopt;
    Receipt r;
    r.Station = doc.object().value("station").toString().toStdString();
    const QJsonObject stored = doc.object().value("stored").toObject();
    for (auto it = stored.begin(); it != stored.end(); ++it) {
        const std::string name = it.key().toStdString();
        const double n = it.value().toDouble(-1);
        // Whole counts only, within what a double holds exactly.
        if (n < 0 || n > 9007199254740992.0 || std::floor(n) != n)
            continue;
        if (!ValidFileName(name, ".fon") && !ValidFileName(name, ".Rad"))
            continue;
        r.Stored[name] = static_cast<int64_t>(n);
    }
    return r;
}

} // namespace protocol
