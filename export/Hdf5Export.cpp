#include "export/Hdf5Export.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <utility>

#include "datafiles/FileProblemText.h"
#include "datafiles/FrameEnd.h"
#include "export/hdf5/Hdf5Part.h"

namespace dataexport {
namespace {

/// Row layout: file name, record index (int64), then the record's fields.
constexpr size_t kIndexSize = sizeof(int64_t);
/// End point (int16) after the index in a frame row.
constexpr size_t kEndSize = sizeof(int16_t);

/// Background record bytes kept in a row: [from, to) ranges, packed.
struct Range {
    size_t from, to;
};
constexpr Range kFonRanges[] = {
    {offsetof(TFonKadr, KadrNo), offsetof(TFonKadr, Comment)},
    {offsetof(TFonKadr, Year), offsetof(TFonKadr, Pad1)},
    {offsetof(TFonKadr, Rate), offsetof(TFonKadr, Pad2)},
    {offsetof(TFonKadr, Counts1), sizeof(TFonKadr)},
};
constexpr Range kRadRanges[] = {
    {offsetof(TRadKadr, EventNo), offsetof(TRadKadr, Comment)},
    {offsetof(TRadKadr, Year), sizeof(TRadKadr)},
};

/// Offset of record byte `at` in a row whose record part starts at `base`.
template <size_t N>
size_t RowOffset(const Range (&ranges)[N], size_t base, size_t at)
{
    for (const Range& r : ranges) {
        if (at >= r.from && at < r.to)
            return base + at - r.from;
        base += r.to - r.from;
    }
    return base;
}

template <size_t N>
size_t KeptBytes(const Range (&ranges)[N])
{
    size_t n = 0;
    for (const Range& r : ranges)
        n += r.to - r.from;
    return n;
}

template <size_t N>
void CopyRanges(const Range (&ranges)[N], const void* record, char* out)
{
    for (const Range& r : ranges) {
        std::memcpy(out, static_cast<const char*>(record) + r.from, r.to - r.from);
        out += r.to - r.from;
    }
}

hid_t ArrayOf(hid_t base, std::initializer_list<hsize_t> dims)
{
    return H5Tarray_create2(base, static_cast<unsigned>(dims.size()), dims.begin());
}

/// Adds the file name and record index members; returns the record base.
size_t InsertSource(hid_t type, hid_t nameType, size_t nameSize)
{
    H5Tinsert(type, "file", 0, nameType);
    H5Tinsert(type, "record", nameSize, H5T_STD_I64LE);
    return nameSize + kIndexSize;
}

hid_t FrameType(hid_t nameType, size_t nameSize)
{
    const size_t head = nameSize + kIndexSize + kEndSize;
    const hid_t t = H5Tcreate(H5T_COMPOUND, head + KeptBytes(kFonRanges));
    InsertSource(t, nameType, nameSize);
    H5Tinsert(t, "end_point", nameSize + kIndexSize, H5T_STD_I16LE);
    auto at = [&](size_t off) { return RowOffset(kFonRanges, head, off); };
    const std::pair<const char*, size_t> shorts[] = {
        {"KadrNo", offsetof(TFonKadr, KadrNo)}, {"Year", offsetof(TFonKadr, Year)},
        {"Month", offsetof(TFonKadr, Month)},   {"Day", offsetof(TFonKadr, Day)},
        {"DayOfWeek", offsetof(TFonKadr, DayOfWeek)}, {"Hour", offsetof(TFonKadr, Hour)},
        {"Min", offsetof(TFonKadr, Min)},       {"Sec", offsetof(TFonKadr, Sec)},
        {"MSec", offsetof(TFonKadr, MSec)}};
    for (const auto& [name, off] : shorts)
        H5Tinsert(t, name, at(off), H5T_STD_I16LE);
    H5Tinsert(t, "Rate", at(offsetof(TFonKadr, Rate)), H5T_STD_I32LE);
    const hid_t four = ArrayOf(H5T_STD_I16LE, {kFonChannels});
    const hid_t counts = ArrayOf(H5T_STD_I32LE, {kFonChannels, kFonPoints});
    const hid_t times = ArrayOf(H5T_STD_U16LE, {kFonPoints, 4});
    const hid_t spectr = ArrayOf(H5T_STD_I16LE, {kFonChannels, kFonBins});
    H5Tinsert(t, "FGain", at(offsetof(TFonKadr, FGain1)), four);
    H5Tinsert(t, "Limit", at(offsetof(TFonKadr, Limit1)), four);
    H5Tinsert(t, "ChanParam", at(offsetof(TFonKadr, ChanParam)), H5T_STD_I16LE);
    H5Tinsert(t, "Counts", at(offsetof(TFonKadr, Counts1)), counts);
    H5Tinsert(t, "Times", at(offsetof(TFonKadr, Times)), times);
    H5Tinsert(t, "Spectr", at(offsetof(TFonKadr, Spectr1)), spectr);
    for (hid_t a : {four, counts, times, spectr})
        H5Tclose(a);
    return t;
}

hid_t EventType(hid_t nameType, size_t nameSize)
{
    const size_t head = nameSize + kIndexSize;
    const hid_t t = H5Tcreate(H5T_COMPOUND, head + KeptBytes(kRadRanges));
    InsertSource(t, nameType, nameSize);
    auto at = [&](size_t off) { return RowOffset(kRadRanges, head, off); };
    const std::pair<const char*, size_t> shorts[] = {
        {"EventNo", offsetof(TRadKadr, EventNo)}, {"Year", offsetof(TRadKadr, Year)},
        {"Month", offsetof(TRadKadr, Month)},     {"Day", offsetof(TRadKadr, Day)},
        {"DayOfWeek", offsetof(TRadKadr, DayOfWeek)}, {"Hour", offsetof(TRadKadr, Hour)},
        {"Min", offsetof(TRadKadr, Min)},         {"Sec", offsetof(TRadKadr, Sec)},
        {"MSec", offsetof(TRadKadr, MSec)}};
    for (const auto& [name, off] : shorts)
        H5Tinsert(t, name, at(off), H5T_STD_I16LE);
    const hid_t gains = ArrayOf(H5T_STD_I16LE, {kRadChannels});
    const hid_t samples = ArrayOf(H5T_STD_I16LE, {kRadChannels, kRadSamples});
    H5Tinsert(t, "RGain", at(offsetof(TRadKadr, RGain1)), gains);
    H5Tinsert(t, "Samples", at(offsetof(TRadKadr, Samples1)), samples);
    H5Tclose(gains);
    H5Tclose(samples);
    return t;
}

/// Rows to a chunk: about 1 MB.
hsize_t ChunkRows(hid_t type) { return std::max<hsize_t>(1, (1u << 20) / H5Tget_size(type)); }

} // namespace

Hdf5Export::Hdf5Export(std::string path, const std::vector<std::string>& inputs, int level, bool force)
    : path_(std::move(path)), part_(datafiles::PartName(path_)), force_(force), nameSize_(1)
{
    for (const std::string& p : inputs)
        nameSize_ = std::max(nameSize_, p.size());
    H5Eset_auto2(H5E_DEFAULT, nullptr, nullptr); // errors are reported by the caller, once
    file_ = H5Fcreate(part_.c_str(), H5F_ACC_TRUNC, H5P_DEFAULT, H5P_DEFAULT);
    if (file_ < 0)
        ThrowHdf5(datafiles::About(part_, "не создаётся"));
    const hid_t nameType = H5Tcopy(H5T_C_S1);
    H5Tset_size(nameType, nameSize_);
    H5Tset_strpad(nameType, H5T_STR_NULLPAD);
    H5Tset_cset(nameType, H5T_CSET_UTF8); // paths are bytes as given, UTF-8 on this system
    frameType_ = FrameType(nameType, nameSize_);
    eventType_ = EventType(nameType, nameSize_);
    H5Tclose(nameType);
    frames_ = std::make_unique<Hdf5Table>(file_, "frames", frameType_, ChunkRows(frameType_), level);
    events_ = std::make_unique<Hdf5Table>(file_, "events", eventType_, ChunkRows(eventType_), level);
}

Hdf5Export::~Hdf5Export() { Abandon(); }

void Hdf5Export::PutName(char* row, const std::string& path) const
{
    const size_t n = std::min(path.size(), nameSize_);
    std::memcpy(row, path.data(), n);
    std::memset(row + n, 0, nameSize_ - n);
}

void Hdf5Export::Frame(const SourceFile& file, int64_t index, const TFonKadr& frame)
{
    char* row = frames_->NextRawRow();
    PutName(row, file.path);
    std::memcpy(row + nameSize_, &index, kIndexSize);
    const int16_t end = static_cast<int16_t>(StopPoint(frame, index == file.records - 1));
    std::memcpy(row + nameSize_ + kIndexSize, &end, kEndSize);
    CopyRanges(kFonRanges, &frame, row + nameSize_ + kIndexSize + kEndSize);
}

void Hdf5Export::Event(const SourceFile& file, int64_t index, const TRadKadr& event)
{
    char* row = events_->NextRawRow();
    PutName(row, file.path);
    std::memcpy(row + nameSize_, &index, kIndexSize);
    CopyRanges(kRadRanges, &event, row + nameSize_ + kIndexSize);
}

void Hdf5Export::Close()
{
    frames_.reset();
    events_.reset();
    for (hid_t* t : {&frameType_, &eventType_})
        if (*t >= 0)
            H5Tclose(std::exchange(*t, -1));
}

void Hdf5Export::Finish()
{
    frames_->Flush();
    events_->Flush();
    Close();
    CommitHdf5Part(file_, part_, path_, force_);
}

void Hdf5Export::Abandon()
{
    if (file_ < 0)
        return;
    Close();
    AbandonHdf5Part(file_, part_);
}

} // namespace dataexport
