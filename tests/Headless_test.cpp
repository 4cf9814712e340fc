// The real program without a window: a recording on the simulated boards
// from the command line, stopped by time or by SIGTERM, and its refusals.
#include <gtest/gtest.h>

#include <QDir>
#include <QProcess>
#include <QFileInfo>
#include <QTemporaryDir>
#include <csignal>
#include <sys/stat.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "datafiles/FrameEnd.h"
#include "datafiles/RecordFile.h"
#include "support/Fixtures.h"

namespace {

/// Whether process `pid` has handlers for SIGTERM, SIGINT and SIGHUP (its
/// SigCgt mask in /proc): from then on these signals no longer kill it.
bool CatchesTermination(pid_t pid)
{
    QFile status(QString("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (!line.startsWith("SigCgt:"))
            continue;
        const quint64 mask = line.mid(7).trimmed().toULongLong(nullptr, 16);
        const auto bit = [](int signo) { return quint64{1} << (signo - 1); };
        return (mask & (bit(SIGTERM) | bit(SIGINT) | bit(SIGHUP))) == (bit(SIGTERM) | bit(SIGINT) | bit(SIGHUP));
    }
    return false;
}

class HeadlessTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        testing_support::EnsureApp();
        ASSERT_TRUE(dir_.isValid());
        hive_ = dir_.filePath("hive.ini").toStdString();
    }
    /// Starts `vfon args` in the temporary directory with its own hive.
    void Start(const QStringList& args, const std::string& driver = SIMDRIVER_PATH,
               const QProcessEnvironment& extra = {})
    {
        testing_support::UsePrivateHive(hive_, driver);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("VFON_HIVE", QString::fromStdString(hive_));
        env.insert(extra);
        proc_.setProcessEnvironment(env);
        proc_.setWorkingDirectory(dir_.path());
        proc_.start(VFON_PATH, args);
        ASSERT_TRUE(proc_.waitForStarted());
    }
    void Finish()
    {
        ASSERT_TRUE(proc_.waitForFinished(60000));
        out_ = QString::fromUtf8(proc_.readAllStandardOutput());
        err_ = QString::fromUtf8(proc_.readAllStandardError());
    }
    std::string Only(const char* pattern) const
    {
        const QStringList names = QDir(dir_.path()).entryList({pattern}, QDir::Files);
        EXPECT_EQ(names.size(), 1) << pattern;
        return names.isEmpty() ? std::string() : dir_.filePath(names[0]).toStdString();
    }
    /// The frame record holds points 1..n-1 (n ≥ 2) and zeros from point n
    /// on; returns the points it holds.
    int ExpectStoppedFrame(int atLeastPoints) const
    {
        const std::string fon = Only("*.fon");
        EXPECT_EQ(recfile::Count(fon, sizeof(TFonKadr)), 1);
        if (recfile::Count(fon, sizeof(TFonKadr)) != 1)
            return 0;
        auto k = std::make_unique<TFonKadr>();
        recfile::ReadRecord(fon, 0, *k);
        EXPECT_EQ(k->KadrNo, 1);
        int n = 0;
        while (n < kFonPoints && (k->Counts1[n] || k->Counts2[n] || k->Counts3[n] || k->Counts4[n]))
            ++n;
        EXPECT_GE(n, atLeastPoints);
        if (n == 0)
            return 0;
        for (int p = n; p < kFonPoints; ++p)
            EXPECT_EQ(k->Counts1[p] + k->Counts2[p] + k->Counts3[p] + k->Counts4[p], 0) << p;
        // The first zero point carries the stop time: after the last point's.
        const auto ms = [](const TPointTime& t) { return ((t.Hour * 60 + t.Min) * 60 + t.Sec) * 1000 + t.MSec; };
        EXPECT_GE(ms(k->Times[n]), ms(k->Times[n - 1]));
        EXPECT_EQ(QFile(QString::fromStdString(Only("*.Rad"))).size() % sizeof(TRadKadr), 0);
        return n;
    }

