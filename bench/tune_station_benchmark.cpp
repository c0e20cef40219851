// TuneStation on the sample 19-line station file: time and heap allocations per call. The window
// is real (offscreen) and its media player only records what it is asked, so the numbers are the
// station file reading, the list refresh and the tuning decision, not the engine.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QApplication>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <new>
#include <stdexcept>
#include <string>

#include "platform/message_box.h"
#include "player/form1.h"
#include "recording_media_player.h"

namespace {
std::atomic<long> allocations{0};

// Counts heap allocations made while the benchmark loop runs.
class AllocationCount {
public:
    explicit AllocationCount(benchmark::State& state)
        : state_(state), before_(allocations.load()) {}
    ~AllocationCount() {
        const double made = static_cast<double>(allocations.load() - before_);
        state_.counters["allocs"] = benchmark::Counter(made, benchmark::Counter::kAvgIterations);
    }

private:
    benchmark::State& state_;
    long before_;
};

struct Window {
    RecordingMediaPlayer* player = nullptr;
    Form1 form{[this](platform::StatusStrip&) {
        auto recorder = std::make_unique<RecordingMediaPlayer>();
        player = recorder.get();
        return recorder;
    }};
};

// A click on the first slot: read the file, refresh the 19 captions, open the first address.
void TuneFirstSlot(benchmark::State& state) {
    Window window;
    window.form.TuneStation("0", "0");  // the captions are set once; later calls change nothing
    AllocationCount count(state);
    for (auto _ : state) {
        window.form.TuneStation("0", "0");
        // The recorder's own log, kept from growing: one string per call.
        window.player->calls.clear();
    }
}
BENCHMARK(TuneFirstSlot);

// Start-up's call: read the file and refresh the captions, tune nothing.
void RefreshList(benchmark::State& state) {
    Window window;
    window.form.TuneStation(Form1::NoStationIndex, Form1::NoStationIndex);
    AllocationCount count(state);
    for (auto _ : state) window.form.TuneStation(Form1::NoStationIndex, Form1::NoStationIndex);
}
BENCHMARK(RefreshList);
}  // namespace

void* operator new(std::size_t size) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* block = std::malloc(size == 0 ? 1 : size)) return block;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;

    // The sample station list, in a working folder of our own.
    namespace fs = std::filesystem;
    const fs::path folder =
        fs::temp_directory_path() / ("wavelark-bench-" + std::to_string(getpid()));
    fs::create_directories(folder);
    fs::copy_file(WAVELARK_SAMPLE_STATIONS, folder / "wavelark.ini");
    const fs::path previous = fs::current_path();
    fs::current_path(folder);
    // A damaged file would otherwise block on a modal box; here it is a failed run.
    platform::setMessageBoxHandler([](const std::string& text) {
        std::fprintf(stderr, "unexpected message: %s\n", text.c_str());
        std::exit(1);
    });

    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    fs::current_path(previous);
    fs::remove_all(folder);
    return 0;
}
