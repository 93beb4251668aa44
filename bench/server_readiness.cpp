// Readiness: time from the fake server's listen() to the published `ready`,
// over several starts. Both clocks are CLOCK_MONOTONIC.
//   usage: server_readiness [RUNS]
#include "server_bench_support.hpp"

#include <cstdio>
#include <ctime>
#include <sstream>

using quillbay::ServerProcess;

namespace {

double monotonicSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

double lastStamp(const std::string& path)
{
    std::ifstream in(path);
    double stamp = 0, value = 0;
    while (in >> value)
        stamp = value;
    return stamp;
}

} // namespace

int main(int argc, char** argv)
{
    int runs = argc > 1 ? std::atoi(argv[1]) : 15;
    std::string stamps = (std::filesystem::temp_directory_path() / "quillbay-readiness-stamps").string();
    std::filesystem::remove(stamps);
    bench::BenchFolder folder({"--listen-stamp", stamps});
    ServerProcess server(folder.config(38775 + 20));

    std::vector<double> listenToReady, startToReady;
    for (int i = 0; i < runs; ++i) {
        double started = monotonicSeconds();
        double readyAt = 0;
        auto connection = server.state().signalChanged().connect([&] {
            if (server.state()->isReady())
                readyAt = monotonicSeconds();
        });
        server.start();
        bool ready = bench::runUntil([&] { return readyAt > 0 || server.state()->isFailed(); }, std::chrono::seconds(45));
        connection.disconnect();
        if (!ready || readyAt == 0) {
            std::printf("run %d: no ready (%s)\n", i + 1, server.state()->message().c_str());
            return 1;
        }
        double listened = lastStamp(stamps);
        listenToReady.push_back((readyAt - listened) * 1000);
        startToReady.push_back((readyAt - started) * 1000);
        std::printf("run %d: listen -> ready %.1f ms; start() -> ready %.1f ms\n", i + 1, listenToReady.back(),
                    startToReady.back());
        bool stopped = false;
        server.stop([&] { stopped = true; });
        bench::runUntil([&] { return stopped; }, std::chrono::seconds(5));
    }
    std::printf("summary: listen -> ready median %.1f ms (min %.1f, max %.1f; goal <= 200 ms); "
                "start() -> ready median %.1f ms\n",
                bench::median(listenToReady), *std::min_element(listenToReady.begin(), listenToReady.end()),
                *std::max_element(listenToReady.begin(), listenToReady.end()), bench::median(startToReady));
    std::filesystem::remove(stamps);
    return 0;
}
