// Screenshots of the spectrum window on a background file recorded by a run
// on the simulated driver: the amplitude spectrum, the integral spectrum with
// its fit, and the smoothed spectrum with the centre of its peak. Disabled in
// the suite; run by hand on a display, e.g.
//   QT_QPA_PLATFORM=xcb xvfb-run -a tests/SpectrumScreenshot_test --gtest_also_run_disabled_tests
// The pictures go to docs/ of the source tree (VFON_DOCS_DIR overrides).
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <gtest/gtest.h>
#include <iostream>

#include "datafiles/RecordFile.h"
#include "mainwindow/VFonPCI2.h"
#include "ui/Chart.h"
#include "ui/ErrorReport.h"
#include "spectrum/Unit2.h"
#include "support/Fixtures.h"

namespace {

/// Cycles of the run: one full frame of 600 points and a part of the next.
constexpr int kCycles = kFonPoints * kCyclesPerPoint + 4000;

QString DocsDir()
{
    const QString over = qEnvironmentVariable("VFON_DOCS_DIR");
    return over.isEmpty() ? QFileInfo(QStringLiteral(__FILE__)).absoluteDir().filePath("../docs") : over;
}

void Grab(const QString& name)
{
    spectrum::Form2->Chart2->Sync();
    spectrum::Form2->Chart2->replot(QCustomPlot::rpImmediateRefresh);
    testing_support::Pump();
    const QString path = DocsDir() + "/" + name;
    ASSERT_TRUE(QDir().mkpath(DocsDir()));
    ASSERT_TRUE(spectrum::Form2->grab().save(path)) << path.toStdString();
}

class SpectrumScreenshot : public testing_support::WindowTest {};

TEST_F(SpectrumScreenshot, DISABLED_SpectrumIntegralAndCentre)
{
    TForm1* f = form();
    QElapsedTimer t;
    t.start();
    f->bStart1Click();
    ASSERT_TRUE(f->Run().Running());
    for (int i = 0; i < kCycles; ++i)
        f->Run().Timer1Timer();
    f->bStart1Click();
    ASSERT_FALSE(f->Run().Running());
    ASSERT_EQ(ui::ErrorReport::Count(), 0) << ui::ErrorReport::LastMessage().toStdString();
    std::cout << "run of " << kCycles << " cycles: " << t.elapsed() << " ms\n";

    // View the file as the browser leaves it, and open the spectrum window.
    f->FonRecCount = recfile::Count(f->FonFileName, sizeof(TFonKadr));
    ASSERT_EQ(f->FonRecCount, 2);
    f->bForm2->show();
    f->bForm2->click();
    spectrum::Form2->Chan1->trigger();
    spectrum::Form2->Button3->click();
    spectrum::Form2->Button2->click();
    ASSERT_EQ(ui::ErrorReport::Count(), 0) << ui::ErrorReport::LastMessage().toStdString();
    Grab("spectrum.png");

    spectrum::Form2->bIntegr->trigger();
    ASSERT_EQ(ui::ErrorReport::Count(), 0) << ui::ErrorReport::LastMessage().toStdString();
    Grab("spectrum-integral.png");

    spectrum::Form2->bStopInt->click();
    spectrum::Form2->N2->trigger();
    spectrum::Form2->bCentre->trigger();
    ASSERT_EQ(ui::ErrorReport::Count(), 0) << ui::ErrorReport::LastMessage().toStdString();
    Grab("spectrum-centre.png");
}

} // namespace
