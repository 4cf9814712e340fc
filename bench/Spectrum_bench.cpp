// The spectrum window's commands as the operator waits for them: each run
// of "Интегральный", "Усреднение", a channel item and a record step,
// including the file read, the memo listing and the replot of the chart.
#include <QApplication>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include "gains/GainSelect1.h"
#include "mainwindow/VFonPCI2.h"
#include "ui/Chart.h"
#include "ui/ErrorReport.h"
#include "spectrum/Unit2.h"
#include "tests/support/SpectrumFiles.h"

namespace {

constexpr int kRecords = 20;

/// The application, the three windows and a realistic background file,
/// with the spectrum window opened on it.
class Windows {
public:
    Windows()
    {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "Spectrum_bench";
        static char* argv[] = {name, nullptr};
        app_ = std::make_unique<QApplication>(argc, argv);
        file_ = (dir_.path() + "/bench.fon").toStdString();
        testing_support::WriteRealisticFile(file_, kRecords);
        Form1 = new TForm1;
        spectrum::Form2 = new spectrum::TForm2;
        Form3 = new TForm3;
        Form1->AttachWindows(spectrum::Form2, Form3);
        Form1->FonFileName = file_;
        Form1->FonRecCount = kRecords;
        Form1->bForm2Click();
        spectrum::Form2->Chan1Click();
        Replot();
    }
    ~Windows()
    {
        delete Form3;
        delete spectrum::Form2;
        delete Form1;
    }
    /// Applies the points and scaling and draws the chart now.
    static void Replot()
    {
        spectrum::Form2->Chart2->Sync();
        spectrum::Form2->Chart2->replot(QCustomPlot::rpImmediateRefresh);
        QApplication::processEvents();
    }

private:
    std::unique_ptr<QApplication> app_;
    QTemporaryDir dir_;
    std::string file_;
};

Windows& W()
{
    static Windows w;
    return w;
}

template <class F>
void RunCommand(benchmark::State& state, F&& command)
{
    W();
    for (auto _ : state) {
        command();
        Windows::Replot();
    }
    if (ui::ErrorReport::Count() != 0)
        state.SkipWithError(ui::ErrorReport::LastMessage().toStdString().c_str());
}

void BM_Integral(benchmark::State& state)
{
    RunCommand(state, [] { spectrum::Form2->bIntegrClick(); });
    spectrum::Form2->bStopIntClick();
}
BENCHMARK(BM_Integral)->Unit(benchmark::kMillisecond);

void BM_Centre(benchmark::State& state)
{
    spectrum::Form2->Chan1Click();
    RunCommand(state, [] { spectrum::Form2->bCentreClick(); });
}
BENCHMARK(BM_Centre)->Unit(benchmark::kMillisecond);

void BM_ChannelItem(benchmark::State& state)
{
    int k = 0;
    RunCommand(state, [&k] {
        switch (k++ % 4) {
        case 0: spectrum::Form2->Chan1Click(); break;
        case 1: spectrum::Form2->Chan2Click(); break;
        case 2: spectrum::Form2->Chan3Click(); break;
        default: spectrum::Form2->Chan4Click(); break;
        }
    });
}
BENCHMARK(BM_ChannelItem)->Unit(benchmark::kMillisecond);

void BM_RecordStep(benchmark::State& state)
{
    spectrum::Form2->Chan2Click();
    bool forward = true;
    RunCommand(state, [&forward] {
        if (spectrum::Form2->RecNo == kRecords - 1)
            forward = false;
        else if (spectrum::Form2->RecNo == 0)
            forward = true;
        forward ? spectrum::Form2->Button3Click() : spectrum::Form2->Button2Click();
    });
}
BENCHMARK(BM_RecordStep)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    W();
    spectrum::Form2->show();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
