// One Generate click against the local group-contact service, next to the floor it stands on: two
// bare libcurl requests to the same two URLs. The click adds the window's text reads and writes,
// the encoding, the extraction and the request routine's header handling on top of the wire time.
//
//   build-dir/bench/join_code_bench   // see the counters click_us, bare_curl_us, click_over_bare
#include <benchmark/benchmark.h>
#include <curl/curl.h>
#include <httplib.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "app/gui_operations.h"
#include "app/join_code.h"
#include "app/program_start.h"
#include "app/service_host.h"
#include "group_service.h"
#include "platform/gui.h"
#include "web/web_request.h"

namespace joincode {
namespace {

// The service on a free loopback port and the main window, for the whole run.
struct Stage {
  httplib::Server server;
  int port = 0;
  std::thread thread;
  bool ready = false;

  Stage() {
    tools::AddGroupServiceRoutes(server, nullptr);
    port = server.bind_to_any_port("127.0.0.1");
    if (port <= 0)
      return;
    thread = std::thread([this] { server.listen_after_bind(); });
    SetServiceHost(Text(Host()));
    ready = platform::InitGui() && BuildMainWindow() != 0;
  }
  ~Stage() {
    platform::ShutdownGui();
    server.stop();
    if (thread.joinable())
      thread.join();
  }
  std::string Host() const { return "127.0.0.1:" + std::to_string(port); }
};

Stage& TheStage() {
  static Stage stage;
  return stage;
}

const std::string kKeyTarget = "/wpa/g_wpa_get?guin=%5B6986280%5D&_=1370516986390";
const std::string kPageTarget = "/wpa/qunwpa?idkey=5f0c9e41b7d2a86e3c15f0d9a4b7e2c8";

size_t Collect(char* data, size_t size, size_t count, void* body) {
  static_cast<std::string*>(body)->append(data, size * count);
  return size * count;
}

// A fresh handle per request, as the program makes one per request.
std::string BareGet(const std::string& url) {
  std::string body;
  CURL* curl = curl_easy_init();
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &Collect);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
  curl_easy_perform(curl);
  curl_easy_cleanup(curl);
  return body;
}

using Clock = std::chrono::steady_clock;

double MicrosecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

// Each iteration makes one click, the two bare requests and the same two requests through the
// program's request routine, back to back, so that a busy machine weighs on all three alike.
// Counters are averages per iteration; click_over_bare is the figure to watch.
void BM_GenerateClickNextToBareCurl(benchmark::State& state) {
  Stage& stage = TheStage();
  if (!stage.ready) {
    state.SkipWithError("no window or no service");
    return;
  }
  const std::string keyUrl = "http://" + stage.Host() + kKeyTarget;
  const std::string pageUrl = "http://" + stage.Host() + kPageTarget;
  SetControlText(kMainWindowId, kEditBox1Id, "6986280");
  // A failed click would wait for its message box to be closed.
  int failures = 0;
  platform::SetMessageBoxObserver([&failures](const platform::MessageBoxCall&) {
    ++failures;
    return platform::kButtonOk;
  });
  double click = 0, bare = 0, routine = 0;
  for (auto _ : state) {
    SetControlText(kMainWindowId, kEditBox3Id, "");
    Clock::time_point start = Clock::now();
    GenerateJoinCode();
    click += MicrosecondsSince(start);

    start = Clock::now();
    size_t bytes = BareGet(keyUrl).size() + BareGet(pageUrl).size();
    bare += MicrosecondsSince(start);

    start = Clock::now();
    bytes += static_cast<size_t>(WebRequestText(Text(keyUrl)).size() +
                                 WebRequestText(Text(pageUrl)).size());
    routine += MicrosecondsSince(start);
    benchmark::DoNotOptimize(bytes);
  }
  platform::SetMessageBoxObserver({});
  if (failures > 0 || GetControlText(kMainWindowId, kEditBox3Id).empty()) {
    state.SkipWithError("a click produced no join code");
  }
  using benchmark::Counter;
  state.counters["click_us"] = Counter(click, Counter::kAvgIterations);
  state.counters["bare_curl_us"] = Counter(bare, Counter::kAvgIterations);
  state.counters["web_request_us"] = Counter(routine, Counter::kAvgIterations);
  state.counters["click_over_bare"] = bare > 0 ? click / bare : 0;
}
BENCHMARK(BM_GenerateClickNextToBareCurl)->UseRealTime()->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace joincode

int main(int argc, char** argv) {
  // The window needs no display to be measured.
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  curl_global_init(CURL_GLOBAL_DEFAULT);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  curl_global_cleanup();
  return 0;
}
