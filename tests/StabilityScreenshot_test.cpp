// A picture of the stability window for the documentation. Disabled in the
// suite; run on a display:
//   VFON_SHOT=$PWD/docs/stability.png VFON_TREND_DIR=/folder/of/runs QT_QPA_PLATFORM=xcb
//     xvfb-run -a -s "-screen 0 1400x900x24" StabilityScreenshot_test --gtest_also_run_disabled_tests
// VFON_TREND_DIR names a folder of .fon files (for example of simulated runs);
// without it the test writes a week of hand-made runs, the gain of channel 2
// raised half-way, into a temporary folder. The picture goes to VFON_SHOT
// (stability.png in the current directory by default).
#include <QPixmap>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <gtest/gtest.h>
#include <random>

#include "stability/StabilityWindow.h"
#include "support/Fixtures.h"
#include "support/SampleFiles.h"
#include "support/SpectrumFiles.h"

using namespace testing_support;

namespace {

/// Seven daily runs of 40 frames each; from the fourth run on channel 2 has
/// its gain doubled: its peak moves up and it counts more pulses.
void WriteWeek(const QTemporaryDir& dir)
{
    std::mt19937 rng(12);
    for (int day = 0; day < 7; ++day) {
        std::vector<std::unique_ptr<TFonKadr>> frames;
        for (int r = 0; r < 40; ++r) {
            auto f = RealisticRecord(r);
            const int minutes = 8 * 60 + r * 5;
            f->Day = static_cast<int16_t>(1 + day);
            f->Hour = static_cast<int16_t>(minutes / 60);
            f->Min = static_cast<int16_t>(minutes % 60);
            for (int c = 1; c <= kFonChannels; ++c) {
                const double gain = c == 2 && day >= 3 ? 2.0 : 1.0;
                const double peak = (50 + 6 * c) * gain + std::normal_distribution<double>(0, 1.5)(rng);
                for (int bin = 1; bin <= kFonBins; ++bin)
                    f->Spectr(c)[bin - 1] = RealisticCount(bin, peak, 1.0);
                const double rate = (40 + 15 * c) * (c == 2 && day >= 3 ? 1.3 : 1.0) * (r == 23 && c == 4 ? 2 : 1);
                for (int k = 0; k < kFonPoints; ++k)
                    f->Counts(c)[k] = std::poisson_distribution<int32_t>(rate)(rng);
            }
            frames.push_back(std::move(f));
        }
        WriteFonFile(dir.filePath(QStringLiteral("%1_12_8_0.fon").arg(day + 1)).toStdString(), frames);
    }
}

} // namespace

TEST(StabilityScreenshot, DISABLED_WindowOverAWeekOfRuns)
{
    EnsureApp();
    QTemporaryDir dir;
    QString folder = qEnvironmentVariable("VFON_TREND_DIR");
    if (folder.isEmpty()) {
        WriteWeek(dir);
        folder = dir.path();
    }
    StabilityWindow w;
    w.resize(1400, 900);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    QSignalSpy finished(&w, &StabilityWindow::ScanFinished);
    w.ScanFiles({folder});
    ASSERT_TRUE(WaitFor([&] { return finished.count() == 1; }, 120000));
    QTest::qWait(300);
    const QString shot = qEnvironmentVariable("VFON_SHOT", QStringLiteral("stability.png"));
    ASSERT_TRUE(w.grab().save(shot)) << shot.toStdString();
}
