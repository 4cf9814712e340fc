#include "support/Runs.h"

#include <fstream>
#include <gtest/gtest.h>
#include <iterator>

#include "mainwindow/VFonPCI2.h"
#include "support/Fixtures.h"
#include "support/SimDriverControl.h"

namespace testing_support {

std::vector<int16_t> PulsePattern(int pulses, int length, int16_t code)
{
    std::vector<int16_t> v(static_cast<size_t>(length), 90);
    for (int k = 0; k < pulses; ++k)
        v[static_cast<size_t>((k + 1) * length / (pulses + 1))] = code;
    return v;
}

void ScriptBackground(int scale)
{
    for (int board = 1; board <= 2; ++board)
        for (int input = 0; input <= 1; ++input)
            Sim().scriptSamples(board, input, PulsePattern(scale * ((board - 1) * 2 + input + 1)));
}

void StartRun(TForm1& f)
{
    ASSERT_FALSE(f.Run().Running());
    f.bStart1Click();
    ASSERT_TRUE(f.Run().Running());
    f.Run().Drain(); // the recorder has made the run's files
    f.Run().Engine().FonSamples = kTestSamples;
}

void StartRun(acq::RunModel& run, const acq::RunSettings& settings)
{
    ASSERT_FALSE(run.Running());
    ASSERT_TRUE(run.StartBranch(settings));
    run.Drain(); // the recorder has made the run's files
    run.Engine().FonSamples = kTestSamples;
}

void Ticks(acq::RunModel& run, int n)
{
    for (int i = 0; i < n; ++i)
        run.Timer1Timer();
    run.Drain();
}

void Ticks(TForm1& f, int n) { Ticks(f.Run(), n); }

void Points(acq::RunModel& run, int points)
{
    for (int p = 0; p < points; ++p)
        for (int i = 0; i < 25; ++i)
            run.Timer1Timer();
    run.Drain();
}

void Points(TForm1& f, int points) { Points(f.Run(), points); }

std::vector<char> FileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

} // namespace testing_support
