// Runs velloran-cli as its own process (its workers are its children), so
// that the CPU it and its workers use is measured apart from the simulated
// printers in this process.
#include "fleet_bench.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "serial_printer.h"

extern char **environ;

namespace velloran::bench {
namespace {

using Clock = std::chrono::steady_clock;

struct Run {
  bool ok = false;
  double wallMs = 0;
  double cpuMs = 0;  // the tool and its workers, user and system
};

double ChildrenCpuMs() {
  rusage usage{};
  getrusage(RUSAGE_CHILDREN, &usage);
  const auto ms = [](const timeval &t) { return t.tv_sec * 1000.0 + t.tv_usec / 1000.0; };
  return ms(usage.ru_utime) + ms(usage.ru_stime);
}

// Upgrades count printers at baud with one command (output discarded).
Run Upgrade(const std::string &cli, const std::string &image, size_t count, unsigned baud, unsigned baudOption) {
  std::vector<std::unique_ptr<sim::SerialPrinter>> printers;
  std::string map;
  std::vector<std::string> args = {cli, "upgrade", "--link", "serial"};
  for (size_t i = 0; i < count; ++i) {
    printers.push_back(std::make_unique<sim::SerialPrinter>(sim::SerialPrinterOptions{.baud = baud, .wireTime = true}));
    std::string error;
    if (!printers.back()->Start(&error)) {
      std::fprintf(stderr, "velloran-bench: %s\n", error.c_str());
      return {};
    }
    const std::string name = "COM" + std::to_string(21 + i);
    map += (map.empty() ? "" : ";") + name + "=" + printers.back()->SlavePath();
    args.insert(args.end(), {"--port", name});
  }
  if (baudOption != 0) args.insert(args.end(), {"--baud", std::to_string(baudOption)});
  args.push_back(image);
  ::setenv("VELLORAN_DEVICE_MAP", map.c_str(), 1);

  std::vector<char *> argv;
  for (std::string &arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  const double cpuBefore = ChildrenCpuMs();
  const auto start = Clock::now();
  pid_t pid = -1;
  Run run;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
    int status = 0;
    waitpid(pid, &status, 0);
    run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  }
  posix_spawn_file_actions_destroy(&actions);
  run.wallMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  run.cpuMs = ChildrenCpuMs() - cpuBefore;
  for (const auto &printer : printers) run.ok = run.ok && printer->Finished();
  return run;
}

}  // namespace

int BenchFleet(const std::string &image, const std::string &cli) {
  constexpr size_t kFleet = 8;
  const Run alone = Upgrade(cli, image, 1, 115200, 0);
  const Run fleet = Upgrade(cli, image, kFleet, 115200, 0);
  std::printf("\nseveral printers, serial at 115200 baud with wire time, velloran-cli as a program:\n");
  std::printf("  one printer:      %8.0f ms wall, %6.0f ms CPU (%.2f %% of one core)%s\n", alone.wallMs, alone.cpuMs,
              100 * alone.cpuMs / alone.wallMs, alone.ok ? "" : "  FAILED");
  std::printf("  %zu at once:        %8.0f ms wall, %6.0f ms CPU%s\n", kFleet, fleet.wallMs, fleet.cpuMs,
              fleet.ok ? "" : "  FAILED");
  std::printf("  wall-time ratio:  %8.3fx (goal <= 1.05x)\n", fleet.wallMs / alone.wallMs);
  std::printf("  CPU per printer:  %8.2f %% of one core (goal <= 1 %%)\n",
              100 * fleet.cpuMs / fleet.wallMs / static_cast<double>(kFleet));
  return alone.ok && fleet.ok ? 0 : 1;
}

int BenchKnownBaud(const std::string &image, const std::string &cli) {
  const Run searched = Upgrade(cli, image, 1, 115200, 0);
  const Run known = Upgrade(cli, image, 1, 115200, 115200);
  std::printf("\n--baud, one printer at 115200 baud with wire time:\n");
  std::printf("  rate searched:    %8.0f ms%s\n", searched.wallMs, searched.ok ? "" : "  FAILED");
  std::printf("  --baud 115200:    %8.0f ms%s\n", known.wallMs, known.ok ? "" : "  FAILED");
  std::printf("  saved:            %8.0f ms (%.0f %%)\n", searched.wallMs - known.wallMs,
              100 * (searched.wallMs - known.wallMs) / searched.wallMs);
  return searched.ok && known.ok ? 0 : 1;
}

}  // namespace velloran::bench
