// Whole records on the wire: a record comes out byte for byte as the
// station's file holds it, with the numbers its frame or event message
// gives, and every way a payload can be wrong is refused at the door.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

#include "protocol/Inbound.h"
#include "protocol/Messages.h"
#include "protocol/RecordMessage.h"
#include "support/SampleFiles.h"
#include "support/SpectrumFiles.h"

namespace {

std::string_view BytesOf(const void* p, size_t n) { return {static_cast<const char*>(p), n}; }

protocol::Inbound Decode(const QByteArray& payload) { return protocol::Decode(protocol::RecordTopic("st1"), payload); }

std::string Refused(const QByteArray& payload)
{
    const protocol::Inbound in = Decode(payload);
    const auto* r = std::get_if<protocol::Refusal>(&in);
    return r ? r->Reason : std::string("taken");
}

template <class T>
T Numbers(const protocol::Inbound& in)
{
    const auto* m = std::get_if<protocol::RecordMessage>(&in);
    return m && std::holds_alternative<T>(m->Numbers) ? std::get<T>(m->Numbers) : T{};
}

/// `payload` with the field at `at` set to `v`.
template <class T>
QByteArray Patched(QByteArray payload, size_t at, T v)
{
    std::memcpy(payload.data() + at, &v, sizeof v);
    return payload;
}

} // namespace

// A frame and an event come out as their own messages give them, at the
// station's offset; a record deflate cannot shrink goes as it is.
TEST(RecordMessage, RecordsComeOutWholeWithTheNumbersOfTheirMessages)
{
    auto k = testing_support::RealisticRecord(3);
    const int32_t offset = protocol::LocalUtcOffset(k->Year, k->Month, k->Day, k->Hour, k->Min, k->Sec, k->MSec);
    const QByteArray payload = protocol::RecordPayload("8_12_10_5.fon", 3, false, offset, BytesOf(k.get(), sizeof *k));
    EXPECT_LT(payload.size(), static_cast<qsizetype>(sizeof *k)); // deflated
    const protocol::Inbound in = Decode(payload);
    ASSERT_TRUE(std::holds_alternative<protocol::RecordMessage>(in)) << Refused(payload);
    const auto& m = std::get<protocol::RecordMessage>(in);
    EXPECT_EQ(m.File, "8_12_10_5.fon");
    EXPECT_EQ(m.Record, 3);
    EXPECT_EQ(m.Bytes, BytesOf(k.get(), sizeof *k));
    const auto frame = Numbers<protocol::FrameMessage>(in);
    const protocol::Inbound json = protocol::Decode(protocol::FrameTopic("st1"),
                                                    protocol::FrameJson("st1", "8_12_10_5.fon", 3, *k, false));
    const auto& want = std::get<protocol::FrameMessage>(json);
    EXPECT_EQ(frame.Start, want.Start);
    EXPECT_EQ(frame.StartNs, want.StartNs);
    EXPECT_EQ(frame.Points, kFonPoints);
    EXPECT_EQ(frame.Points, want.Points);
    EXPECT_EQ(frame.Centre, want.Centre);
    for (size_t c = 0; c < kFonChannels; ++c) {
        EXPECT_EQ(frame.MeanPerPoint[c], want.MeanPerPoint[c]) << c;
        EXPECT_EQ(frame.B[c], want.B[c]) << c;
        EXPECT_EQ(std::isnan(frame.MeanPerS[c]), std::isnan(want.MeanPerS[c])) << c;
    }

    // Noise that deflate cannot shrink.
    auto e = testing_support::MakeRadEvent(7);
    std::mt19937 noise(5);
    for (int c = 1; c <= kRadChannels; ++c)
        for (int i = 0; i < kRadSamples; ++i)
            e->Samples(c)[i] = static_cast<int16_t>(noise());
    const QByteArray raw = protocol::RecordPayload("8_12_10_5.Rad", 0, false, 3 * 3600, BytesOf(e.get(), sizeof *e));
    EXPECT_GT(raw.size(), static_cast<qsizetype>(sizeof *e));
    const protocol::Inbound event = Decode(raw);
    ASSERT_TRUE(std::holds_alternative<protocol::RecordMessage>(event)) << Refused(raw);
    EXPECT_EQ(std::get<protocol::RecordMessage>(event).Bytes, BytesOf(e.get(), sizeof *e));
    const auto ev = Numbers<protocol::EventMessage>(event);
    EXPECT_EQ(ev.EventNo, 7);
    EXPECT_EQ(ev.TimeUtc.substr(11, 5), "06:05"); // MakeRadEvent's 09:05 at +03:00
}

