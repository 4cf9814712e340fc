// A picture of the stability window for the documentation, over a folder
// of background files (for example of simulated runs). Disabled in the
// suite; run on a display:
//   VFON_TREND_DIR=/folder/of/runs VFON_SHOT=$PWD/docs/stability.png QT_QPA_PLATFORM=xcb
//     xvfb-run -a -s "-screen 0 1400x900x24" StabilityScreenshot_test --gtest_also_run_disabled_tests
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include "stability/StabilityWindow.h"
#include "support/Fixtures.h"

TEST(StabilityScreenshot, DISABLED_WindowOverAFolderOfRuns)
{
    const QString folder = qEnvironmentVariable("VFON_TREND_DIR");
    if (folder.isEmpty())
        GTEST_SKIP() << "VFON_TREND_DIR names no folder";
    testing_support::EnsureApp();
    stability::StabilityWindow w;
    w.resize(1400, 900);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    QSignalSpy finished(&w, &stability::StabilityWindow::ScanFinished);
    w.ScanFiles({folder});
    ASSERT_TRUE(testing_support::WaitFor([&] { return finished.count() == 1; }, 120000));
    testing_support::Pump(); // the posted replots; grab() paints the rest itself
    const QString shot = qEnvironmentVariable("VFON_SHOT", QStringLiteral("stability.png"));
    ASSERT_TRUE(w.grab().save(shot)) << shot.toStdString();
}
