// Writes background and radio files with the program's own record code and
// a JSON list of every field value written, named as the record dtypes of
// docs/formats.md name them, for the Python readers of the tests.
//
//   write_records DIR   writes DIR/sample.fon, DIR/sample.Rad, DIR/records.json
//
// The values cover the ranges: extremes of every integer type, saturated and
// wrapped spectrum bins, points past midnight, and a last frame of a stopped
// run (zeros from its stop point on, that point carrying the stop time).
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "datafiles/RecordFile.h"
#include "datafiles/FonKadr.h"
#include "datafiles/RadKadr.h"

namespace {

constexpr int kFrames = 3;
constexpr int kEvents = 2;
constexpr int kStopPoint = 217;   ///< the last frame's stop point

/// A reproducible spread of values over the whole range of T.
template <class T>
T Spread(uint64_t& state)
{
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<T>(state >> 17);
}

/// `"name":v` or `"name":[v,…]` (n values) or nested rows of n values.
template <class T>
void Field(std::ostream& out, const char* name, const T* v, int n = 0, int rows = 0)
{
    out << ",\"" << name << "\":" << (n ? "[" : "");
    for (int r = 0; r < std::max(rows, 1); ++r) {
        out << (r ? "," : "") << (rows ? "[" : "");
        for (int i = 0; i < std::max(n, 1); ++i)
            out << (i ? "," : "") << +v[r * n + i];
        out << (rows ? "]" : "");
    }
    out << (n ? "]" : "");
}

/// The values of channels 1..`channels`, each through the record's accessor.
template <class R, class T>
std::vector<T> Channels(const R& rec, const T* (R::*of)(int) const, int channels, int n)
{
    std::vector<T> all;
    for (int c = 1; c <= channels; ++c)
        all.insert(all.end(), (rec.*of)(c), (rec.*of)(c) + n);
    return all;
}

/// The fields both records share: number, comment, stamp.
template <class R>
void Head(std::ostream& out, const char* numberName, const R& rec, const int16_t* number)
{
    out << "{\"" << numberName << "\":" << *number;
    Field(out, "Comment", rec.Comment, 80);
    const char* names[] = {"Year", "Month", "Day", "DayOfWeek", "Hour", "Min", "Sec", "MSec"};
    for (int i = 0; i < 8; ++i)
        Field(out, names[i], &rec.Year + i);
}

std::unique_ptr<TFonKadr> Frame(int r, uint64_t& state)
{
    auto f = std::make_unique<TFonKadr>();
    f->KadrNo = r == 1 ? std::numeric_limits<int16_t>::min() : static_cast<int16_t>(r + 1);
    f->Comment[0] = 3, f->Comment[1] = 'a', f->Comment[2] = ',', f->Comment[3] = '"';
    // Started 2 s before midnight: later points lie on the next day.
    f->Year = 2026, f->Month = 12, f->Day = 31, f->DayOfWeek = 5;
    f->Hour = 23, f->Min = 59, f->Sec = 58, f->MSec = static_cast<int16_t>(100 * r);
    f->Rate = r == 1 ? std::numeric_limits<int32_t>::max() : 100000000;
    for (int c = 1; c <= kFonChannels; ++c) {
        f->FGain(c) = static_cast<int16_t>(r == 1 ? -32768 + c : 10 * c);
        f->Limit(c) = static_cast<int16_t>(r == 1 ? 32767 - c : 10 + c);
        for (int k = 0; k < kFonPoints; ++k)
            f->Counts(c)[k] = r == 1 ? Spread<int32_t>(state) : 1 + (Spread<uint32_t>(state) % 5000);
        for (int b = 0; b < kFonBins; ++b)
            f->Spectr(c)[b] = Spread<int16_t>(state);
    }
    f->ChanParam = 90;
    f->Counts1[0] = std::numeric_limits<int32_t>::min();
    f->Counts4[kFonPoints - 1] = std::numeric_limits<int32_t>::max();
    f->Spectr1[0] = 32767;   // saturated bin
    f->Spectr2[0] = -32768;  // a wrapped bin of an older file
    for (int k = 0; k < kFonPoints; ++k) {
        const int ms = 58000 + 100 * r + 100 * (k + 1); // a point every 100 ms from 23:59:58
        const bool nextDay = ms >= 60000;
        const int inMinute = nextDay ? ms - 60000 : ms;
        f->Times[k] = {static_cast<uint16_t>(nextDay ? 0 : 23), static_cast<uint16_t>(nextDay ? 0 : 59),
                       static_cast<uint16_t>(inMinute / 1000), static_cast<uint16_t>(inMinute % 1000)};
    }
    if (r == 1)
        f->Times[kFonPoints - 1] = {65535, 65535, 65535, 65535};
    if (r == kFrames - 1) // stopped: zeros from the stop point on, stale times behind it
        for (int k = kStopPoint - 1; k < kFonPoints; ++k)
            f->Counts1[k] = f->Counts2[k] = f->Counts3[k] = f->Counts4[k] = 0;
    return f;
}

void WriteFrameJson(std::ostream& out, const TFonKadr& f)
{
    Head(out, "KadrNo", f, &f.KadrNo);
    Field(out, "Rate", &f.Rate);
    Field(out, "FGain", &f.FGain1, 4);
    Field(out, "Limit", &f.Limit1, 4);
    Field(out, "ChanParam", &f.ChanParam);
    Field(out, "Counts", Channels(f, &TFonKadr::Counts, kFonChannels, kFonPoints).data(), kFonPoints, kFonChannels);
    Field(out, "Times", &f.Times[0].Hour, 4, kFonPoints);
    Field(out, "Spectr", Channels(f, &TFonKadr::Spectr, kFonChannels, kFonBins).data(), kFonBins, kFonChannels);
    out << "}";
}

std::unique_ptr<TRadKadr> Event(int r, uint64_t& state)
{
    auto e = std::make_unique<TRadKadr>();
    e->EventNo = r == 0 ? std::numeric_limits<int16_t>::max() : std::numeric_limits<int16_t>::min();
    e->Year = 2026, e->Month = 2, e->Day = 28, e->DayOfWeek = 7;
    e->Hour = 23, e->Min = 59, e->Sec = 59, e->MSec = 999;
    for (int c = 1; c <= kRadChannels; ++c) {
        e->RGain(c) = static_cast<int16_t>(r == 0 ? c * 5 : -c);
        for (int i = 0; i < kRadSamples; ++i)
            e->Samples(c)[i] = Spread<int16_t>(state);
    }
    e->Samples1[0] = -32768, e->Samples6[kRadSamples - 1] = 32767;
    return e;
}

void WriteEventJson(std::ostream& out, const TRadKadr& e)
{
    Head(out, "EventNo", e, &e.EventNo);
    Field(out, "RGain", &e.RGain1, 6);
    Field(out, "Samples", Channels(e, &TRadKadr::Samples, kRadChannels, kRadSamples).data(), kRadSamples, kRadChannels);
    out << "}";
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: write_records DIR\n");
        return 2;
    }
    const std::string dir = argv[1];
    uint64_t state = 20261206;
    std::ofstream json(dir + "/records.json");
    json << "{\"stop_point\":" << kStopPoint;
    auto file = [&](const char* key, const std::string& path, int n, auto make, auto list) {
        json << ",\"" << key << "\":[";
        recfile::Create(path);
        for (int r = 0; r < n; ++r) {
            const auto rec = make(r, state);
            recfile::WriteRecord(path, r, *rec);
            json << (r ? "," : "");
            list(json, *rec);
        }
        json << "]";
    };
    file("fon", dir + "/sample.fon", kFrames, Frame, WriteFrameJson);
    file("rad", dir + "/sample.Rad", kEvents, Event, WriteEventJson);
    json << "}\n";
    return json.good() ? 0 : 1;
}
