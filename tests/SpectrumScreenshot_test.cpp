// Screenshots of the spectrum window on a background file recorded by a run
// on the simulated driver: the amplitude spectrum, the integral spectrum with
// its fit, and the smoothed spectrum with the centre of its peak. In the
// suite the pictures go to the test's temporary folder; for the docs, run it
// by hand on a display with VFON_DOCS_DIR set, e.g.
//   VFON_DOCS_DIR=$PWD/../docs QT_QPA_PLATFORM=xcb xvfb-run -a tests/SpectrumScreenshot_test
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <gtest/gtest.h>

#include "datafiles/RecordFile.h"
#include "mainwindow/VFonPCI2.h"
#include "ui/Chart.h"
#include "ui/ErrorReport.h"
#include "spectrum/Unit2.h"
#include "support/Fixtures.h"

namespace {

/// Cycles of the run: one full frame of 600 points and a part of the next.
constexpr int kCycles = kFonPoints * kCyclesPerPoint + 4000;

/// Where the pictures go: VFON_DOCS_DIR, else the working folder.
QString DocsDir()
{
    const QString over = qEnvironmentVariable("VFON_DOCS_DIR");
    return over.isEmpty() ? QDir::currentPath() : over;
}

void Grab(const QString& name)
{
    spectrum::Form2->Chart2->Sync();
    spectrum::Form2->Chart2->replot(QCustomPlot::rpImmediateRefresh);
    testing_support::Pump();
    const QString path = DocsDir() + "/" + name;
    ASSERT_TRUE(QDir().mkpath(DocsDir()));
    const QPixmap picture = spectrum::Form2->grab();
    ASSERT_FALSE(picture.isNull());
    ASSERT_TRUE(picture.save(path)) << path.toStdString();
}

class SpectrumScreenshot : public testing_support::WindowTest {};

TEST_F(SpectrumScreenshot, SpectrumIntegralAndCentre)
{
    TForm1* f = form();
    f->bStart1Click();
    ASSERT_TRUE(f->Run().Running());
    for (int i = 0; i < kCycles; ++i)
        f->Run().Timer1Timer();
    f->bStart1Click();
    ASSERT_FALSE(f->Run().Running());
    ASSERT_EQ(ui::ErrorReport::Count(), 0) << ui::ErrorReport::LastMessage().toStdString();

    // The run's own file, once the recorder has named it and holds both
    // frames; viewed as the browser leaves it, in the spectrum window.
    const std::string& file = f->Run().FonFile();
    ASSERT_TRUE(testing_support::WaitFor([&] {
        return !file.empty() && recfile::Count(file, sizeof(TFonKadr)) == 2;
    })) << file;
    f->FonFileName = file;
    f->FonRecCount = 2;
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
