#pragma once
// Shared test fixtures: the Qt application, a temporary working directory,
// a private hive naming the simulated driver, a set clock, and the three
// windows of the program created as the program creates them.
#include <QDateTime>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>

#include "platform/Clock.h"

#include "acquisition/RunModel.h"
#include "support/RecordingRun.h"

class TForm1;
class SimDriverControl;

namespace testing_support {

/// The one QApplication of a test program (created on first use).
void EnsureApp();

/// Writes a hive file naming `libraryPath` as the driver and makes it the
/// hive in use; an empty path writes a hive without the key.
void UsePrivateHive(const std::string& hiveFile, const std::string& libraryPath);

/// The simulated driver's control entries (one instance per test program).
SimDriverControl& Sim();

/// Runs the event loop until `pred` holds or `ms` pass; returns pred().
/// The default is generous: a loaded machine is slow, never wrong.
bool WaitFor(const std::function<bool()>& pred, int ms = 60000);
/// Processes pending events (queued replots, timers due).
void Pump();

/// A test in a temporary working directory with a set clock
/// (6 December 2026, 23:05:00.000, moving 1 ms per reading).
class WorkDirTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    std::string Path(const std::string& name) const;
    /// The simulated driver in a private hive, reset, its boards ready at
    /// once after Start and no random radio event.
    void UseSimulatedBoards();

    QTemporaryDir dir_;
    QString oldCwd_;
    std::unique_ptr<rt::FixedClock> clock_;
};

/// A test with the three windows on the simulated driver (registered in a
/// private hive); the driver's scripts are reset, its boards report ready at
/// once and no random radio event comes. The main window's run records, as
/// the program's does.
class WindowTest : public WorkDirTest {
protected:
    void SetUp() override;
    void TearDown() override;
    TForm1* form() const;

    std::unique_ptr<RecordingRun> recording_;
};

/// A test of the run model alone, without a window, on the simulated driver
/// as WindowTest sets it up, with the recorder; its ticks are driven by hand.
class RunTest : public WorkDirTest {
protected:
    void SetUp() override;
    void TearDown() override;
    acq::RunModel& run() const { return run_->Run(); }
    /// A recording run on `station` in place of the one SetUp made (without
    /// the messages kept below).
    void Recompose(const acq::Station& station);

    std::unique_ptr<RecordingRun> run_;
    QString status_;    ///< the last status message of the run
    QString fileError_; ///< the last file error
    QString tickError_; ///< the last abandoned tick's message
    int tickErrors_ = 0;
};

} // namespace testing_support
