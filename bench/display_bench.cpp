// What the viewer pays per frame beyond rendering: the clear and the
// presentation of a 1280 x 720 frame, in each video mode. Needs an X server
// (tools/bench-display.sh runs it under a private Xvfb).

#include <benchmark/benchmark.h>

#include <cstdlib>

#include "pelto/base/Pixels.hpp"
#include "pelto/display/Display.hpp"
#include "pelto/x11/X11Platform.hpp"

namespace {

void ClearAndPresent(benchmark::State& state)
{
    if (!std::getenv("DISPLAY")) {
        state.SkipWithError("no DISPLAY: run under an X server (tools/bench-display.sh)");
        return;
    }
    peltoSetPlatform(peltoX11Platform());
    videoMode = static_cast<std::int32_t>(state.range(0));
    OpenDisplay(1280, 720, false, false);
    const std::size_t count = std::size_t{screen.width} * screen.height;
    std::uint32_t colour = 0;
    for (auto _ : state) {
        FillPixels(screen.pixels, count, colour++);
        ShowFrame();
    }
    state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    CloseDisplay();
}

void Clear(benchmark::State& state)
{
    std::vector<std::uint32_t> frame(1280 * 720);
    std::uint32_t colour = 0;
    for (auto _ : state) {
        FillPixels(frame.data(), frame.size(), colour++);
        benchmark::DoNotOptimize(frame.data());
    }
}

} // namespace

BENCHMARK(Clear)->Unit(benchmark::kMicrosecond);
BENCHMARK(ClearAndPresent)->Arg(1)->Arg(2)->Arg(3)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();

BENCHMARK_MAIN();
