// How fast the simulated instrument delivers frames over its libusb wire to a
// client that resubmits its one transfer from the callback, and what one frame
// costs the simulator. The wire must carry at least 2000 frames/s, well above
// the program's 4 ms plot tick (250 frames/s), so that benchmarks of the
// program measure the program.

#include "instrumentmodel.h"
#include "simcontrol.h"

#include <benchmark/benchmark.h>
#include <libusb.h>

#include <atomic>
#include <ctime>
#include <thread>

namespace sim = quorvelsim;

namespace {

constexpr double RequiredFramesPerSecond = 2000.0;
constexpr double PlotTicksPerSecond = 250.0;
constexpr int FramesPerIteration = 1000;

double processCpuSeconds()
{
    timespec ts;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec + ts.tv_nsec * 1e-9;
}

struct Client
{
    libusb_context *ctx = nullptr;
    libusb_device_handle *handle = nullptr;
    libusb_transfer *transfer = nullptr;
    unsigned char rx[1290];
    std::atomic<long> frames{0};
    std::atomic<bool> running{true};

    static void LIBUSB_CALL callback(libusb_transfer *t)
    {
        auto *self = static_cast<Client *>(t->user_data);
        if (t->status == LIBUSB_TRANSFER_COMPLETED)
            ++self->frames;
        if (self->running && t->status != LIBUSB_TRANSFER_CANCELLED)
            libusb_submit_transfer(t);
    }

    bool open()
    {
        libusb_init(&ctx);
        handle = libusb_open_device_with_vid_pid(ctx, sim::UsbVendorId, sim::UsbProductId);
        if (!handle || libusb_claim_interface(handle, 0) != 0)
            return false;
        transfer = libusb_alloc_transfer(0);
        libusb_fill_bulk_transfer(transfer, handle, 0x81, rx, sizeof rx, callback, this, 0);
        return libusb_submit_transfer(transfer) == 0;
    }

    void pump(long until)
    {
        while (frames < until) {
            timeval tv{0, 100000};
            libusb_handle_events_timeout_completed(ctx, &tv, nullptr);
        }
    }