// Each fault of a payload is refused with its reason, and nothing of it is taken.
TEST(RecordMessage, BadPayloadsAreRefusedAtTheDoor)
{
    auto e = testing_support::MakeRadEvent(1);
    const QByteArray good = protocol::RecordPayload("8_12_10_5.Rad", 4, false, 0, BytesOf(e.get(), sizeof *e));
    ASSERT_EQ(Refused(good), "taken");
    EXPECT_EQ(Refused(good.left(good.size() / 2)), "запись: сжатые данные повреждены или не того размера");
    EXPECT_EQ(Refused(good.left(20)), "запись: неверный заголовок");
    EXPECT_EQ(Refused(good + QByteArray("x")), "запись: сжатые данные повреждены или не того размера");
    EXPECT_EQ(Refused(Patched<uint32_t>(good, 20, 1000)), "запись: размер не равен размеру записи файла");
    EXPECT_EQ(Refused(Patched<int64_t>(good, 8, -1)), "запись: недопустимый номер записи");
    EXPECT_EQ(Refused(Patched<int32_t>(good, 16, 19 * 3600)), "запись: недопустимое смещение часового пояса");
    EXPECT_EQ(Refused(Patched<uint8_t>(good, 4, 8)), "запись: неверный заголовок");
    EXPECT_EQ(Refused(Patched<uint8_t>(good, 5, 200)), "запись: неверный заголовок");
    for (const char* name : {"../12_10_5.Rad", "8/12_10_5.Rad", "8_12_10_5.txt", ".8_12_10.Rad"})
        EXPECT_EQ(Refused(protocol::RecordPayload(name, 0, false, 0, BytesOf(e.get(), sizeof *e))),
                  "запись: недопустимое имя файла")
            << name;
    // A .fon name over an event's bytes: not a frame's size.
    EXPECT_EQ(Refused(protocol::RecordPayload("8_12_10_5.fon", 0, false, 0, BytesOf(e.get(), sizeof *e))),
              "запись: размер не равен размеру записи файла");
    // A bomb: a few hundred bytes that inflate to a megabyte, claiming an event's size.
    const QByteArray bomb = protocol::RecordPayload("8_12_10_5.Rad", 0, false, 0, std::string(1 << 20, '\0'));
    ASSERT_LT(bomb.size(), 4096);
    EXPECT_EQ(Refused(Patched<uint32_t>(bomb, 20, sizeof *e)), "запись: сжатые данные повреждены или не того размера");
    // Past the bound, before anything is read.
    EXPECT_EQ(Refused(QByteArray(static_cast<qsizetype>(protocol::kMaxRecordPayload) + 1, 'V')), "запись длиннее предела");
}

// Random damage to good payloads, deflated and not: whatever is taken is a
// whole record of its kind's size under a valid name, nothing else.
TEST(RecordMessage, DamagedPayloadsGiveWholeRecordsOrRefusals)
{
    auto e = testing_support::MakeRadEvent(2);
    auto k = testing_support::RealisticRecord(1);
    const QByteArray good[] = {protocol::RecordPayload("8_12_10_5.Rad", 9, false, 0, BytesOf(e.get(), sizeof *e)),
                               protocol::RecordPayload("8_12_10_5.fon", 0, true, 0, BytesOf(k.get(), sizeof *k))};
    std::mt19937 rng(30);
    int taken = 0;
    for (int i = 0; i < 4000; ++i) {
        QByteArray payload = good[i % 2];
        for (int n = 0; n < 1 + i % 5; ++n) // the header first, then anywhere
            payload[static_cast<qsizetype>(rng() % (i % 3 ? payload.size() : 40))] = static_cast<char>(rng());
        const protocol::Inbound in = Decode(payload);
        if (const auto* m = std::get_if<protocol::RecordMessage>(&in)) {
            ++taken;
            EXPECT_EQ(m->Bytes.size(), m->File.ends_with(".Rad") ? sizeof *e : sizeof *k);
            EXPECT_TRUE(m->File.ends_with(".Rad") || m->File.ends_with(".fon")) << m->File;
        }
    }
    EXPECT_LT(taken, 4000);
}
