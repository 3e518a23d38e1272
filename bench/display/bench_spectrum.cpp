// Our 256-point FFT against FFTW (measured in the same run), and the spectrum
// step of one frame for both channels: windowing, two transforms, magnitudes.
// After the table it prints the ratio of our transform's time to FFTW's
// (medians of the repetitions).
//
//   bench_spectrum --benchmark_repetitions=10 --benchmark_report_aggregates_only=true
#include "display/cfft.h"
#include "display/spectrum.h"

#include <benchmark/benchmark.h>
#include <fftw3.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int N = 256;

std::vector<complex> randomInput()
{
    std::mt19937 generator(42);
    std::uniform_real_distribution<double> value(0.0, 255.0);
    std::vector<complex> data(N);
    for (auto &c : data)
        c = complex(value(generator), value(generator));
    return data;
}

std::vector<unsigned char> randomFrame()
{
    std::mt19937 generator(7);
    std::uniform_int_distribution<int> byte(0, 255);
    std::vector<unsigned char> frame(770);
    for (auto &b : frame)
        b = static_cast<unsigned char>(byte(generator));
    return frame;
}

void BM_CfftForward256(benchmark::State &state)
{
    const std::vector<complex> input = randomInput();
    std::vector<complex> data(N);
    for (auto _ : state) {
        std::memcpy(static_cast<void *>(data.data()), input.data(), sizeof(complex) * N);
        CFFT::Forward(data.data(), N);
        benchmark::DoNotOptimize(data.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_CfftForward256);

// FFTW with a MEASURE plan made once (its best case), same copy-in per run.
void BM_FftwForward256(benchmark::State &state)
{
    const std::vector<complex> input = randomInput();
    fftw_complex *data = fftw_alloc_complex(N);
    fftw_plan plan = fftw_plan_dft_1d(N, data, data, FFTW_FORWARD, FFTW_MEASURE);
    for (auto _ : state) {
        std::memcpy(data, input.data(), sizeof(complex) * N);
        fftw_execute(plan);
        benchmark::DoNotOptimize(data);
        benchmark::ClobberMemory();
    }
    fftw_destroy_plan(plan);
    fftw_free(data);
}
BENCHMARK(BM_FftwForward256);

void BM_SpectrumStepBothChannels(benchmark::State &state)
{
    const std::vector<unsigned char> frame = randomFrame();
    const spectrum::WindowTable window = spectrum::makeWindow(spectrum::Hann);
    spectrum::Options options;
    options.ch1 = true;
    options.ch2 = true;
    options.logY = state.range(0) != 0;
    spectrum::Result result;
    result.values1.reserve(spectrum::OutputPoints);
    result.values2.reserve(spectrum::OutputPoints);
    for (auto _ : state) {
        spectrum::compute(frame.data(), window, options, result);
        benchmark::DoNotOptimize(result.values1.constData());
        benchmark::DoNotOptimize(result.values2.constData());
    }
}
BENCHMARK(BM_SpectrumStepBothChannels)->Arg(0)->Arg(1)->ArgName("logY");

void BM_SpectrumStepIq(benchmark::State &state)
{
    const std::vector<unsigned char> frame = randomFrame();
    const spectrum::WindowTable window = spectrum::makeWindow(spectrum::Blackman);
    spectrum::Options options;
    options.iq = true;
    options.firstBin = 127;
    spectrum::Result result;
    result.values1.reserve(spectrum::OutputPoints);
    for (auto _ : state) {
        spectrum::compute(frame.data(), window, options, result);
        benchmark::DoNotOptimize(result.values1.constData());
    }
}
BENCHMARK(BM_SpectrumStepIq);

// The console table as usual, keeping each benchmark's CPU time per iteration
// of every repetition, or the median row when only aggregates are reported.
class RatioReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        for (const Run &run : runs) {
            if (run.error_occurred)
                continue;
            const std::string &name = run.run_name.function_name;
            if (run.run_type == Run::RT_Iteration)
                times[name].push_back(run.GetAdjustedCPUTime());
            else if (run.aggregate_name == "median") // the only rows with aggregates_only
                medians[name] = run.GetAdjustedCPUTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }

    // Median CPU time per iteration of a benchmark; 0 when it did not run.
    double median(const std::string &name) const
    {
        const auto aggregate = medians.find(name);
        if (aggregate != medians.end())
            return aggregate->second;
        const auto it = times.find(name);
        if (it == times.end() || it->second.empty())
            return 0;
        std::vector<double> t = it->second;
        std::sort(t.begin(), t.end());
        const size_t n = t.size();
        return n % 2 ? t[n / 2] : (t[n / 2 - 1] + t[n / 2]) / 2;
    }

private:
    std::map<std::string, std::vector<double>> times;
    std::map<std::string, double> medians;
};

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const double ours = reporter.median("BM_CfftForward256");
    const double fftw = reporter.median("BM_FftwForward256");
    if (ours > 0 && fftw > 0)
        std::printf("CFFT / FFTW, 256 points, same run: %.2f (%.1f ns against %.1f ns, medians)\n",
                    ours / fftw, ours, fftw);
    else
        std::printf("CFFT / FFTW: not measured (filtered out)\n");
    return 0;
}
