#include "protocol/Inbound.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <cmath>

#include "datafiles/StationId.h"
#include "frames/LiveSeconds.h"
#include "datafiles/RecordReader.h"
#include "protocol/Messages.h"
#include "protocol/RecordMessage.h"

namespace protocol {
namespace {

const std::string kPrefix = "vfon/v1/";

bool IsInt(const QJsonValue& v)
{
    return v.isDouble() && std::floor(v.toDouble()) == v.toDouble() && std::fabs(v.toDouble()) < 9.0e15;
}

/// An array of `n` entries, each a number (or null where `nullable`).
bool NumberArray(const QJsonValue& v, int n, bool nullable, bool integers)
{
    if (!v.isArray() || v.toArray().size() != n)
        return false;
    for (const QJsonValue& e : v.toArray()) {
        if (e.isNull() && nullable)
            continue;
        if (!e.isDouble() || (integers && !IsInt(e)))
            return false;
    }
    return true;
}

double NumberOr(const QJsonValue& v) { return v.isDouble() ? v.toDouble() : std::nan(""); }

std::optional<StatusMessage> DecodeStatus(const std::string& id, const QJsonObject& o)
{
    const QString state = o.value("state").toString();
    if (state != "running" && state != "idle" && state != "halted" && state != "offline")
        return std::nullopt;
    return StatusMessage{id, state.toStdString(), o.value("time_ns").toInteger(0), o};
}

std::optional<FrameMessage> DecodeFrame(const std::string& id, const QJsonObject& o)
{
    const std::string file = o.value("file").toString().toStdString();
    const QJsonValue record = o.value("record");
    // start_local and mean_per_s are new: stations of an earlier version
    // send neither, and their lines keep the start as the record holds it.
    // live_s likewise: their points are of the same boards, so their live
    // seconds follow from the points.
    const QJsonValue local = o.value("start_local"), perS = o.value("mean_per_s"), live = o.value("live_s");
    if (!ValidFileName(file, ".fon") || !IsInt(record) || record.toDouble() < 0 || !IsInt(o.value("points")) ||
        !o.value("start").isString() || !NumberArray(o.value("mean_rate"), kFonChannels, true, false) ||
        !NumberArray(o.value("centre"), kFonChannels, true, true) ||
        !NumberArray(o.value("b"), kFonChannels, true, false) ||
        !(local.isUndefined() || local.isNull() || local.isString()) ||
        !(perS.isUndefined() || NumberArray(perS, kFonChannels, true, false)) ||
        !(o.value("start_ns").isUndefined() || o.value("start_ns").isDouble()) ||
        !(live.isUndefined() || (live.isDouble() && live.toDouble() >= 0)))
        return std::nullopt;
    FrameMessage m;
    m.Station = id;
    m.File = file;
    m.Record = static_cast<int64_t>(record.toDouble());
    m.Points = static_cast<int64_t>(o.value("points").toDouble());
    m.Start = (local.isUndefined() ? o.value("start") : local).toString().toStdString();
    m.StartNs = local.isNull() ? 0 : o.value("start_ns").toInteger(0);
    m.LiveS = live.isUndefined() ? frames::LiveSeconds(m.Points) : live.toDouble();
    const QJsonArray rate = o.value("mean_rate").toArray(), centre = o.value("centre").toArray(),
                     b = o.value("b").toArray(), perSecond = perS.toArray();
    for (int c = 0; c < kFonChannels; ++c) {
        const auto i = static_cast<size_t>(c);
        m.MeanPerPoint[i] = NumberOr(rate[c]);
        m.MeanPerS[i] = c < perSecond.size() ? NumberOr(perSecond[c]) : std::nan("");
        m.B[i] = NumberOr(b[c]);
        if (centre[c].isDouble())
            m.Centre[i] = static_cast<int32_t>(centre[c].toDouble());
    }
    return m;
}

std::optional<EventMessage> DecodeEvent(const std::string& id, const QJsonObject& o)
{
    const std::string file = o.value("file").toString().toStdString();
    const QJsonValue record = o.value("record");
    if (!ValidFileName(file, ".Rad") || !IsInt(record) || record.toDouble() < 0 || !IsInt(o.value("event_no")) ||
        !o.value("time_ns").isDouble() || !NumberArray(o.value("gains"), kRadChannels, false, true) ||
        !NumberArray(o.value("peak"), kRadChannels, false, true) ||
        !(o.value("time_utc").isString() || o.value("time_utc").isNull()))
        return std::nullopt;
    EventMessage m;
    m.Station = id;
    m.File = file;
    m.Record = static_cast<int64_t>(record.toDouble());
    m.EventNo = static_cast<int64_t>(o.value("event_no").toDouble());
    m.TimeUtc = o.value("time_utc").toString().toStdString();
    m.TimeNs = o.value("time_ns").toInteger();
    const QJsonArray gains = o.value("gains").toArray(), peak = o.value("peak").toArray();
    for (int c = 0; c < kRadChannels; ++c) {
        m.Gains[static_cast<size_t>(c)] = static_cast<int64_t>(gains[c].toDouble());
        m.Peak[static_cast<size_t>(c)] = static_cast<int64_t>(peak[c].toDouble());
    }
    return m;
}

} // namespace

std::string AllStationsTopic() { return kPrefix + "#"; }

namespace {

/// The message of `kind` (status, frame, event) in `o`, checked field by field.
Inbound DecodeObject(const std::string& id, const std::string& kind, const QJsonObject& o)
{
    if (o.value("station").toString().toStdString() != id)
        return Refusal{id, "поле station не совпадает с темой"};
    const std::string wrong = kind == "status"  ? CheckStatusFields(o)
                              : kind == "frame" ? CheckFrameFields(o)
                                                : CheckEventFields(o);
    if (!wrong.empty())
        return Refusal{id, wrong};
    if (kind == "status") {
        if (auto m = DecodeStatus(id, o))
            return *m;
    } else if (kind == "frame") {
        if (auto m = DecodeFrame(id, o))
            return *m;
    } else if (auto m = DecodeEvent(id, o)) {
        return *m;
    }
    return Refusal{id, "неверные поля"};
}

/// A whole record, and its numbers as the station's own frame or event
/// message would give them.
Inbound DecodeRecord(const std::string& id, const QByteArray& payload)
{
    WholeRecord w;
    if (const std::string why = DecodeRecordPayload(payload, w); !why.empty())
        return Refusal{id, why};
    const bool fon = datafiles::KindOfPath(w.File) == datafiles::RecordKind::Fon;
    const QByteArray json =
        fon ? FrameJsonAt(id, w.File, w.Record, *reinterpret_cast<const TFonKadr*>(w.Bytes.data()), w.LastRecord,
                          w.UtcOffsetS)
            : EventJsonAt(id, w.File, w.Record, *reinterpret_cast<const TRadKadr*>(w.Bytes.data()), w.UtcOffsetS);
    Inbound numbers = DecodeObject(id, fon ? "frame" : "event", QJsonDocument::fromJson(json).object());
    RecordMessage m{id, w.File, w.Record, std::move(w.Bytes), {}};
    if (auto* f = std::get_if<FrameMessage>(&numbers))
        m.Numbers = std::move(*f);
    else if (auto* e = std::get_if<EventMessage>(&numbers))
        m.Numbers = std::move(*e);
    else
        return numbers; // a value outside its rule: refused with its reason
    return m;
}

} // namespace

Inbound Decode(const std::string& topic, const QByteArray& payload)
{
    // vfon/v1/ID/kind
    if (topic.rfind(kPrefix, 0) != 0)
        return Refusal{"", "чужая тема"};
    const std::string rest = topic.substr(kPrefix.size());
    const size_t slash = rest.find('/');
    const std::string id = slash == std::string::npos ? std::string() : rest.substr(0, slash);
    const std::string kind = slash == std::string::npos ? std::string() : rest.substr(slash + 1);
    if (!datafiles::ValidStationId(id))
        return Refusal{"", "недопустимый идентификатор станции"};
    if (kind == "record")
        return DecodeRecord(id, payload);
    if (kind != "status" && kind != "frame" && kind != "event")
        return Refusal{id, "неизвестная тема"};
    if (static_cast<size_t>(payload.size()) > kMaxPayload)
        return Refusal{id, "больше 64 КБ"};
    if (kind == "status" && static_cast<size_t>(payload.size()) > kMaxStatusPayload)
        return Refusal{id, "состояние больше 8 КБ"};
    QJsonParseError err{};
    const QJsonDocument doc = QJsonDocument::fromJson(payload, &err);
    if (err.error != QJsonParseError::NoError || !doc.isObject())
        return Refusal{id, "не объект JSON"};
    return DecodeObject(id, kind, doc.object());
}

} // namespace protocol
