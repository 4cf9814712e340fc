// A run of the model from start to stop, without a window: points, chart
// batches, frames, the stop, and the faults a run must survive without
// losing data.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <cstring>
#include <future>
#include <thread>

#include "acquisition/RunFiles.h"
#include "datafiles/FrameEnd.h"
#include "datafiles/RecordFile.h"
#include "datafiles/RecordWriter.h"
#include "support/Fixtures.h"
#include "support/Runs.h"
#include "support/SimDriverControl.h"

using namespace testing_support;

namespace {

class RunModelTest : public RunTest {
protected:
    void SetUp() override
    {
        RunTest::SetUp();
        Sim().logPolls(false);
        ScriptBackground();
    }
    TFonKadr ReadFon(int32_t index, int32_t* count = nullptr) const
    {
        auto rec = std::make_unique<TFonKadr>();
        const int32_t n = recfile::ReadRecord(run().FonFile(), index, *rec);
        if (count)
            *count = n;
        return *rec;
    }
    acq::Cycle& cycle() const { return run().Engine(); }
    void ExpectHalted() const
    {
        EXPECT_TRUE(run().Running());
        EXPECT_EQ(run().State(), acq::RunState::Halted);
        EXPECT_FALSE(run().BoardsHeld());
        EXPECT_FALSE(run().BoardsHeld());
    }
    void ExpectIdle() const
    {
        EXPECT_FALSE(run().Running());
        EXPECT_EQ(run().State(), acq::RunState::Idle);
        EXPECT_FALSE(run().BoardsHeld());
    }
};

TEST_F(RunModelTest, StartCreatesBothFilesNamedFromDateAndTime)
{
    StartRun(run());
    EXPECT_EQ(run().RadFile(), "6_12_23_5.Rad");
    EXPECT_EQ(run().FonFile(), "6_12_23_5.fon");
    EXPECT_EQ(QFile("6_12_23_5.Rad").size(), 0);
    EXPECT_EQ(QFile("6_12_23_5.fon").size(), 0);
    EXPECT_EQ(run().State(), acq::RunState::Running);
    EXPECT_EQ(run().Engine().FonRec.KadrNo, 1);
    EXPECT_EQ(run().Engine().FonRec.Rate, 100000000);
    EXPECT_EQ(run().Engine().FonRec.Year, 2026);
    EXPECT_EQ(run().Engine().FonRec.DayOfWeek, 1); // 6 December 2026 is a Sunday
    EXPECT_EQ(run().Engine().FonRec.Hour, 23);
    EXPECT_EQ(run().Engine().FonRec.Min, 5);
    EXPECT_EQ(acq::FileName(rt::Now()), "6_12_23_5.fon");
    EXPECT_EQ(acq::FileNameEAS(rt::Now()), "6_12_23_5.Rad");
}

// The model keeps no file of its own: built bare, a whole run hands its
// frames on and stops cleanly, and nothing appears on disk.
TEST_F(RunModelTest, ABareModelRunsWithoutWritingAFile)
{
    acq::RunModel bare;
    bare.SetManualTicks(true);
    int closed = 0;
    QObject::connect(&bare, &acq::RunModel::FrameClosed, [&](const TFonKadr&) { ++closed; });
    StartRun(bare);
    Points(bare, kFonPoints + 1);
    EXPECT_EQ(closed, 1);
    EXPECT_TRUE(bare.StopBranch());
    EXPECT_EQ(bare.State(), acq::RunState::Idle);
    EXPECT_TRUE(bare.FonFile().empty());
    EXPECT_EQ(bare.FramesWritten(), 0);
    EXPECT_EQ(QDir(".").entryList({"*.fon", "*.Rad", "*.rad"}, QDir::Files), QStringList());
}

// Start never waits on the disk: the files are made, and their folder
// synced, on the recorder's thread, and a folder that refuses them ends the
// run with the folder and the cause named.
TEST_F(RunModelTest, TheRecorderThreadMakesTheFilesAfterStartHasReturned)
{
    const std::thread::id gui = std::this_thread::get_id();
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::thread::id maker;
    acq::SetBeforeCreatingRunFiles([&] {
        maker = std::this_thread::get_id();
        if (maker != gui)
            released.wait(); // the creation is held up until Start has returned
    });
    ASSERT_TRUE(run().StartBranch(acq::DefaultRunSettings()));
    EXPECT_FALSE(QFile::exists("6_12_23_5.fon"));
    EXPECT_EQ(run().FonFile(), "");
    release.set_value();
    run().Drain();
    acq::SetBeforeCreatingRunFiles({});
    EXPECT_NE(maker, gui);
    EXPECT_EQ(run().FonFile(), "6_12_23_5.fon");
    EXPECT_EQ(run().RadFile(), "6_12_23_5.Rad");
    EXPECT_TRUE(QFile::exists("6_12_23_5.Rad"));
    EXPECT_TRUE(run().StopBranch());

    acq::Station station = acq::Station::Default();
    station.DataDir = "missing";
    Recompose(station);
    QString error, halt;
    QObject::connect(&run(), &acq::RunModel::FileError, [&](const QString& m) { error = m; });
    QObject::connect(&run(), &acq::RunModel::RunHalted,
                     [&](acq::HaltCause cause, const QString& m) { halt = cause == acq::HaltCause::NoFiles ? m : ""; });
    ASSERT_TRUE(run().StartBranch(acq::DefaultRunSettings()));
    run().Drain();
    ExpectIdle();
    EXPECT_EQ(error, "Файлы записи не созданы в missing: missing/6_12_23_5.Rad: нет такого файла или папки");
    EXPECT_EQ(halt, error);
    EXPECT_FALSE(QFile::exists("missing"));
}

TEST_F(RunModelTest, SameMinuteRestartNeverTruncatesTheFirstRun)
{
    StartRun(run());
    Points(run(), 2);
    run().StopBranch();
    const auto first = FileBytes("6_12_23_5.fon");
    ASSERT_EQ(first.size(), sizeof(TFonKadr));
    StartRun(run());
    EXPECT_EQ(run().FonFile(), "6_12_23_5_2.fon");
    EXPECT_EQ(run().RadFile(), "6_12_23_5_2.Rad");
    run().StopBranch();
    EXPECT_EQ(FileBytes("6_12_23_5.fon"), first);
    // A stray file of either kind takes the name too: both files share a stem.
    QFile("6_12_23_5_3.Rad").open(QIODevice::WriteOnly);
    StartRun(run());
    EXPECT_EQ(run().FonFile(), "6_12_23_5_4.fon");
    EXPECT_EQ(run().RadFile(), "6_12_23_5_4.Rad");
    EXPECT_FALSE(QFile::exists("6_12_23_5_3.fon"));
}

TEST_F(RunModelTest, PointEveryTwentyFiveCycles)
{
    StartRun(run());
    Ticks(run(), 24);
    EXPECT_EQ(cycle().PointNo, 0);
    EXPECT_EQ(cycle().CycleCount, 24);
    EXPECT_EQ(cycle().FonSum1, 24);
    EXPECT_EQ(cycle().FonSum4, 24 * 4);
    Ticks(run(), 1);
    EXPECT_EQ(cycle().PointNo, 1);
    EXPECT_EQ(cycle().CycleCount, 0);
    EXPECT_EQ(cycle().FonSum1, 0);
    const TFonKadr& r = run().Engine().FonRec;
    EXPECT_EQ(r.Counts1[0], 25);
    EXPECT_EQ(r.Counts2[0], 50);
    EXPECT_EQ(r.Counts3[0], 75);
    EXPECT_EQ(r.Counts4[0], 100);
    EXPECT_EQ(r.Times[0].Hour, 23);
    EXPECT_EQ(r.Times[0].Min, 5);
    // Every pulse of amplitude 50 went into bin 50 of its channel.
    EXPECT_EQ(r.Spectr1[49], 25);
    EXPECT_EQ(r.Spectr4[49], 100);
}

TEST_F(RunModelTest, FrameWrittenEverySixHundredPoints)
{
    StartRun(run());
    Points(run(), 599);
    EXPECT_EQ(recfile::Count(run().FonFile(), sizeof(TFonKadr)), 1); // the frame so far, in place
    EXPECT_EQ(run().FramesWritten(), 0);
    Points(run(), 1);
    EXPECT_EQ(run().FramesWritten(), 1);
    EXPECT_EQ(cycle().PointNo, 0);
    EXPECT_EQ(run().Engine().FonRec.KadrNo, 2);
    EXPECT_EQ(run().Engine().FonRec.Spectr1[49], 0); // the next frame's spectra start empty
    Points(run(), 1200);
    int32_t count = 0;
    for (int r = 0; r < 3; ++r) {
        const TFonKadr k = ReadFon(r, &count);
        EXPECT_EQ(k.KadrNo, r + 1);
        EXPECT_EQ(k.Counts1[599], 25);
        EXPECT_EQ(k.Counts4[0], 100);
        EXPECT_EQ(k.Spectr2[49], 600 * 50);
        EXPECT_EQ(k.FGain1, 100);
    }
    EXPECT_EQ(count, 3);
}

TEST_F(RunModelTest, StopAfterSevenPointsAndThreeCycles)
{
    int32_t stopCycles = -1;
    QObject::connect(&run(), &acq::RunModel::StopCycles, [&](int32_t n) { stopCycles = n; });
    StartRun(run());
    Points(run(), 7);
    Ticks(run(), 3);
    clock_->Set(QDateTime(QDate(2026, 12, 6), QTime(23, 6, 40, 500)));
    EXPECT_TRUE(run().StopBranch());
    EXPECT_EQ(stopCycles, 178);
    ExpectIdle();
    int32_t count = 0;
    const TFonKadr k = ReadFon(0, &count);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(run().FramesWritten(), 1);
    // Points 1 to 7 keep their counts; 8 on are zero; point 8 carries the stop time.
    for (int p = 1; p <= 7; ++p)
        EXPECT_EQ(k.Counts3[p - 1], 75) << p;
    for (int p = 8; p <= 600; ++p)
        ASSERT_TRUE(k.Counts1[p - 1] == 0 && k.Counts2[p - 1] == 0 && k.Counts3[p - 1] == 0 && k.Counts4[p - 1] == 0) << p;
    EXPECT_EQ(k.Times[7].Min, 6);
    EXPECT_EQ(k.Times[7].Sec, 40);
    EXPECT_EQ(k.Times[7].MSec, 500);
    // The spectra cover the partial frame: 7 × 25 + 3 cycles.
    EXPECT_EQ(k.Spectr1[49], 178);
}

TEST_F(RunModelTest, StopBeforeTheFirstPointAndRightAfterAFrame)
{
    StartRun(run());
    Ticks(run(), 10);
    run().StopBranch();
    TFonKadr k = ReadFon(0);
    EXPECT_EQ(k.Counts1[0], 0);
    EXPECT_EQ(k.Spectr1[49], 10);
    EXPECT_EQ(k.Times[0].Min, 5); // the stop time marks the end at point 1

    StartRun(run());
    Points(run(), 600);
    run().StopBranch();
    int32_t count = 0;
    k = ReadFon(1, &count);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(k.KadrNo, 2);
    for (int p = 0; p < 600; ++p)
        ASSERT_EQ(k.Counts1[p], 0);
}

TEST_F(RunModelTest, DriverFailureOfABackgroundBoardDuringARun)
{
    for (int board = 1; board <= 2; ++board) {
        SCOPED_TRACE(board);
        clock_->Set(QDateTime(QDate(2026, 12, 6), QTime(23, 5, 0, 0)));
        StartRun(run());
        Points(run(), 2);
        Ticks(run(), 1);
        Sim().fail(board, SimOpStart, 1, -3);
        run().Timer1Timer();
        EXPECT_EQ(status_, "Недопустимый базовый адрес");
        ExpectHalted();
        // A failing first board counts nothing of the cycle; a failing second
        // board has channels 1 and 2 counted, not 3 and 4, and no cycle.
        EXPECT_EQ(cycle().CycleCount, 1);
        EXPECT_EQ(cycle().FonSum1, board == 1 ? 1 : 2);
        EXPECT_EQ(cycle().FonSum3, 3);
        // The end marker has the time the recording stopped, not the later press's.
        const TPointTime halted = cycle().StoppedAt();
        clock_->Set(QDateTime(QDate(2026, 12, 6), QTime(23, 59, 0, 0)));
        EXPECT_TRUE(run().StopBranch()); // the stop branch writes the frame
        ExpectIdle();
        EXPECT_EQ(ReadFon(0).Counts2[1], 50);
        EXPECT_EQ(ReadFon(0).Times[2].Min, halted.Min);
        EXPECT_EQ(halted.Min, 5);
    }
}

TEST_F(RunModelTest, BoundedWaitForEitherBackgroundBoard)
{
    for (int board = 1; board <= 2; ++board) {
        SCOPED_TRACE(board);
        StartRun(run());
        Points(run(), 1);
        Sim().setNeverReady(board, true);
        // The first board is asked again at every tick until the bound.
        for (int i = 0; i < 1000 && run().State() == acq::RunState::Running; ++i) {
            run().Timer1Timer();
            acq::SleepUntilNs(acq::SteadyNowNs() + 1'000'000);
        }
        ExpectHalted();
        EXPECT_EQ(status_, QString("Плата фона %1 не выдала данные за 100 мс: работа остановлена").arg(board));
        Sim().setNeverReady(board, false);
        EXPECT_TRUE(run().StopBranch());
        EXPECT_EQ(ReadFon(0).Counts1[0], 25);
    }
}

TEST_F(RunModelTest, TheFrameSoFarIsOnDiskAfterEveryBatch)
{
    StartRun(run());
    for (int points : {10, 20, 590}) {
        SCOPED_TRACE(points);
        clock_->Set(QDateTime(QDate(2026, 12, 6), QTime(23, 10, 0, 0)));
        Points(run(), points - cycle().PointNo - 1);
        clock_->Set(QDateTime(QDate(2026, 12, 6), QTime(23, 40, 7, 0)));
        Points(run(), 1); // the batch: its points reach the file at once
        int32_t count = 0;
        const TFonKadr k = ReadFon(0, &count);
        EXPECT_EQ(count, 1);
        EXPECT_EQ(k.KadrNo, 1);
        EXPECT_EQ(k.Counts4[points - 1], 100);
        EXPECT_EQ(k.Counts1[points] + k.Counts2[points] + k.Counts3[points] + k.Counts4[points], 0);
        EXPECT_EQ(k.Times[points].Min, 40); // the end of what was saved
        EXPECT_EQ(k.Spectr1[49], points * 25);
    }
}

TEST_F(RunModelTest, AFrameItsFileRefusesTwiceGoesToARescueFileByteForByte)
{
    std::unique_ptr<TFonKadr> full;
    QObject::connect(&run(), &acq::RunModel::NewBatch, [&](const TFonKadr& frame, int32_t, int32_t last) {
        if (last == kFonPoints)
            full = std::make_unique<TFonKadr>(frame);
    });
    QFile("6_12_23_5_2.fon").open(QIODevice::WriteOnly); // an earlier run's
    StartRun(run());
    Points(run(), 599);
    ASSERT_TRUE(QFile::remove(QString::fromStdString(run().FonFile())));
    Points(run(), 1);
    EXPECT_EQ(fileError_, "6_12_23_5.fon: нет такого файла или папки");
    ExpectHalted();
    ASSERT_TRUE(full);
    // The next press tries the file again; it fails again, so the full frame
    // and the frame begun after it go to the first free name of the pattern.
    EXPECT_TRUE(run().StopBranch());
    ExpectIdle();
    EXPECT_TRUE(status_.contains("6_12_23_5_3.fon")) << status_.toStdString();
    auto rescued = std::make_unique<TFonKadr>();
    ASSERT_EQ(recfile::ReadRecord("6_12_23_5_3.fon", 0, *rescued), 2);
    EXPECT_EQ(std::memcmp(rescued.get(), full.get(), sizeof(TFonKadr)), 0);
    recfile::ReadRecord("6_12_23_5_3.fon", 1, *rescued);
    EXPECT_EQ(rescued->KadrNo, 2);
}

TEST_F(RunModelTest, AFailingRadioFileNeverKeepsTheFrameFromItsFile)
{
    StartRun(run());
    Points(run(), 2);
    ASSERT_TRUE(QFile::remove(QString::fromStdString(run().RadFile())));
    Sim().triggerAtQuery(3, 1);
    Ticks(run(), 1);
    ExpectHalted();
    // The stop retries the event, which fails again and goes to a rescue
    // file; the frame goes to its own file all the same.
    EXPECT_TRUE(run().StopBranch());
    EXPECT_EQ(ReadFon(0).Counts1[1], 25);
    EXPECT_EQ(recfile::Count(run().FonFile(), sizeof(TFonKadr)), 1);
    EXPECT_EQ(recfile::Count("6_12_23_5_2.Rad", sizeof(TRadKadr)), 1);
}

TEST_F(RunModelTest, LastFrameThatCannotBeWrittenAtStop)
{
    StartRun(run());
    Points(run(), 3);
    const std::string name = run().FonFile();
    ASSERT_TRUE(QFile::remove(QString::fromStdString(name)));
    EXPECT_FALSE(run().StopBranch());
    EXPECT_EQ(fileError_, "6_12_23_5.fon: нет такого файла или папки");
    ExpectHalted();
    QFile(QString::fromStdString(name)).open(QIODevice::WriteOnly);
    EXPECT_TRUE(run().StopBranch());
    ExpectIdle();
    EXPECT_EQ(ReadFon(0).Counts1[2], 25);
}

TEST_F(RunModelTest, ABadLimitAbandonsEveryTickUntilCorrected)
{
    StartRun(run());
    run().SetLimitText(2, "");
    Ticks(run(), 3);
    EXPECT_EQ(tickError_, "«» не целое число");
    EXPECT_EQ(tickErrors_, 3);
    EXPECT_EQ(cycle().CycleCount, 0);
    run().SetLimitText(2, " 20     ");
    run().Timer1Timer();
    EXPECT_EQ(cycle().CycleCount, 1);
}

// The files are written on the recorder's own thread: a disk that answers
// no write holds up no tick (the thread the ticks run on here is the GUI
// thread): every tick of 620 points returns while not one write has gone
// through; a disk that then takes 300 ms for every write still has
// everything on it at the stop.
TEST_F(RunModelTest, ASlowDiskHoldsUpNoTickAndLosesNothing)
{
    StartRun(run());
    const int64_t writesBefore = recfile::WritesThroughSeam();
    recfile::SetWriteSeam({0, -1, true});
    for (int tick = 0; tick < 620 * kCyclesPerPoint; ++tick)
        run().Timer1Timer();
    EXPECT_EQ(cycle().PointNo, 20) << "every tick ran: the second frame is at point 20";
    EXPECT_EQ(recfile::WritesThroughSeam(), writesBefore) << "a tick waited for the disk";
    recfile::SetWriteSeam({300, -1});
    EXPECT_TRUE(run().StopBranch());
    recfile::SetWriteSeam({});
    int32_t count = 0;
    const TFonKadr first = ReadFon(0, &count);
    ASSERT_EQ(count, 2);
    EXPECT_EQ(StopPoint(first, false), 0);
    EXPECT_EQ(first.Counts4[599], 100);
    const TFonKadr last = ReadFon(1);
    EXPECT_EQ(StopPoint(last, true), 21);
    EXPECT_EQ(last.Counts1[19], 25);
    EXPECT_EQ(run().FramesWritten(), 2);
}

} // namespace

