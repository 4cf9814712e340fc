#include "protocol/RecordMessage.h"

#include <QDateTime>
#include <cstring>
#include <libdeflate.h>
#include <memory>

#include "datafiles/RecordReader.h"
#include "protocol/InboundRules.h"

namespace protocol {
namespace {

constexpr char kMagic[4] = {'V', 'F', 'R', '1'};
constexpr uint8_t kDeflated = 1, kLast = 2;
/// Deflate's level: the records are written once a minute or so, so a
/// middle level costs the station nothing that counts.
constexpr int kLevel = 6;
/// Records in a file: far below 2^31 in any file of this system.
constexpr int64_t kMaxRecordIndex = INT32_MAX;

struct CompressorFree {
    void operator()(libdeflate_compressor* c) const { libdeflate_free_compressor(c); }
};
struct DecompressorFree {
    void operator()(libdeflate_decompressor* d) const { libdeflate_free_decompressor(d); }
};

/// One compressor per thread, made at its first use.
libdeflate_compressor* Compressor()
{
    thread_local std::unique_ptr<libdeflate_compressor, CompressorFree> c(libdeflate_alloc_compressor(kLevel));
    return c.get();
}

libdeflate_decompressor* Decompressor()
{
    thread_local std::unique_ptr<libdeflate_decompressor, DecompressorFree> d(libdeflate_alloc_decompressor());
    return d.get();
}

template <class T>
void Put(char* at, T v)
{
    std::memcpy(at, &v, sizeof v); // the hosts of this system are little-endian
}

template <class T>
T Get(const char* at)
{
    T v;
    std::memcpy(&v, at, sizeof v);
    return v;
}

} // namespace

std::string RecordTopic(const std::string& id) { return "vfon/v1/" + id + "/record"; }

QByteArray RecordPayload(const std::string& file, int64_t record, bool lastRecord, int32_t utcOffsetS,
                         std::string_view bytes)
{
    const size_t head = kRecordHeaderSize + file.size();
    QByteArray out(static_cast<qsizetype>(head + bytes.size()), Qt::Uninitialized);
    char* p = out.data();
    // Deflated only when it is smaller: the output may not reach the raw size.
    size_t packed = 0;
    if (libdeflate_compressor* c = Compressor(); c && bytes.size() > 1)
        packed = libdeflate_deflate_compress(c, bytes.data(), bytes.size(), p + head, bytes.size() - 1);
    if (packed == 0)
        std::memcpy(p + head, bytes.data(), bytes.size());
    std::memcpy(p, kMagic, sizeof kMagic);
    Put<uint8_t>(p + 4, static_cast<uint8_t>((packed ? kDeflated : 0) | (lastRecord ? kLast : 0)));
    Put<uint8_t>(p + 5, static_cast<uint8_t>(file.size()));
    Put<uint16_t>(p + 6, 0);
    Put<int64_t>(p + 8, record);
    Put<int32_t>(p + 16, utcOffsetS);
    Put<uint32_t>(p + 20, static_cast<uint32_t>(bytes.size()));
    std::memcpy(p + kRecordHeaderSize, file.data(), file.size());
    if (packed)
        out.truncate(static_cast<qsizetype>(head + packed));
    return out;
}

std::string DecodeRecordPayload(const QByteArray& payload, WholeRecord& out)
{
    const size_t size = static_cast<size_t>(payload.size());
    if (size > kMaxRecordPayload)
        return "запись длиннее предела";
    const char* p = payload.constData();
    if (size < kRecordHeaderSize || std::memcmp(p, kMagic, sizeof kMagic) != 0)
        return "запись: неверный заголовок";
    const auto flags = Get<uint8_t>(p + 4);
    const size_t nameLength = Get<uint8_t>(p + 5);
    if ((flags & ~(kDeflated | kLast)) != 0 || Get<uint16_t>(p + 6) != 0 || nameLength == 0 ||
        nameLength > kMaxRecordName || size < kRecordHeaderSize + nameLength)
        return "запись: неверный заголовок";
    out.File.assign(p + kRecordHeaderSize, nameLength);
    if (!ValidFileName(out.File, ".fon") && !ValidFileName(out.File, ".Rad"))
        return "запись: недопустимое имя файла";
    out.Record = Get<int64_t>(p + 8);
    if (out.Record < 0 || out.Record > kMaxRecordIndex)
        return "запись: недопустимый номер записи";
    out.UtcOffsetS = Get<int32_t>(p + 16);
    if (out.UtcOffsetS < -kMaxUtcOffsetS || out.UtcOffsetS > kMaxUtcOffsetS)
        return "запись: недопустимое смещение часового пояса";
    out.LastRecord = (flags & kLast) != 0;
    const size_t recordSize = datafiles::RecordSize(datafiles::KindOfPath(out.File));
    if (Get<uint32_t>(p + 20) != recordSize)
        return "запись: размер не равен размеру записи файла";
    const char* body = p + kRecordHeaderSize + nameLength;
    const size_t bodySize = size - kRecordHeaderSize - nameLength;
    if (!(flags & kDeflated)) {
        if (bodySize != recordSize)
            return "запись: размер не равен размеру записи файла";
        out.Bytes.assign(body, bodySize);
        return {};
    }
    // Inflated into exactly the record's size: a stream that would give
    // more (a bomb) or less, or that leaves bytes over, is refused.
    out.Bytes.resize(recordSize);
    size_t used = 0;
    libdeflate_decompressor* d = Decompressor();
    if (!d || bodySize >= recordSize ||
        libdeflate_deflate_decompress_ex(d, body, bodySize, out.Bytes.data(), recordSize, &used, nullptr) !=
            LIBDEFLATE_SUCCESS ||
        used != bodySize) {
        out.Bytes.clear();
        return "запись: сжатые данные повреждены или не того размера";
    }
    return {};
}

int32_t LocalUtcOffset(int y, int mo, int d, int h, int mi, int s, int ms)
{
    const QDateTime t(QDate(y, mo, d), QTime(h, mi, s, ms), Qt::LocalTime);
    return t.isValid() ? t.offsetFromUtc() : 0;
}

} // namespace protocol
