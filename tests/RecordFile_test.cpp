// Record files: byte layout on disk, whole records only, checked failures.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <cstring>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

#include "datafiles/DataFileNames.h"
#include "datafiles/FonKadr.h"
#include "datafiles/RadKadr.h"
#include "datafiles/RecordFile.h"
#include "platform/RunError.h"

namespace {

template <class T>
T At(const QByteArray& b, qsizetype off)
{
    T v;
    std::memcpy(&v, b.constData() + off, sizeof v);
    return v;
}

std::string IoError(const std::function<void()>& f)
{
    try {
        f();
    } catch (const rt::EInOutError& e) {
        return e.what();
    }
    return "no error";
}

class RecordFileTest : public ::testing::Test {
protected:
    std::string P(const char* n) const { return dir_.filePath(n).toStdString(); }
    QTemporaryDir dir_;
};

TEST_F(RecordFileTest, BackgroundRecordBytesAtEveryOffset)
{
    auto rec = std::make_unique<TFonKadr>();
    std::memset(rec.get(), 0, sizeof *rec);
    rec->KadrNo = 3;
    rec->Year = 2026, rec->Month = 12, rec->Day = 6, rec->DayOfWeek = 1;
    rec->Hour = 23, rec->Min = 5, rec->Sec = 7, rec->MSec = 999;
    rec->Rate = 100000000;
    rec->FGain1 = 100, rec->FGain4 = -7;
    rec->Limit1 = 14, rec->Limit4 = 20;
    rec->ChanParam = 90;
    rec->Counts1[0] = 123456, rec->Counts4[599] = -2;
    rec->Counts2[6] = 77;
    rec->Times[0] = {23, 5, 8, 12};
    rec->Times[599] = {1, 2, 3, 65535};
    rec->Spectr1[0] = 5, rec->Spectr3[49] = 32767, rec->Spectr4[255] = -1;
    const std::string f = P("a.fon");
    recfile::Create(f);
    recfile::WriteRecord(f, 0, *rec);
    rec->KadrNo = 4;
    recfile::WriteRecord(f, 1, *rec);

    QFile file(QString::fromStdString(f));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray b = file.readAll();
    ASSERT_EQ(b.size(), 2 * 16572);
    EXPECT_EQ(At<int16_t>(b, 0), 3);
    EXPECT_EQ(At<int16_t>(b, 82), 2026);
    EXPECT_EQ(At<int16_t>(b, 84), 12);
    EXPECT_EQ(At<int16_t>(b, 86), 6);
    EXPECT_EQ(At<int16_t>(b, 88), 1);
    EXPECT_EQ(At<int16_t>(b, 90), 23);
    EXPECT_EQ(At<int16_t>(b, 92), 5);
    EXPECT_EQ(At<int16_t>(b, 94), 7);
    EXPECT_EQ(At<int16_t>(b, 96), 999);
    EXPECT_EQ(At<int32_t>(b, 100), 100000000);
    EXPECT_EQ(At<int16_t>(b, 104), 100);
    EXPECT_EQ(At<int16_t>(b, 110), -7);
    EXPECT_EQ(At<int16_t>(b, 112), 14);
    EXPECT_EQ(At<int16_t>(b, 118), 20);
    EXPECT_EQ(At<int16_t>(b, 120), 90);
    EXPECT_EQ(At<int32_t>(b, 124), 123456);
    EXPECT_EQ(At<int32_t>(b, 124 + 2400 * 1 + 4 * 6), 77);
    EXPECT_EQ(At<int32_t>(b, 124 + 2400 * 3 + 4 * 599), -2);
    EXPECT_EQ(At<uint16_t>(b, 9724), 23);
    EXPECT_EQ(At<uint16_t>(b, 9724 + 6), 12);
    EXPECT_EQ(At<uint16_t>(b, 9724 + 8 * 599 + 6), 65535);
    EXPECT_EQ(At<int16_t>(b, 14524), 5);
    EXPECT_EQ(At<int16_t>(b, 14524 + 512 * 2 + 2 * 49), 32767);
    EXPECT_EQ(At<int16_t>(b, 14524 + 512 * 3 + 2 * 255), -1);
    EXPECT_EQ(At<int16_t>(b, 16572), 4); // record 1 starts right after

    TFonKadr back{};
    EXPECT_EQ(recfile::ReadRecord(f, 1, back), 2);
    EXPECT_EQ(std::memcmp(&back, rec.get(), sizeof back), 0);
}

TEST_F(RecordFileTest, RadioRecordBytesAtEveryOffset)
{
    auto rec = std::make_unique<TRadKadr>();
    std::memset(rec.get(), 0, sizeof *rec);
    rec->EventNo = 12;
    rec->Year = 2026, rec->MSec = 5;
    for (int c = 1; c <= 6; ++c) {
        rec->RGain(c) = static_cast<int16_t>(10 * c);
        rec->Samples(c)[0] = static_cast<int16_t>(-c);
        rec->Samples(c)[4095] = static_cast<int16_t>(100 + c);
    }
    const std::string f = P("a.Rad");
    recfile::Create(f);
    recfile::WriteRecord(f, 0, *rec);
    QFile file(QString::fromStdString(f));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray b = file.readAll();
    ASSERT_EQ(b.size(), 49262);
    EXPECT_EQ(At<int16_t>(b, 0), 12);
    EXPECT_EQ(At<int16_t>(b, 82), 2026);
    EXPECT_EQ(At<int16_t>(b, 96), 5);
    for (int c = 1; c <= 6; ++c) {
        EXPECT_EQ(At<int16_t>(b, 98 + 2 * (c - 1)), 10 * c);
        EXPECT_EQ(At<int16_t>(b, 110 + 8192 * (c - 1)), -c);
        EXPECT_EQ(At<int16_t>(b, 110 + 8192 * (c - 1) + 2 * 4095), 100 + c);
    }
}

TEST_F(RecordFileTest, PartialTailIsNeverReadAndEmptyFileHasNoRecord)
{
    const std::string f = P("t.fon");
    recfile::Create(f);
    EXPECT_EQ(recfile::Count(f, sizeof(TFonKadr)), 0);
    TFonKadr r{};
    EXPECT_EQ(IoError([&] { recfile::ReadRecord(f, 0, r); }), f + ": чтение за концом файла");
    recfile::WriteRecord(f, 0, r);
    {
        QFile file(QString::fromStdString(f));
        ASSERT_TRUE(file.open(QIODevice::Append));
        file.write(QByteArray(100, 'x'));
    }
    EXPECT_EQ(recfile::Count(f, sizeof(TFonKadr)), 1);
    EXPECT_EQ(recfile::ReadRecord(f, 0, r), 1);
    EXPECT_EQ(IoError([&] { recfile::ReadRecord(f, 1, r); }), f + ": чтение за концом файла");
    EXPECT_EQ(IoError([&] { recfile::ReadRecord(f, -1, r); }), f + ": чтение за концом файла");
}

TEST_F(RecordFileTest, FailuresNameTheFileAndTheCause)
{
    TFonKadr r{};
    EXPECT_EQ(IoError([&] { recfile::ReadRecord(P("none.fon"), 0, r); }), P("none.fon") + ": нет такого файла или папки");
    // A write never creates a file: a removed file is an error, not a new file.
    EXPECT_EQ(IoError([&] { recfile::WriteRecord(P("gone.fon"), 0, r); }), P("gone.fon") + ": нет такого файла или папки");
    EXPECT_EQ(IoError([&] { recfile::Count(P("none.fon"), sizeof r); }), P("none.fon") + ": нет такого файла или папки");
    if (::geteuid() != 0) { // root reads everything
        const std::string f = P("ro.fon");
        recfile::Create(f);
        ::chmod(f.c_str(), 0444);
        EXPECT_EQ(IoError([&] { recfile::WriteRecord(f, 0, r); }), f + ": нет прав доступа");
    }
    {
        // A file that may not grow (as on a full disk) refuses the record.
        const std::string f = P("full.fon");
        recfile::Create(f);
        rlimit old{};
        ::getrlimit(RLIMIT_FSIZE, &old);
        const rlimit small{1000, old.rlim_max};
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        ::setrlimit(RLIMIT_FSIZE, &small);
        const std::string message = IoError([&] { recfile::WriteRecord(f, 0, r); });
        ::setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, oldHandler);
        EXPECT_EQ(message, f + ": нет места на диске");
    }
    // Pipes and devices are refused at once, never waited on.
    ASSERT_EQ(::mkfifo(P("pipe.fon").c_str(), 0644), 0);
    for (const std::string& f : {P("pipe.fon"), std::string("/dev/zero")}) {
        EXPECT_EQ(IoError([&] { recfile::ReadRecord(f, 0, r); }), f + ": не обычный файл (папка, канал или устройство)");
        EXPECT_EQ(IoError([&] { recfile::WriteRecord(f, 0, r); }), f + ": не обычный файл (папка, канал или устройство)");
        EXPECT_EQ(IoError([&] { recfile::Count(f, sizeof r); }), f + ": не обычный файл (папка, канал или устройство)");
    }
}

TEST_F(RecordFileTest, CreateNewNeverTruncates)
{
    const std::string f = P("n.Rad");
    EXPECT_TRUE(recfile::CreateNew(f));
    TRadKadr r{};
    recfile::WriteRecord(f, 0, r);
    EXPECT_FALSE(recfile::CreateNew(f));
    EXPECT_EQ(recfile::Count(f, sizeof r), 1);
}

TEST(DataFileNames, DayMonthHourMinuteWithoutLeadingZeros)
{
    rt::DateTimeParts t{};
    t.Year = 2026, t.Month = 12, t.Day = 6, t.Hour = 23, t.Min = 5;
    EXPECT_EQ(datafiles::NameStem(t), "6_12_23_5");
    t.Month = 1, t.Day = 31, t.Hour = 0, t.Min = 0;
    EXPECT_EQ(datafiles::NameStem(t), "31_1_0_0");
    EXPECT_EQ(datafiles::SuffixedStem("6_12_23_5", 1), "6_12_23_5");
    EXPECT_EQ(datafiles::SuffixedStem("6_12_23_5", 2), "6_12_23_5_2");
}

} // namespace
