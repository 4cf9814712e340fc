// The cycle: radio events picked up at every poll point of a tick, their
// records, failures while reading or writing them, and the limits of the
// pulse selection.
#include <gtest/gtest.h>

#include <QFile>

#include "datafiles/RecordFile.h"
#include "support/Fixtures.h"
#include "support/Runs.h"
#include "support/SimDriverControl.h"

using namespace testing_support;

namespace {

class CycleTest : public RunTest {
protected:
    void SetUp() override
    {
        RunTest::SetUp();
        ScriptBackground();
        // Distinct radio waveforms per channel: channel c holds c*10 + i % 7.
        for (int board = 3; board <= 5; ++board)
            for (int input = 0; input <= 1; ++input) {
                const int c = (board - 3) * 2 + input + 1;
                std::vector<int16_t> w(4096);
                for (int i = 0; i < 4096; ++i)
                    w[static_cast<size_t>(i)] = static_cast<int16_t>(c * 10 + i % 7 - 60);
                Sim().scriptSamples(board, input, w);
            }
    }
    TRadKadr ReadRad(int32_t index, int32_t* count = nullptr) const
    {
        auto rec = std::make_unique<TRadKadr>();
        const int32_t n = recfile::ReadRecord(run().RadFile(), index, *rec);
        if (count)
            *count = n;
        return *rec;
    }
    /// Index in the call log of the first GetData of radio board 3.
    static long FirstRadioRead(const std::vector<SimCall>& calls)
    {
        for (size_t i = 0; i < calls.size(); ++i)
            if (calls[i].op == SimOpGetData && calls[i].board == 3)
                return static_cast<long>(i);
        return -1;
    }
};

TEST_F(CycleTest, EventPickedUpAtEachOfTheSixPollPoints)
{
    Sim().logPolls(true);
    StartRun(run());
    for (int poll = 1; poll <= 6; ++poll) {
        SCOPED_TRACE(poll);
        Sim().clearLog();
        Sim().triggerAtQuery(3, poll);
        Ticks(run(), 1);
        EXPECT_EQ(run().EventsWritten(), poll);
        const auto calls = Sim().calls();
        const long read = FirstRadioRead(calls);
        ASSERT_GE(read, 0);
        // How far the background cycle had gone when the event was read.
        int radioQueries = 0;
        bool fon1Read = false, fon2Read = false;
        for (long i = 0; i < read; ++i) {
            const SimCall& c = calls[static_cast<size_t>(i)];
            radioQueries += c.op == SimOpControl && c.board == 3 && c.args[0] == 0;
            fon1Read |= c.op == SimOpStart && c.board == 1;
            fon2Read |= c.op == SimOpStart && c.board == 2;
        }
        EXPECT_EQ(radioQueries, poll + 1); // the poll itself, then ReadEAS asks again
        EXPECT_EQ(fon1Read, poll >= 3);
        EXPECT_EQ(fon2Read, poll >= 5);
        EXPECT_EQ(run().Engine().CycleCount, poll); // the cycle goes on after the event
    }
    int32_t count = 0;
    const TRadKadr last = ReadRad(5, &count);
    EXPECT_EQ(count, 6);
    EXPECT_EQ(last.EventNo, 6);
}

TEST_F(CycleTest, EventRecordHoldsStampGainsAndAllSixChannels)
{
    int16_t stamped = 0;
    QObject::connect(&run(), &acq::RunModel::NewEventStamp, [&](int16_t n, const rt::DateTimeParts&) { stamped = n; });
    StartRun(run());
    clock_->Set(QDateTime(QDate(2026, 12, 6), QTime(23, 7, 9, 250)));
    Sim().triggerAtQuery(3, 1);
    Ticks(run(), 1);
    const TRadKadr r = ReadRad(0);
    EXPECT_EQ(r.EventNo, 1);
    EXPECT_EQ(stamped, 1);
    EXPECT_EQ(r.Year, 2026);
    EXPECT_EQ(r.Day, 6);
    EXPECT_EQ(r.DayOfWeek, 1);
    EXPECT_EQ(r.Hour, 23);
    EXPECT_EQ(r.Min, 7);
    EXPECT_EQ(r.Sec, 9);
    EXPECT_EQ(r.MSec, 250);
    EXPECT_EQ(r.RGain1, 20);
    EXPECT_EQ(r.RGain3, 5);
    EXPECT_EQ(r.RGain6, 100);
    for (int c = 1; c <= 6; ++c) {
        EXPECT_EQ(r.Samples(c)[0], c * 10 - 60) << c;
        EXPECT_EQ(r.Samples(c)[4095], c * 10 + 4095 % 7 - 60) << c;
    }
}

TEST_F(CycleTest, EventNumbersGoOnAcrossRunsWhileRecordsStartAtZero)
{
    StartRun(run());
    for (int i = 0; i < 2; ++i) {
        Sim().triggerAtQuery(3, 1);
        run().Timer1Timer();
    }
    run().StopBranch();
    EXPECT_EQ(run().Engine().RadRec.EventNo, 2);
    StartRun(run());
    EXPECT_EQ(run().EventsWritten(), 0);
    Sim().triggerAtQuery(3, 1);
    Ticks(run(), 1);
    int32_t count = 0;
    EXPECT_EQ(ReadRad(0, &count).EventNo, 3);
    EXPECT_EQ(count, 1);
    run().StopBranch();
    // A run without events leaves an empty radio file.
    StartRun(run());
    Points(run(), 1);
    const std::string rad = run().RadFile();
    run().StopBranch();
    EXPECT_EQ(QFile(QString::fromStdString(rad)).size(), 0);
}

TEST_F(CycleTest, RadioBoardFailureHaltsTheRunAndUsesUpTheNumber)
{
    for (int board = 3; board <= 5; ++board) {
        SCOPED_TRACE(board);
        StartRun(run());
        const int16_t before = run().Engine().RadRec.EventNo;
        Sim().fail(board, SimOpStart, 1, -7);
        Sim().triggerAtQuery(3, 1);
        run().Timer1Timer();
        EXPECT_EQ(status_, "Запрашиваемый IRQ занят");
        EXPECT_EQ(run().State(), acq::RunState::Halted);
        EXPECT_FALSE(run().BoardsHeld());
        EXPECT_EQ(run().EventsWritten(), 0);
        EXPECT_EQ(run().Engine().RadRec.EventNo, before + 1);
        EXPECT_EQ(run().Engine().CycleCount, 0); // the background cycle did not go on
        run().StopBranch();
        EXPECT_FALSE(run().Running());
        EXPECT_EQ(QFile(QString::fromStdString(run().RadFile())).size(), 0);
    }
}

TEST_F(CycleTest, EventThatCannotBeWrittenIsWrittenAtTheStop)
{
    StartRun(run());
    const QString rad = QString::fromStdString(run().RadFile());
    ASSERT_TRUE(QFile::remove(rad));
    Sim().triggerAtQuery(3, 1);
    Ticks(run(), 1);
    EXPECT_EQ(fileError_, "6_12_23_5.Rad: нет такого файла или папки");
    EXPECT_EQ(run().State(), acq::RunState::Halted);
    EXPECT_FALSE(run().BoardsHeld());
    EXPECT_EQ(run().EventsWritten(), 0);
    QFile(rad).open(QIODevice::WriteOnly);
    run().StopBranch();
    EXPECT_FALSE(run().Running());
    int32_t count = 0;
    EXPECT_EQ(ReadRad(0, &count).EventNo, 1);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(recfile::Count(run().FonFile(), sizeof(TFonKadr)), 1);
}

TEST_F(CycleTest, NotReadyFirstBoardLeavesEverythingUnchanged)
{
    Sim().logPolls(true);
    StartRun(run());
    Ticks(run(), 2);
    Sim().setNeverReady(1, true);
    Sim().clearLog();
    Ticks(run(), 5);
    EXPECT_EQ(run().Engine().CycleCount, 2);
    EXPECT_EQ(run().Engine().FonSum1, 2);
    for (const SimCall& c : Sim().calls())
        EXPECT_TRUE(c.op == SimOpControl && c.args[0] == 0) << "op " << c.op; // status polls only
    Sim().setNeverReady(1, false);
}

TEST_F(CycleTest, LimitsPerChannel)
{
    // Channel 1 sees amplitudes 14 and 15 (codes 76 and 75); limit 14 counts only 15.
    std::vector<int16_t> w(1000, 90);
    w[100] = 76;
    w[200] = 75;
    Sim().scriptSamples(1, 0, w);
    StartRun(run());
    run().Timer1Timer();
    const acq::Cycle& c = run().Engine();
    EXPECT_EQ(c.FonSum1, 1);
    EXPECT_EQ(run().Engine().FonRec.Spectr1[14], 1);
    EXPECT_EQ(run().Engine().FonRec.Spectr1[13], 0);
    run().SetLimitText(1, "13");
    run().Timer1Timer();
    EXPECT_EQ(c.FonSum1, 3);
    run().SetLimitText(1, "-200"); // a negative limit: every minimum counts, no bin
    run().Timer1Timer();
    EXPECT_GT(c.FonSum1, 3);
}

} // namespace
