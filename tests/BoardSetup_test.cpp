// Set-up and release of the five boards, as the driver sees the calls.
#include <gtest/gtest.h>

#include <QDir>
#include <QPushButton>
#include <QStatusBar>
#include <cstring>
#include <sys/stat.h>

#include "mainwindow/VFonPCI2.h"
#include "platform/Hive.h"
#include "support/Fixtures.h"
#include "support/SimDriverControl.h"

using testing_support::RunTest;
using testing_support::Sim;

namespace {

class BoardSetupTest : public RunTest {
protected:
    /// The calls of the set-up, without status polls.
    std::vector<SimCall> SetupCalls() const
    {
        std::vector<SimCall> out;
        for (const SimCall& c : Sim().calls())
            if (c.op != SimOpControl || c.args[0] != 0)
                out.push_back(c);
        return out;
    }
    void ExpectIdleAfterFailure(const char* message)
    {
        EXPECT_EQ(status_, message);
        EXPECT_FALSE(run().Running());
        EXPECT_EQ(run().State(), acq::RunState::Idle);
        EXPECT_FALSE(run().BoardsHeld());
        EXPECT_FALSE(run().BoardsHeld());
        EXPECT_TRUE(QDir::current().entryList({"*.fon", "*.Rad"}, QDir::Files).isEmpty());
        // Every board obtained was stopped and released.
        int created = 0;
        for (const SimCall& c : Sim().calls(SimOpCreate))
            created += c.result != 0;
        EXPECT_EQ(static_cast<int>(Sim().calls(SimOpRelease).size()), created);
    }
};

/// The 48 bytes of a parameter record, written out field by field.
std::vector<uint8_t> Record(int32_t mode, int32_t samples, int32_t aux1, int32_t chan, int32_t g1, int32_t g2,
                            int32_t flags, int32_t aux2)
{
    const float rate = 100000000.0f;
    int32_t rateBits;
    std::memcpy(&rateBits, &rate, 4);
    const int32_t words[12] = {5, 48, mode, rateBits, samples, aux1, chan, chan, g1, g2, flags, aux2};
    std::vector<uint8_t> bytes;
    for (int32_t w : words)
        for (int b = 0; b < 4; ++b)
            bytes.push_back(static_cast<uint8_t>(static_cast<uint32_t>(w) >> (8 * b)));
    return bytes;
}

TEST_F(BoardSetupTest, CallSequenceAndParameterRecords)
{
    Sim().clearLog();
    ASSERT_TRUE(run().InitBoards(acq::DefaultRunSettings()));
    const auto calls = SetupCalls();
    struct Expected { int32_t op; int32_t board; int32_t a0; };
    const Expected want[] = {
        {SimOpCreate, 0, 0}, {SimOpCreate, 1, 0}, {SimOpCreate, 2, 0}, {SimOpCreate, 3, 0}, {SimOpCreate, 4, 0},
        {SimOpInit, 1, 1}, {SimOpInit, 2, 2}, {SimOpInit, 3, 3}, {SimOpInit, 4, 4}, {SimOpInit, 5, 5},
        {SimOpControl, 3, 2020}, {SimOpControl, 1, 2020}, {SimOpControl, 2, 2020}, {SimOpControl, 4, 2020},
        {SimOpControl, 5, 2020},
        {SimOpSetup, 1, 1}, {SimOpSetup, 2, 1}, {SimOpSetup, 3, 1}, {SimOpSetup, 4, 1}, {SimOpSetup, 5, 1},
        {SimOpStart, 1, 0}, {SimOpStart, 2, 0}, {SimOpStart, 3, 0}, {SimOpStart, 4, 0}, {SimOpStart, 5, 0},
    };
    ASSERT_EQ(calls.size(), std::size(want));
    for (size_t i = 0; i < calls.size(); ++i) {
        EXPECT_EQ(calls[i].op, want[i].op) << i;
        if (want[i].op != SimOpCreate) {
            EXPECT_EQ(calls[i].board, want[i].board) << i;
            EXPECT_EQ(calls[i].args[0], want[i].a0) << i;
        }
    }
    for (size_t i = 5; i < 10; ++i) { // Init(n, 1, 0, 0)
        EXPECT_EQ(calls[i].args[1], 1);
        EXPECT_EQ(calls[i].args[2], 0);
        EXPECT_EQ(calls[i].args[3], 0);
    }
    for (size_t i = 10; i < 15; ++i) // Control(2020, 1)
        EXPECT_EQ(calls[i].args[1], 1);
    const std::vector<uint8_t> records[] = {
        Record(1, 1000000, 0, 90, 100, 100, 104, 0), Record(1, 1000000, 0, 90, 100, 100, 104, 0),
        Record(8, 8192, 3, -100, 20, 20, 238, 20), Record(8, 8192, 3, -100, 5, 5, 238, 20),
        Record(8, 8192, 3, -100, 100, 100, 238, 20)};
    for (int k = 0; k < 5; ++k) {
        const SimCall& s = calls[15 + static_cast<size_t>(k)];
        EXPECT_EQ(std::vector<uint8_t>(s.params, s.params + 48), records[k]) << "board " << k + 1;
    }
    run().FreeBoards();
    const auto after = SetupCalls();
    // Release: Stop then Release for each board in order.
    std::vector<std::pair<int32_t, int32_t>> release;
    for (size_t i = calls.size(); i < after.size(); ++i)
        release.emplace_back(after[i].op, after[i].board);
    const std::vector<std::pair<int32_t, int32_t>> wantRelease = {
        {SimOpStop, 1}, {SimOpRelease, 1}, {SimOpStop, 2}, {SimOpRelease, 2}, {SimOpStop, 3},
        {SimOpRelease, 3}, {SimOpStop, 4}, {SimOpRelease, 4}, {SimOpStop, 5}, {SimOpRelease, 5}};
    EXPECT_EQ(release, wantRelease);
    run().FreeBoards(); // nothing held: nothing released twice
    EXPECT_EQ(SetupCalls().size(), after.size());
}

TEST_F(BoardSetupTest, GainsOfTheSettingsReachTheBoards)
{
    acq::RunSettings settings = acq::DefaultRunSettings();
    settings.FonGains = {40, 2, -3, 200};
    settings.RadioGains[4] = 1, settings.RadioGains[5] = 10;
    Sim().clearLog();
    ASSERT_TRUE(run().InitBoards(settings));
    const auto setups = Sim().calls(SimOpSetup);
    ASSERT_EQ(setups.size(), 5u);
    EXPECT_EQ(std::vector<uint8_t>(setups[0].params, setups[0].params + 48), Record(1, 1000000, 0, 90, 40, 2, 104, 0));
    EXPECT_EQ(std::vector<uint8_t>(setups[1].params, setups[1].params + 48), Record(1, 1000000, 0, 90, -3, 200, 104, 0));
    EXPECT_EQ(std::vector<uint8_t>(setups[4].params, setups[4].params + 48), Record(8, 8192, 3, -100, 1, 10, 238, 20));
}

TEST_F(BoardSetupTest, NoDriverLeavesTheSystemIdle)
{
    testing_support::UsePrivateHive(Path("hive.ini"), ""); // key absent
    EXPECT_FALSE(run().StartBranch(acq::DefaultRunSettings()));
    ExpectIdleAfterFailure("Нет необходимого драйвера IntDMA32.VxD");
}

TEST_F(BoardSetupTest, FactoryThatCannotMakeABoard)
{
    for (int n = 1; n <= 5; ++n) {
        Sim().clearLog();
        Sim().fail(0, SimOpCreate, n, 0);
        EXPECT_FALSE(run().StartBranch(acq::DefaultRunSettings()));
        ExpectIdleAfterFailure("Драйвер IntDMA32.VxD есть, но неправильной версии");
    }
}

TEST_F(BoardSetupTest, FailingInitSetupOrStartOnEachBoard)
{
    const std::pair<int32_t, const char*> codes[] = {{-1, "Драйвер не инициализирован (не указан базовый адрес)"},
                                                     {-20, "Не заданы параметры измерения"},
                                                     {0, "Функция не поддерживается"},
                                                     {-8, "Неизвестная ошибка"}};
    int k = 0;
    for (SimOp op : {SimOpInit, SimOpSetup, SimOpStart})
        for (int board = 1; board <= 5; ++board) {
            const auto& [code, text] = codes[k++ % 4];
            SCOPED_TRACE(testing::Message() << "op " << op << " board " << board);
            Sim().clearLog();
            Sim().fail(board, op, 1, code);
            EXPECT_FALSE(run().StartBranch(acq::DefaultRunSettings()));
            ExpectIdleAfterFailure(text);
        }
}

TEST_F(BoardSetupTest, SetupFailureOnTheSecondRadioBoard)
{
    Sim().clearLog();
    Sim().fail(4, SimOpSetup, 1, -2);
    EXPECT_FALSE(run().StartBranch(acq::DefaultRunSettings()));
    ExpectIdleAfterFailure("Недопустимые значения параметров");
    // The third radio board was initialised and prepared but not configured.
    bool init5 = false, prep5 = false, setup5 = false;
    for (const SimCall& c : Sim().calls()) {
        init5 |= c.op == SimOpInit && c.board == 5;
        prep5 |= c.op == SimOpControl && c.board == 5 && c.args[0] == 2020;
        setup5 |= c.op == SimOpSetup && c.board == 5;
    }
    EXPECT_TRUE(init5);
    EXPECT_TRUE(prep5);
    EXPECT_FALSE(setup5);
}

TEST_F(BoardSetupTest, BrokenDriversAndHivesAreRefusedWithoutWaiting)
{
    // A factory or boards without a table of operations: refused like a
    // factory that cannot make a board, nothing called through them.
    for (const char* driver : {NULL_FACTORY_DRIVER, NULL_BOARD_DRIVER}) {
        SCOPED_TRACE(driver);
        testing_support::UsePrivateHive(Path("hive.ini"), driver);
        EXPECT_FALSE(run().StartBranch(acq::DefaultRunSettings()));
        EXPECT_EQ(status_, "Драйвер IntDMA32.VxD есть, но неправильной версии");
        EXPECT_FALSE(run().BoardsHeld());
    }
    // A hive that is a pipe or a device is not read at all.
    ASSERT_EQ(mkfifo(Path("pipe.ini").c_str(), 0644), 0);
    for (const std::string& hive : {Path("pipe.ini"), std::string("/dev/zero")}) {
        SCOPED_TRACE(hive);
        hive::SetHivePath(hive);
        EXPECT_FALSE(run().StartBranch(acq::DefaultRunSettings()));
        EXPECT_EQ(status_, QString::fromStdString("Нет необходимого драйвера IntDMA32.VxD: " + hive +
                                                  ": не обычный файл (папка, канал или устройство)"));
    }
}

class BoardSetupWindowTest : public testing_support::WindowTest {};

TEST_F(BoardSetupWindowTest, NoDriverShownInTheStatusBarWithTheCaptionStart)
{
    testing_support::UsePrivateHive(Path("hive.ini"), "");
    form()->findChild<QPushButton*>("bStart1")->click();
    EXPECT_EQ(form()->status->currentMessage(), "Нет необходимого драйвера IntDMA32.VxD");
    EXPECT_EQ(form()->bStart1->text(), "Start");
    EXPECT_TRUE(form()->bExit1->isEnabled());
}

} // namespace
