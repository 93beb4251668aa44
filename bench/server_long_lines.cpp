// Long output lines: the server card in a real window while the fake server
// prints very long lines. Measures the longest main-loop stall with the
// heartbeat of the flood benchmark while the output arrives (from the start
// until the dark card shows) and for a few seconds after it.
//   usage: server_long_lines [SETTLE_SECONDS=5]   (needs a display: xvfb-run)
#include "server_bench_support.hpp"

#include "ui/cards/ServerCard.hpp"
#include "ui/window/Style.hpp"

#include <gtkmm/box.h>
#include <gtkmm/init.h>
#include <gtkmm/window.h>

#include <cstdio>

using quillbay::ServerProcess;

namespace {

struct Run {
    double outputStallMs = 0;
    double afterStallMs = 0;
    double afterCpuMs = 0;
    std::size_t cardChars = 0;
    std::string state;
};

Run runCase(const std::vector<std::string>& fakeArgs, std::chrono::seconds settle)
{
    bench::BenchFolder folder(fakeArgs);
    auto config = folder.config(38765);
    config.timing.probe.limit = std::chrono::milliseconds(1500);  // the endless writer never answers
    ServerProcess server(config);
    Gtk::Window window;
    Gtk::Box holder;
    window.set_child(holder);
    auto card = quillbay::ServerCard::create(holder, server, {});
    window.set_default_size(1000, 700);
    window.present();
    bench::runUntil([] { return false; }, std::chrono::milliseconds(500));  // the first frames are not part of it

    bench::Heartbeat heartbeat;
    server.start();
    heartbeat.restart();  // nor is the port choice
    bench::runUntil([&] { return server.state()->isFailed(); }, std::chrono::minutes(3));
    Run run;
    run.outputStallMs = heartbeat.longestStallMs();
    heartbeat.restart();
    const double cpuBefore = bench::cpuMs();
    bench::runUntil([] { return false; }, settle);  // the card lays its text out meanwhile
    run.afterStallMs = heartbeat.longestStallMs();
    run.afterCpuMs = bench::cpuMs() - cpuBefore;
    run.cardChars = card->logText().size();
    run.state = server.state()->message();

    bool stopped = false;
    server.stop([&] { stopped = true; });
    bench::runUntil([&] { return stopped; }, std::chrono::seconds(20));
    return run;
}

void report(const char* what, const Run& run, std::chrono::seconds settle)
{
    std::printf("%s: longest stall %.1f ms while the output arrives, %.1f ms after (goal <= 50 ms); CPU after "
                "%.0f ms in %lld s; card text %zu chars; state: %s\n",
                what, run.outputStallMs, run.afterStallMs, run.afterCpuMs, static_cast<long long>(settle.count()), run.cardChars, run.state.c_str());
}

} // namespace

int main(int argc, char** argv)
{
    const std::chrono::seconds settle(argc > 1 ? std::atoi(argv[1]) : 5);
    setenv("GSK_RENDERER", "cairo", 0);
    if (!gtk_init_check()) {
        std::fprintf(stderr, "no display\n");
        return 2;
    }
    Gtk::init_gtkmm_internals();
    quillbay::installQuillbayStyle();

    const Run burst = runCase({"--wide-lines", "40", "--width", "70000"}, settle);
    report("40 lines of 70,000 characters, then exit 1", burst, settle);
    const Run endless = runCase({"--wide-lines", "-1", "--width", "100000"}, settle);
    report("100 KB lines without end, no answer", endless, settle);
    const auto within = [](const Run& run) { return run.outputStallMs <= 50 && run.afterStallMs <= 50; };
    return within(burst) && within(endless) ? 0 : 1;
}
