#include "support/Fixtures.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTest>
#include <fstream>

#include "gains/GainSelect1.h"
#include "mainwindow/VFonPCI2.h"
#include "ui/ErrorReport.h"
#include "platform/Hive.h"
#include "spectrum/Unit2.h"
#include "support/SimDriverControl.h"

namespace testing_support {

void EnsureApp()
{
    if (QApplication::instance())
        return;
    static int argc = 1;
    static char name[] = "vfon_test";
    static char* argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    new QApplication(argc, argv);
}

SimDriverControl& Sim()
{
    static SimDriverControl sim;
    return sim;
}

void UsePrivateHive(const std::string& hiveFile, const std::string& libraryPath)
{
    std::ofstream out(hiveFile);
    out << "; private hive of a test\n";
    if (!libraryPath.empty())
        out << "[SOFTWARE\\Virtual Tools LTD\\Drivers\\1.0\\Lan10m8PCI]\npath=" << libraryPath << "\n";
    hive::SetHivePath(hiveFile);
}

bool WaitFor(const std::function<bool()>& pred, int ms)
{
    QElapsedTimer t;
    t.start();
    while (!pred() && t.elapsed() < ms)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    return pred();
}

void Pump()
{
    for (int i = 0; i < 3; ++i)
        QApplication::processEvents();
}

void WorkDirTest::SetUp()
{
    EnsureApp();
    ASSERT_TRUE(dir_.isValid());
    oldCwd_ = QDir::currentPath();
    QDir::setCurrent(dir_.path());
    clock_ = std::make_unique<rt::FixedClock>(QDateTime(QDate(2026, 12, 6), QTime(23, 5, 0, 0)), 1);
    rt::SetClock(clock_.get());
    ui::ErrorReport::Reset();
}

void WorkDirTest::TearDown()
{
    rt::SetClock(nullptr);
    QDir::setCurrent(oldCwd_);
    hive::SetHivePath({});
}

std::string WorkDirTest::Path(const std::string& name) const { return (dir_.path() + "/").toStdString() + name; }

void WorkDirTest::UseSimulatedBoards()
{
    UsePrivateHive(Path("hive.ini"), SIMDRIVER_PATH);
    SimDriverControl& sim = Sim();
    sim.reset();
    sim.setInstant(true);
    sim.setEventRate(0);
}

void WindowTest::SetUp()
{
    WorkDirTest::SetUp();
    UseSimulatedBoards();
    recording_ = std::make_unique<RecordingRun>();
    Form1 = new TForm1(&recording_->Run());
    spectrum::Form2 = new spectrum::TForm2;
    Form3 = new TForm3;
    Form1->AttachWindows(spectrum::Form2, Form3);
    Form1->Run().SetManualTicks(true);
}

void WindowTest::TearDown()
{
    delete Form3;
    Form3 = nullptr;
    delete spectrum::Form2;
    spectrum::Form2 = nullptr;
    delete Form1;
    Form1 = nullptr;
    recording_.reset();
    Sim().reset();
    ui::ErrorReport::Reset();
    WorkDirTest::TearDown();
}

TForm1* WindowTest::form() const { return Form1; }

void RunTest::SetUp()
{
    WorkDirTest::SetUp();
    UseSimulatedBoards();
    run_ = std::make_unique<RecordingRun>();
    run().SetManualTicks(true);
    QObject::connect(&run(), &acq::RunModel::StatusMessage, [this](const QString& m) { status_ = m; });
    QObject::connect(&run(), &acq::RunModel::FileError, [this](const QString& m) { fileError_ = m; });
    QObject::connect(&run(), &acq::RunModel::TickError, [this](const QString& m) {
        tickError_ = m;
        ++tickErrors_;
    });
}

void RunTest::Recompose(const acq::Station& station)
{
    run_.reset();
    run_ = std::make_unique<RecordingRun>(station);
    run().SetManualTicks(true);
}

void RunTest::TearDown()
{
    run_.reset();
    Sim().reset();
    WorkDirTest::TearDown();
}

} // namespace testing_support