    ~Client()
    {
        running = false;
        if (transfer) {
            libusb_cancel_transfer(transfer);
            timeval tv{0, 100000};
            libusb_handle_events_timeout_completed(ctx, &tv, nullptr);
            libusb_free_transfer(transfer);
        }
        if (handle) {
            libusb_release_interface(handle, 0);
            libusb_close(handle);
        }
        if (ctx)
            libusb_exit(ctx);
    }
};

void configure(int mode)
{
    sim::reset();
    sim::setFrameRate(0); // as fast as the client takes them
    sim::setNoiseLevel(0.004);
    if (mode >= 0) {
        sim::pokeRegister(sim::reg::SamplingRate, quint8(mode));
    } else { // sniffer capture frames
        sim::pokeRegister(sim::reg::Protocol, 2);
        sim::pokeRegister(sim::reg::MStatus, 0x18);
    }
}

void report(benchmark::State &state, long frames, double cpu, double wall)
{
    const double rate = frames / wall;
    state.counters["frames_per_s"] = rate;
    state.counters["x_required_2000"] = rate / RequiredFramesPerSecond;
    state.counters["x_plot_tick"] = rate / PlotTicksPerSecond;
    state.counters["cpu_us_per_frame"] = cpu / frames * 1e6;
}

// Frames/s through the wire, the event loop run by the benchmark thread.
// Argument: time base index, or -1 for sniffer frames.
void UsbWireFrames(benchmark::State &state)
{
    configure(int(state.range(0)));
    Client client;
    if (!client.open()) {
        state.SkipWithError("cannot open the simulated instrument");
        return;
    }
    client.pump(50); // warm up
    const long first = client.frames;
    const double cpu0 = processCpuSeconds();
    const auto wall0 = std::chrono::steady_clock::now();
    for (auto _ : state)
        client.pump(client.frames + FramesPerIteration);
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
    report(state, client.frames - first, processCpuSeconds() - cpu0, wall);
}
BENCHMARK(UsbWireFrames)->ArgName("timebase")->Arg(0)->Arg(7)->Arg(10)->Arg(12)->Arg(-1)->UseRealTime()->Unit(benchmark::kMillisecond);

// The same with the transport's threads: events on their own thread, and the
// GUI thread writing a register and reading the settings block meanwhile.
void UsbWireFramesWithControlTraffic(benchmark::State &state)
{
    configure(7);
    Client client;
    if (!client.open()) {
        state.SkipWithError("cannot open the simulated instrument");
        return;
    }
    std::atomic<bool> stop{false};
    std::thread events([&] {
        while (!stop) {
            timeval tv{0, 100000};
            libusb_handle_events_timeout_completed(client.ctx, &tv, nullptr);
        }
    });
    long requests = 0;
    unsigned char in[64];
    const long first = client.frames;
    const double cpu0 = processCpuSeconds();
    const auto wall0 = std::chrono::steady_clock::now();
    for (auto _ : state) {
        const long target = client.frames + FramesPerIteration;
        while (client.frames < target) {
            libusb_control_transfer(client.handle, 0xC0, 'b', quint16(requests & 0xFF), 21, nullptr, 0, 1000);
            if (++requests % 16 == 0)
                libusb_control_transfer(client.handle, 0xC0, 'u', 0, 14, in, 64, 1000);
        }
    }
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
    report(state, client.frames - first, processCpuSeconds() - cpu0, wall);
    state.counters["requests_per_s"] = requests / wall;
    client.running = false;
    libusb_cancel_transfer(client.transfer);
    stop = true;
    events.join();
}
BENCHMARK(UsbWireFramesWithControlTraffic)->UseRealTime()->Unit(benchmark::kMillisecond);

// The pace of a requested frame rate over 10 s, to a client that resubmits
// at once: frame n leaves at start + n / rate, so the delivered rate is the
// requested one (x_requested 1.00 within 1 %). Argument: frames per second.
void PacedFrameRate(benchmark::State &state)
{
    const double requested = double(state.range(0));
    configure(2); // a sweep short enough for 1000 frames/s
    sim::setFrameRate(requested);
    Client client;
    if (!client.open()) {
        state.SkipWithError("cannot open the simulated instrument");
        return;
    }
    client.pump(10); // the pace starts with the first frame
    for (auto _ : state) {
        const long first = client.frames;
        const auto wall0 = std::chrono::steady_clock::now();
        const auto end = wall0 + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < end) {
            timeval tv{0, 10000};
            libusb_handle_events_timeout_completed(client.ctx, &tv, nullptr);
        }
        const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
        const double rate = (client.frames - first) / wall;
        state.counters["frames_per_s"] = rate;
        state.counters["x_requested"] = rate / requested;
    }
}
BENCHMARK(PacedFrameRate)->ArgName("fps")->Arg(250)->Arg(1000)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);

// The simulator's own work per frame, no wire. Argument: time base index;
// -2 is the worst case of Auto mode, a level the signal never reaches.
void ModelFrame(benchmark::State &state)
{
    sim::InstrumentModel model;
    model.setFrameRate(0);
    const int arg = int(state.range(0));
    if (arg >= 0) {
        model.setReg(sim::reg::SamplingRate, quint8(arg));
    } else if (arg == -1) {
        model.setReg(sim::reg::Protocol, 2);
        model.setReg(sim::reg::MStatus, 0x18);
    } else {
        model.setReg(sim::reg::TriggerLevel, 250);
    }
    quint8 frame[1290];
    long frames = 0;
    for (auto _ : state) {
        frames += model.nextFrame(frame) > 0;
        benchmark::DoNotOptimize(frame);
    }
    state.counters["frames_per_s"] = benchmark::Counter(double(frames), benchmark::Counter::kIsRate);
}
BENCHMARK(ModelFrame)->ArgName("timebase")->Arg(0)->Arg(7)->Arg(10)->Arg(12)->Arg(-1)->Arg(-2)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
