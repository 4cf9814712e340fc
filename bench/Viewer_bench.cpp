// Speed of the record viewer as the operator meets it: opening a file with
// its first frame drawn, stepping to the next frame, turning a sample listing
// on, and listing a directory of 10,000 data files. Every figure includes the
// replot of both charts (or the repaint of the memo or list) on screen.
//
// Run headless: QT_QPA_PLATFORM=offscreen ./Viewer_bench
#include <QApplication>
#include <QDir>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <memory>
#include <string>

#include "datafiles/RecordFile.h"
#include "mainwindow/VFonPCI2.h"
#include "ui/Chart.h"

namespace {

constexpr int kFramesInFile = 20;
constexpr int kFilesInDirectory = 10000;

/// A working directory with one background and one radio file of
/// kFramesInFile records, and the main window shown on it.
class ViewerScene {
public:
    ViewerScene()
    {
        QDir::setCurrent(dir_.path());
        auto fon = std::make_unique<TFonKadr>();
        auto rad = std::make_unique<TRadKadr>();
        recfile::Create("bench.fon");
        recfile::Create("bench.Rad");
        for (int r = 0; r < kFramesInFile; ++r) {
            fon->KadrNo = static_cast<int16_t>(r + 1);
            rad->EventNo = static_cast<int16_t>(r + 1);
            for (int k = 0; k < kFonPoints; ++k)
                for (int c = 1; c <= kFonChannels; ++c)
                    fon->Counts(c)[k] = (k * 37 + r * 11 + c * 5) % 97;
            for (int i = 0; i < kRadSamples; ++i)
                for (int c = 1; c <= kRadChannels; ++c)
                    rad->Samples(c)[i] = static_cast<int16_t>((i * 13 + r + c * 7) % 200 - 100);
            recfile::WriteRecord("bench.fon", r, *fon);
            recfile::WriteRecord("bench.Rad", r, *rad);
        }
        form_ = std::make_unique<TForm1>();
        Form1 = form_.get();
        form_->show();
        QApplication::processEvents();
    }
    ~ViewerScene() { Form1 = nullptr; }

    TForm1& Form() { return *form_; }

    /// Brings both charts and every pending paint on screen now.
    void Show()
    {
        for (ui::TChart* c : {form_->Chart1, form_->Chart2}) {
            c->Sync();
            c->replot(QCustomPlot::rpImmediateRefresh);
        }
        QApplication::processEvents();
    }

    /// Shows the list of `kind` ("fon" or "Rad") and selects its first line
    /// without opening it.
    void ListAndSelect(bool radio)
    {
        TForm1& f = Form();
        if (radio) {
            f.RadListShown = false;
            f.bViewRadClick();
        } else {
            f.FonListShown = false;
            f.bViewClick();
        }
        const QSignalBlocker quiet(f.ListBox1);
        f.ListBox1->setCurrentRow(0);
    }

private:
    QTemporaryDir dir_;
    std::unique_ptr<TForm1> form_;
};

/// The scene, made at first use and dropped before the application ends.
std::unique_ptr<ViewerScene> g_scene;

ViewerScene& Scene()
{
    if (!g_scene)
        g_scene = std::make_unique<ViewerScene>();
    return *g_scene;
}

void BM_OpenFonFileFirstFrame(benchmark::State& state)
{
    ViewerScene& s = Scene();
    s.ListAndSelect(false);
    for (auto _ : state) {
        s.Form().ParamSelect();
        s.Show();
    }
}
BENCHMARK(BM_OpenFonFileFirstFrame)->Unit(benchmark::kMillisecond);

void BM_OpenRadFileFirstEvent(benchmark::State& state)
{
    ViewerScene& s = Scene();
    s.ListAndSelect(true);
    for (auto _ : state) {
        s.Form().ParamSelect();
        s.Show();
    }
}
BENCHMARK(BM_OpenRadFileFirstEvent)->Unit(benchmark::kMillisecond);

void BM_NextFonFrame(benchmark::State& state)
{
    ViewerScene& s = Scene();
    s.ListAndSelect(false);
    s.Form().ParamSelect();
    for (auto _ : state) {
        if (s.Form().FonRecNo >= kFramesInFile - 1)
            s.Form().FonRecNo = 0;
        s.Form().bUpClick();
        s.Show();
    }
}
BENCHMARK(BM_NextFonFrame)->Unit(benchmark::kMillisecond);

void BM_NextRadEvent(benchmark::State& state)
{
    ViewerScene& s = Scene();
    s.ListAndSelect(true);
    s.Form().ParamSelect();
    for (auto _ : state) {
        if (s.Form().RadRecNo >= kFramesInFile - 1)
            s.Form().RadRecNo = 0;
        s.Form().bUpClick();
        s.Show();
    }
}
BENCHMARK(BM_NextRadEvent)->Unit(benchmark::kMillisecond);

/// Turning the radio listing on: 4098 lines into the memo, shown.
void BM_RadioListingOn(benchmark::State& state)
{
    ViewerScene& s = Scene();
    s.ListAndSelect(true);
    s.Form().ParamSelect();
    for (auto _ : state) {
        s.Form().ListOn = false;
        s.Form().bWrite1Click();
        QApplication::processEvents();
    }
    state.counters["lines"] = static_cast<double>(s.Form().Memo1->blockCount());
}
BENCHMARK(BM_RadioListingOn)->Unit(benchmark::kMillisecond);

/// Turning the background listing on: 602 lines.
void BM_FonListingOn(benchmark::State& state)
{
    ViewerScene& s = Scene();
    for (auto _ : state) {
        s.Form().ListOn = false;
        s.Form().bWriteClick();
        QApplication::processEvents();
    }
    state.counters["lines"] = static_cast<double>(s.Form().Memo1->blockCount());
}
BENCHMARK(BM_FonListingOn)->Unit(benchmark::kMillisecond);

/// "View .fon" on a directory of 10,000 data files: search, fill, show.
void BM_ListDirectoryOf10000(benchmark::State& state)
{
    ViewerScene& s = Scene();
    QTemporaryDir many;
    for (int i = 0; i < kFilesInDirectory; ++i) {
        const std::string name = many.path().toStdString() + "/" + std::to_string(i % 28 + 1) + "_"
                               + std::to_string(i % 12 + 1) + "_" + std::to_string(i % 24) + "_"
                               + std::to_string(i) + ".fon";
        std::FILE* f = std::fopen(name.c_str(), "wb");
        if (f)
            std::fclose(f);
    }
    const QString old = QDir::currentPath();
    QDir::setCurrent(many.path());
    for (auto _ : state) {
        s.Form().FonListShown = false;
        s.Form().bViewClick();
        QApplication::processEvents();
    }
    state.counters["files"] = static_cast<double>(s.Form().ListBox1->count());
    QDir::setCurrent(old);
}
BENCHMARK(BM_ListDirectoryOf10000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    g_scene.reset();
    return 0;
}
