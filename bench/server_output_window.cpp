// The Server Output window open while the server floods it: the longest
// main-loop stall (the heartbeat of the flood benchmark) while the output
// arrives and for two seconds after, the CPU time, and the lines shown.
//   usage: server_output_window [MEGABYTES=50] [SECONDS=5]   (needs a display: xvfb-run)
#include "server_bench_support.hpp"

#include "ui/output/ServerOutputWindow.hpp"

#include <gtkmm/init.h>

#include <cstdio>

using quillbay::ServerProcess;

namespace {

struct Run {
    double seconds = 0;
    double outputStallMs = 0;
    double afterStallMs = 0;
    double cpuMs = 0;
    int lines = 0;
    bool following = false;  // still keeping to the newest line
};

// Until the server has failed (the flood exits), or for `limit` (the endless writer).
Run runCase(const std::vector<std::string>& fakeArgs, std::chrono::milliseconds limit)
{
    bench::BenchFolder folder(fakeArgs);
    auto config = folder.config(38765);
    config.timing.probe.limit = std::chrono::minutes(5);
    ServerProcess server(config);
    auto window = quillbay::ServerOutputWindow::create(server);
    window->set_default_size(1000, 700);
    window->present();
    bench::runUntil([] { return false; }, std::chrono::milliseconds(500));  // the first frames are not part of it

    bench::Heartbeat heartbeat;
    server.start();
    heartbeat.restart();
    const double cpuBefore = bench::cpuMs();
    const auto start = std::chrono::steady_clock::now();
    bench::runUntil([&] { return server.state()->isFailed(); }, limit);
    Run run;
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.outputStallMs = heartbeat.longestStallMs();
    bool stopped = false;
    server.stop([&] { stopped = true; });
    bench::runUntil([&] { return stopped; }, std::chrono::seconds(20));
    heartbeat.restart();
    bench::runUntil([] { return false; }, std::chrono::seconds(2));  // the view measures its lines meanwhile
    run.afterStallMs = heartbeat.longestStallMs();
    run.cpuMs = bench::cpuMs() - cpuBefore;
    run.lines = window->view().get_buffer()->get_line_count();
    run.following = window->following();
    return run;
}

void report(const char* what, const Run& run)
{
    std::printf("%s: %.2f s; longest stall %.1f ms while the output arrives, %.1f ms after (goal <= 50 ms); "
                "CPU %.0f ms; %d lines shown, %s\n",
                what, run.seconds, run.outputStallMs, run.afterStallMs, run.cpuMs, run.lines,
                run.following ? "following" : "NOT following");
}

} // namespace

int main(int argc, char** argv)
{
    const long long megabytes = argc > 1 ? std::atoll(argv[1]) : 50;
    const std::chrono::seconds seconds(argc > 2 ? std::atoi(argv[2]) : 5);
    setenv("GSK_RENDERER", "cairo", 0);
    if (!gtk_init_check()) {
        std::fprintf(stderr, "no display\n");
        return 2;
    }
    Gtk::init_gtkmm_internals();

    const Run flood = runCase({"--flood", std::to_string(megabytes * 1000 * 1000)}, std::chrono::minutes(3));
    report((std::to_string(megabytes) + " MB of 100-byte lines, as fast as they come").c_str(), flood);
    const Run wide = runCase({"--wide-lines", "-1", "--width", "100000"}, seconds);
    report("100 KB lines without end (about 20 MB/s)", wide);
    const auto within = [](const Run& run) { return run.outputStallMs <= 50 && run.afterStallMs <= 50; };
    return within(flood) && within(wide) ? 0 : 1;
}
