// The wire: what a station encodes, the centre decodes to the same numbers,
// and the trend row it writes from them is the one the trend export writes.
#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <cmath>

#include "datafiles/CsvText.h"
#include "frames/FrameNumbers.h"
#include "frames/TrendRow.h"
#include "protocol/Inbound.h"
#include "protocol/Messages.h"
#include "protocol/Receipt.h"
#include "support/SampleFiles.h"
#include "support/SpectrumFiles.h"

namespace {

template <class T>
T DecodeAs(const std::string& topic, const QByteArray& payload)
{
    const protocol::Inbound in = protocol::Decode(topic, payload);
    if (const auto* r = std::get_if<protocol::Refusal>(&in))
        ADD_FAILURE() << "refused: " << r->Reason;
    return std::holds_alternative<T>(in) ? std::get<T>(in) : T{};
}

bool SameNumber(double a, double b) { return (std::isnan(a) && std::isnan(b)) || a == b; }

} // namespace

TEST(Protocol, FramesAndEventsComeOutAsTheStationPutThemIn)
{
    for (int r = 0; r < 12; ++r) {
        auto k = testing_support::RealisticRecord(r);
        const bool last = r == 11;
        const QByteArray json = protocol::FrameJson("st1", "8_12_10_5.fon", r, *k, last);
        const auto m = DecodeAs<protocol::FrameMessage>(protocol::FrameTopic("st1"), json);
        const frames::FrameNumbers n = frames::ComputeFrameNumbers(*k, last, nullptr);
        EXPECT_EQ(m.Station, "st1");
        EXPECT_EQ(m.File, "8_12_10_5.fon");
        EXPECT_EQ(m.Record, r);
        EXPECT_EQ(m.Points, n.Points);
        EXPECT_DOUBLE_EQ(m.LiveS, n.Points * 0.25) << r; // 25 cycles of 10 ms a point
        for (size_t c = 0; c < kFonChannels; ++c) {
            const frames::ChannelNumbers& ch = n.Channels[c];
            EXPECT_TRUE(SameNumber(m.MeanPerPoint[c], ch.MeanPerPoint)) << r << " " << c;
            EXPECT_EQ(m.Centre[c].has_value(), ch.HasCentre());
            if (ch.HasCentre()) {
                EXPECT_EQ(*m.Centre[c], ch.Centre);
            }
            EXPECT_TRUE(SameNumber(static_cast<float>(m.B[c]), ch.HasB() ? ch.B : NAN)) << r << " " << c;
        }
    }
    auto e = testing_support::MakeRadEvent(7);
    const auto ev = DecodeAs<protocol::EventMessage>(protocol::EventTopic("st1"),
                                                     protocol::EventJson("st1", "8_12_10_5.Rad", 3, *e));
    EXPECT_EQ(ev.Record, 3);
    EXPECT_EQ(ev.EventNo, 7);
    for (int c = 1; c <= kRadChannels; ++c)
        EXPECT_EQ(ev.Gains[static_cast<size_t>(c - 1)], e->RGain(c));
}

TEST(Protocol, FramesWithoutLiveSecondsTakeThemFromTheirPoints)
{
    auto k = testing_support::RealisticRecord(3);
    QJsonObject o = QJsonDocument::fromJson(protocol::FrameJson("st1", "a.fon", 0, *k, false)).object();
    const int64_t points = o.value("points").toInteger();
    ASSERT_GT(points, 0);
    o.remove("live_s"); // a station of an earlier version
    const auto m = DecodeAs<protocol::FrameMessage>(protocol::FrameTopic("st1"), QJsonDocument(o).toJson());
    EXPECT_DOUBLE_EQ(m.LiveS, static_cast<double>(points) * 0.25);
    for (const QJsonValue& bad : {QJsonValue(-1.0), QJsonValue("150")}) {
        o["live_s"] = bad;
        EXPECT_TRUE(std::holds_alternative<protocol::Refusal>(
            protocol::Decode(protocol::FrameTopic("st1"), QJsonDocument(o).toJson())));
    }

    // A frame without points has no live time: its rate per live second is
    // no number, never infinite.
    frames::TrendRow row;
    row.Points = 0;
    row.MeanPerPoint = 0;
    frames::SetLiveSeconds(row, frames::LiveSeconds(0));
    EXPECT_EQ(row.LiveS, 0.0);
    EXPECT_TRUE(std::isnan(row.MeanPerLiveS));
}