namespace {

/// A run with its readout thread on boards that pace themselves.
class ThreadedRunTest : public RunTest {
protected:
    void SetUp() override
    {
        RunTest::SetUp();
        rt::SetClock(nullptr); // the readout thread reads the system clock
        Sim().setInstant(false);
        Sim().logPolls(false);
        run().SetManualTicks(false);
    }
};

TEST_F(ThreadedRunTest, LiveTimeAgreesWithTheDriversOwnFigure)
{
    int32_t points = 0;
    QObject::connect(&run(), &acq::RunModel::NewPoint, [&](int32_t p) { points = p; });
    ASSERT_TRUE(run().StartBranch(acq::DefaultRunSettings()));
    // Both figures over the same stretch of the run: from its first point to its sixth.
    struct Reading { double own[2], sim[2], ownWall, simWall; };
    auto read = [this] {
        Reading r{};
        const acq::LiveFigures f = run().Figures();
        r.ownWall = f.Seconds;
        for (int b = 0; b < 2; ++b) {
            r.own[b] = f.Percent[static_cast<size_t>(b)] * f.Seconds / 100;
            r.sim[b] = Sim().liveSeconds(b + 1, &r.simWall);
        }
        return r;
    };
    ASSERT_TRUE(WaitFor([&] { return points >= 1; }));
    const Reading a = read();
    ASSERT_TRUE(WaitFor([&] { return points >= 6; })); // a point is 25 cycles of 10 ms
    const Reading b = read();
    EXPECT_TRUE(run().StopBranch());
    for (int k = 0; k < 2; ++k) {
        const double own = 100 * (b.own[k] - a.own[k]) / (b.ownWall - a.ownWall);
        const double sim = 100 * (b.sim[k] - a.sim[k]) / (b.simWall - a.simWall);
        EXPECT_NEAR(own, sim, 1.0) << "board " << k + 1;
    }
    // The stop has the frame as far as it came, points in order, then zeros.
    auto k = std::make_unique<TFonKadr>();
    recfile::ReadRecord(run().FonFile(), 0, *k);
    EXPECT_GT(k->Counts1[points - 2], 0);
    EXPECT_EQ(k->Counts1[points], 0);
}

} // namespace
