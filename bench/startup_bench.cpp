// Cold start of the program: from starting the process to its main window being shown, on Qt's
// offscreen platform, and the resident memory at that moment. Each iteration starts a fresh
// startup_probe process. Targets: under 150 ms and under 40 MiB.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

extern char** environ;

namespace {

std::string ProbePath() {
  return (std::filesystem::read_symlink("/proc/self/exe").parent_path() / "startup_probe").string();
}

struct ProbeRun {
  bool ok = false;
  double seconds = 0;
  double rssMib = 0;
  double peakMib = 0;
};

ProbeRun RunProbe(const std::string& probe) {
  int pipeFds[2];
  if (pipe(pipeFds) != 0) {
    return {};
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);

  std::vector<std::string> env = {"QT_QPA_PLATFORM=offscreen"};
  for (char** e = environ; *e != nullptr; ++e) {
    if (std::string(*e).rfind("QT_QPA_PLATFORM=", 0) != 0) {
      env.emplace_back(*e);
    }
  }
  std::vector<char*> envp;
  for (std::string& entry : env) {
    envp.push_back(entry.data());
  }
  envp.push_back(nullptr);
  std::string program = probe;
  char* argv[] = {program.data(), nullptr};

  const auto start = std::chrono::steady_clock::now();
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, probe.c_str(), &actions, nullptr, argv, envp.data());
  posix_spawn_file_actions_destroy(&actions);
  close(pipeFds[1]);
  if (spawned != 0) {
    close(pipeFds[0]);
    return {};
  }
  // The probe writes its line once the window is shown; that moment ends the measurement.
  std::string line;
  char buffer[256];
  ssize_t got = 0;
  while (line.find('\n') == std::string::npos &&
         (got = read(pipeFds[0], buffer, sizeof buffer)) > 0) {
    line.append(buffer, static_cast<size_t>(got));
  }
  const auto shown = std::chrono::steady_clock::now();
  close(pipeFds[0]);
  int status = 0;
  waitpid(pid, &status, 0);

  ProbeRun run;
  long rss = 0;
  long peak = 0;
  run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0 &&
           std::sscanf(line.c_str(), "rss_kib=%ld peak_kib=%ld", &rss, &peak) == 2;
  run.seconds = std::chrono::duration<double>(shown - start).count();
  run.rssMib = static_cast<double>(rss) / 1024.0;
  run.peakMib = static_cast<double>(peak) / 1024.0;
  return run;
}

void BM_StartToWindowShown(benchmark::State& state) {
  const std::string probe = ProbePath();
  double rss = 0;
  double peak = 0;
  for (auto _ : state) {
    const ProbeRun run = RunProbe(probe);
    if (!run.ok) {
      state.SkipWithError("the probe did not show the window");
      return;
    }
    state.SetIterationTime(run.seconds);
    rss = std::max(rss, run.rssMib);
    peak = std::max(peak, run.peakMib);
  }
  state.counters["rss_MiB"] = rss;
  state.counters["peak_rss_MiB"] = peak;
}
BENCHMARK(BM_StartToWindowShown)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

}  // namespace

BENCHMARK_MAIN();