TEST(Protocol, RefusalsNameTheirStationWhereOneCanBeNamed)
{
    const QByteArray frame = protocol::FrameJson("st1", "a.fon", 0, *testing_support::RealisticRecord(0), false);
    struct Case {
        std::string topic;
        QByteArray payload;
        std::string station;
    } cases[] = {{"other/st1/frame", frame, ""},
                 {"vfon/v1/st..1/frame", frame, ""},
                 {"vfon/v1/st1/gossip", frame, "st1"},
                 {"vfon/v1/st2/frame", frame, "st2"}, // the payload names st1
                 {"vfon/v1/st1/frame", QByteArray(protocol::kMaxPayload + 1, ' '), "st1"},
                 {"vfon/v1/st1/frame", QByteArray(frame).replace("a.fon", "a.exe"), "st1"},
                 {"vfon/v1/st1/event", frame, "st1"}};
    for (const Case& c : cases) {
        const protocol::Inbound in = protocol::Decode(c.topic, c.payload);
        ASSERT_TRUE(std::holds_alternative<protocol::Refusal>(in)) << c.topic;
        EXPECT_EQ(std::get<protocol::Refusal>(in).Station, c.station) << c.topic;
        EXPECT_FALSE(std::get<protocol::Refusal>(in).Reason.empty());
    }
}

TEST(Protocol, ReceiptsKeepTheirCountsAndDropWhatNoStationCouldHaveSent)
{
    const protocol::Receipt r{"st1", {{"20260101_000000.fon", 576}, {"20260101_000000.Rad", 4000}, {"x.Rad", 0}}};
    const std::optional<protocol::Receipt> back = protocol::DecodeReceipt(protocol::ReceiptJson(r));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->Station, "st1");
    EXPECT_EQ(back->Stored, r.Stored);
    EXPECT_EQ(protocol::ReceiptTopic("st1"), "vfon/v1/st1/receipt");

    const std::optional<protocol::Receipt> odd = protocol::DecodeReceipt(
        R"({"station":"st1","stored":{"a.fon":-1,"b.fon":1.5,"../c.fon":3,"d.exe":3,"e.fon":"7","f.Rad":2}})");
    ASSERT_TRUE(odd);
    EXPECT_EQ(odd->Stored, (std::map<std::string, int64_t>{{"f.Rad", 2}}));
    for (const char* bad : {"", "[]", R"({"station":"st1"})", R"({"stored":{}})"})
        EXPECT_FALSE(protocol::DecodeReceipt(bad)) << bad;
}

TEST(TrendRow, OneRowPerChannelAsTheCsvHeaderNamesIt)
{
    const std::string header = frames::TrendCsvHeader();
    const frames::UtcStampZone utc;
    frames::FrameNumbers n = frames::ComputeFrameNumbers(*testing_support::RealisticRecord(2), false, &utc);
    frames::TimeFrameNumbers(n, utc);
    datafiles::CsvText text;
    for (const frames::TrendRow& row : frames::TrendRowsOf("x.fon", 4, n, utc))
        frames::AppendTrendCsv(text, row);
    const std::string csv = text.str();
    size_t lines = 0;
    for (size_t at = 0, end; (end = csv.find("\r\n", at)) != std::string::npos; at = end + 2, ++lines) {
        const std::string line = csv.substr(at, end - at);
        EXPECT_EQ(std::count(line.begin(), line.end(), ','), std::count(header.begin(), header.end(), ','));
        EXPECT_EQ(line.rfind("x.fon,5,", 0), 0u) << line;
    }
    EXPECT_EQ(lines, size_t{kFonChannels});
}
