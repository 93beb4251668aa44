// Output flood: a fake server writes 50 MB of lines (the log keeps 64 MiB per start) and exits. Checks that
// server.log receives every byte, compares the throughput with the same writer
// redirected straight to a file, and measures the longest main-loop stall.
//   usage: server_flood [MEGABYTES] [RUNS]
#include "server_bench_support.hpp"

#include <cstdio>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

using Clock = std::chrono::steady_clock;
using quillbay::ServerProcess;

namespace {

// The writer alone, its output redirected to a file; or, with `throughCat`,
// piped through cat into the file: the best any pipe reader does on this machine.
double timeStraightToFile(long long bytes, const std::string& path, bool throughCat = false)
{
    int input[2];
    if (::pipe2(input, O_CLOEXEC) != 0)
        return 0;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, input[0], 0);  // held open, as the shell does
    int through[2] = {-1, -1};
    pid_t cat = 0;
    if (throughCat && ::pipe2(through, O_CLOEXEC) == 0) {
        posix_spawn_file_actions_t catActions;
        posix_spawn_file_actions_init(&catActions);
        posix_spawn_file_actions_adddup2(&catActions, through[0], 0);
        posix_spawn_file_actions_addopen(&catActions, 1, path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        char catPath[] = "/bin/cat";
        char* catArgv[] = {catPath, nullptr};
        posix_spawn(&cat, catPath, &catActions, nullptr, catArgv, environ);
        posix_spawn_file_actions_destroy(&catActions);
        ::close(through[0]);
        posix_spawn_file_actions_adddup2(&actions, through[1], 1);
    } else {
        posix_spawn_file_actions_addopen(&actions, 1, path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    }
    std::string python = "/usr/bin/python3", script = bench::fakeServerPath(), flag = "--flood",
                amount = std::to_string(bytes);
    char* argv[] = {python.data(), script.data(), flag.data(), amount.data(), nullptr};
    pid_t pid = 0;
    auto began = Clock::now();
    int failed = posix_spawn(&pid, argv[0], &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(input[0]);
    if (through[1] >= 0)
        ::close(through[1]);
    if (failed == 0)
        ::waitpid(pid, nullptr, 0);
    if (cat > 0)
        ::waitpid(cat, nullptr, 0);
    double seconds = std::chrono::duration<double>(Clock::now() - began).count();
    ::close(input[1]);
    return seconds;
}

struct SupervisedRun {
    double seconds = 0;
    long long logBytes = 0;
    double longestStallMs = 0;
    std::string finalState;
};

SupervisedRun timeSupervised(long long bytes)
{
    bench::BenchFolder folder({"--flood", std::to_string(bytes)});
    ServerProcess server(folder.config(38765));

    bench::Heartbeat heartbeat;
    auto began = Clock::now();
    server.start();
    heartbeat.restart();  // the port choice before the launch is not part of the flood
    bench::runUntil([&] { return server.state()->isFailed(); }, std::chrono::minutes(5));
    SupervisedRun run;
    run.seconds = std::chrono::duration<double>(Clock::now() - began).count();
    run.longestStallMs = heartbeat.longestStallMs();
    run.finalState = server.state()->message();
    std::error_code ignored;
    run.logBytes = static_cast<long long>(std::filesystem::file_size(server.serverLogPath(), ignored));
    return run;
}

} // namespace

int main(int argc, char** argv)
{
    long long megabytes = argc > 1 ? std::atoll(argv[1]) : 50;
    int runs = argc > 2 ? std::atoi(argv[2]) : 3;
    long long bytes = megabytes * 1000 * 1000;
    bench::BenchFolder scratch({});
    std::printf("output flood: %lld bytes of 100-byte lines, %d runs\n", bytes, runs);

    std::vector<double> ratios, catRatios, stalls;
    bool exact = true;
    for (int i = 0; i < runs; ++i) {
        double straight = timeStraightToFile(bytes, scratch.file("straight.out"));
        double viaCat = timeStraightToFile(bytes, scratch.file("cat.out"), true);
        auto run = timeSupervised(bytes);
        bool same = run.logBytes == bytes;
        exact = exact && same;
        ratios.push_back(straight / run.seconds);
        catRatios.push_back(straight / viaCat);
        stalls.push_back(run.longestStallMs);
        std::printf("run %d: to file %.3f s (%.0f MB/s); through cat %.3f s (%.2fx); supervised %.3f s (%.0f MB/s, "
                    "%.2fx); server.log %lld bytes (%s); longest stall %.1f ms; state: %s\n",
                    i + 1, straight, bytes / 1e6 / straight, viaCat, catRatios.back(), run.seconds,
                    bytes / 1e6 / run.seconds, ratios.back(), run.logBytes, same ? "exact" : "MISMATCH",
                    run.longestStallMs, run.finalState.c_str());
    }
    double worstStall = *std::max_element(stalls.begin(), stalls.end());
    std::printf("summary: byte-exact %s; throughput ratio median %.2fx (goal >= 0.8x; cat through a pipe "
                "reaches %.2fx here); longest stall %.1f ms (goal <= 50 ms)\n",
                exact ? "yes" : "NO", bench::median(ratios), bench::median(catRatios), worstStall);
    return exact ? 0 : 1;
}