    QTemporaryDir dir_;
    std::string hive_;
    QProcess proc_;
    QString out_, err_;
};

TEST_F(HeadlessTest, RecordsForTheSecondsAskedWithProgressLines)
{
    Start({"--headless", "--seconds", "3", "--progress-interval", "1", "--limits", "14,20,16,20", "--fon-gains",
           "100,100,100,100"});
    Finish();
    EXPECT_EQ(proc_.exitCode(), 0) << err_.toStdString();
    EXPECT_GE(out_.count("живое время"), 2) << out_.toStdString();
    // However many points a loaded machine made in 3 s, the file holds those
    // the closing line reports.
    const int reported = out_.section("запись окончена", 1).section("точек ", 1).section(',', 0, 0).toInt();
    EXPECT_EQ(ExpectStoppedFrame(2), reported) << out_.toStdString();
}

TEST_F(HeadlessTest, SigtermStopsTheRunAndWritesTheFrame)
{
    Start({"--headless", "--progress-interval", "1"});
    QByteArray out;
    ASSERT_TRUE(testing_support::WaitFor([&] { return (out += proc_.readAll()).contains("точек"); }));
    proc_.terminate(); // SIGTERM
    Finish();
    EXPECT_EQ(proc_.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(proc_.exitCode(), 0) << err_.toStdString();
    ExpectStoppedFrame(2);
}

TEST_F(HeadlessTest, TellsSystemdReadyStatusAndWatchdog)
{
    // The service manager's end of NOTIFY_SOCKET: a datagram socket.
    const std::string path = dir_.filePath("notify").toStdString();
    const int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", path.c_str());
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    QProcessEnvironment env;
    env.insert("NOTIFY_SOCKET", QString::fromStdString(path));
    env.insert("WATCHDOG_USEC", "1000000");
    Start({"--headless", "--seconds", "3"}, SIMDRIVER_PATH, env);
    Finish();
    EXPECT_EQ(proc_.exitCode(), 0) << err_.toStdString();
    QStringList messages;
    char buf[1024];
    for (ssize_t n; (n = recv(fd, buf, sizeof buf, MSG_DONTWAIT)) > 0;)
        messages << QString::fromUtf8(buf, static_cast<int>(n));
    close(fd);
    ASSERT_FALSE(messages.isEmpty());
    EXPECT_TRUE(messages.first().startsWith("READY=1\nSTATUS=живое время")) << messages.first().toStdString();
    EXPECT_GE(messages.filter("WATCHDOG=1").size(), 3) << messages.join('|').toStdString();
    EXPECT_EQ(messages.last(), "STOPPING=1");
    // Off a terminal a progress line comes once a minute: none in 3 s.
    EXPECT_EQ(out_.count('\n'), 2) << out_.toStdString();
}

TEST_F(HeadlessTest, RefusalsEndNonZeroWithTheirMessage)
{
    struct Case {
        QStringList args;
        std::string driver;
        int exit; ///< -1: any code but 0
        const char* message;
    };
    const Case cases[] = {
        {{"--headless", "--seconds", "1"}, "", 1, "Нет необходимого драйвера IntDMA32.VxD"},
        {{"--headless", "--limits", "1,2"}, SIMDRIVER_PATH, -1, "--limits"},
        {{"--headless", "--radio-gains", "1,2,3,4,5,70000"}, SIMDRIVER_PATH, -1, "70000"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        Start(c.args, c.driver);
        Finish();
        if (c.exit < 0)
            EXPECT_NE(proc_.exitCode(), 0);
        else
            EXPECT_EQ(proc_.exitCode(), c.exit);
        EXPECT_TRUE(err_.contains(c.message)) << err_.toStdString();
    }
    EXPECT_TRUE(QDir(dir_.path()).entryList({"*.fon", "*.Rad"}, QDir::Files).isEmpty());
    Start({"--help"});
    Finish();
    EXPECT_EQ(proc_.exitCode(), 0);
    for (const char* option : {"--headless", "--seconds", "--limits", "--radio-gains", "--fon-gains"})
        EXPECT_TRUE(out_.contains(option)) << option;
}

// Two stations on one PC: each with its hive and its folder, none writing
// into the other's or into the folder it was started from.
TEST_F(HeadlessTest, TwoStationsSideBySideWriteOnlyTheirOwnFolders)
{
    QDir(dir_.path()).mkpath("a");
    QDir(dir_.path()).mkpath("b");
    QProcess other;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    const QString hiveB = dir_.filePath("b.ini");
    env.insert("VFON_HIVE", hiveB);
    other.setProcessEnvironment(env);
    other.setWorkingDirectory(dir_.path());
    Start({"--headless", "--seconds", "2", "--data-dir", "a"});
    QFile::copy(QString::fromStdString(hive_), hiveB);
    other.start(VFON_PATH, {"--headless", "--seconds", "2", "--data-dir", dir_.filePath("b")});
    Finish();
    ASSERT_TRUE(other.waitForFinished(60000));
    EXPECT_EQ(proc_.exitCode(), 0) << err_.toStdString();
    EXPECT_EQ(other.exitCode(), 0) << other.readAllStandardError().toStdString();
    for (const char* folder : {"a", "b"})
        EXPECT_EQ(QDir(dir_.filePath(folder)).entryList({"*.fon", "*.Rad"}, QDir::Files).size(), 2) << folder;
    EXPECT_TRUE(QDir(dir_.path()).entryList({"*.fon", "*.Rad"}, QDir::Files).isEmpty());
}

// A frame file removed during the run: the frame goes on in a rescue file at
// its next save (mid-run) or at the stop; either way every record is on
// disk, the rescue file is named and the program ends 0. Killed after a
// rescue mid-run, it has lost at most the last ten points it reported.
TEST_F(HeadlessTest, ARecordRescuedMidRunOrAtTheStopEndsZero)
{
    enum Mode { MidRun, AtStop, KilledAfterRescue };
    for (const Mode mode : {MidRun, AtStop, KilledAfterRescue}) {
        SCOPED_TRACE(mode);
        for (const QString& f : QDir(dir_.path()).entryList({"*.fon", "*.Rad"}, QDir::Files))
            QFile::remove(dir_.filePath(f));
        Start({"--headless", "--progress-interval", "1"});
        QByteArray out, err;
        ASSERT_TRUE(testing_support::WaitFor([&] { return (out += proc_.readAllStandardOutput()).contains("точек"); }));
        QFile::remove(QString::fromStdString(Only("*.fon")));
        if (mode != AtStop) {
            ASSERT_TRUE(testing_support::WaitFor(
                [&] { return (err += proc_.readAllStandardError()).contains("запасной файл"); }, 20000));
        }
        if (mode == KilledAfterRescue) {
            // The run goes on into the rescue file for three more progress lines.
            const qsizetype lines = out.count("точек");
            ASSERT_TRUE(testing_support::WaitFor(
                [&] { return (out += proc_.readAllStandardOutput()).count("точек") >= lines + 3; }, 60000));
            proc_.kill();
        } else {
            proc_.terminate();
        }
        Finish();
        out_ = QString::fromUtf8(out) + out_;
        err_ = QString::fromUtf8(err) + err_;
        const std::string rescue = Only("*.fon");
        EXPECT_EQ(recfile::Count(rescue, sizeof(TFonKadr)), 1);
        if (mode == KilledAfterRescue) {
            const QString last = out_.split('\n', Qt::SkipEmptyParts).last();
            const int reported = last.section("точек ", 1).section(' ', 0, 0).toInt();
            auto k = std::make_unique<TFonKadr>();
            recfile::ReadRecord(rescue, 0, *k);
            EXPECT_LE(reported - (StopPoint(*k, true) - 1), 10) << last.toStdString();
            continue;
        }
        EXPECT_EQ(proc_.exitCode(), 0) << err_.toStdString();
        EXPECT_TRUE(err_.contains(QFileInfo(QString::fromStdString(rescue)).fileName())) << err_.toStdString();
        EXPECT_TRUE(out_.contains("кадров 1")) << out_.toStdString();
    }
}

// Signals: three in a burst stop a run as one does, in both programs, and a
// signal at the first moment the program can take one (its handlers are
// the first thing it sets up) stops it as cleanly, with whole records or no
// file at all; a driver path that is a pipe is refused; a program stuck in
// its driver ends at a signal that comes a second or more after the first.
TEST_F(HeadlessTest, SignalsInABurstAndAProgramStuckInItsDriver)
{
    enum When { RunGoing, Starting };
    const struct {
        QStringList args;
        When when;
    } cases[] = {
        {{"--headless", "--progress-interval", "1"}, RunGoing},
        {{"--headless", "--progress-interval", "1"}, Starting},
        {{}, Starting},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString() + (c.when == Starting ? " starting" : " running"));
        for (const QString& f : QDir(dir_.path()).entryList({"*.fon", "*.Rad"}, QDir::Files))
            QFile::remove(dir_.filePath(f));
        Start(c.args);
        QByteArray out;
        const auto pid = static_cast<pid_t>(proc_.processId());
        if (c.when == RunGoing)
            ASSERT_TRUE(testing_support::WaitFor([&] { return (out += proc_.readAll()).contains("точек"); }, 60000));
        else
            ASSERT_TRUE(testing_support::WaitFor([&] { return CatchesTermination(pid); }, 60000));
        for (int signo : {SIGTERM, SIGINT, SIGHUP})
            ::kill(pid, signo);
        Finish();
        EXPECT_EQ(proc_.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(proc_.exitCode(), 0) << err_.toStdString();
        for (const auto& [pattern, size] : {std::pair{"*.fon", sizeof(TFonKadr)}, std::pair{"*.Rad", sizeof(TRadKadr)}})
            for (const QFileInfo& f : QDir(dir_.path()).entryInfoList({pattern}, QDir::Files))
                EXPECT_EQ(f.size() % static_cast<qint64>(size), 0) << f.fileName().toStdString();
    }
    ASSERT_EQ(mkfifo(dir_.filePath("driver.so").toUtf8().constData(), 0644), 0);
    Start({"--headless"}, dir_.filePath("driver.so").toStdString());
    Finish();
    EXPECT_EQ(proc_.exitCode(), 1);
    EXPECT_TRUE(err_.contains("driver.so: не обычный файл (папка, канал или устройство)")) << err_.toStdString();

    Start({"--headless"}, HANGING_DRIVER);
    QByteArray err;
    const auto said = [&](const char* line) {
        return testing_support::WaitFor([&] { return (err += proc_.readAllStandardError()).contains(line); }, 60000);
    };
    ASSERT_TRUE(said("HangingDriver: entered"));
    proc_.terminate();
    // Asked: the handler has run and the driver waits on; the program cannot answer.
    ASSERT_TRUE(said("HangingDriver: a signal was handled"));
    EXPECT_EQ(proc_.state(), QProcess::Running);
    // Insisted: the first signal that comes a second after the first ends it.
    bool ended = false;
    for (int again = 0; again < 40 && !(ended = proc_.waitForFinished(1500)); ++again)
        proc_.terminate();
    ASSERT_TRUE(ended);
    err += proc_.readAllStandardError();
    EXPECT_EQ(proc_.exitCode(), 128 + SIGTERM);
    EXPECT_TRUE(err.contains("второй сигнал")) << err.toStdString();
}

} // namespace
