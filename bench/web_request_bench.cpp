// WebRequest against a bare libcurl transfer of the same loopback URL: a 10 MiB body and a small
// GET. Both sides open a fresh handle per request, as the routine does.
#include <benchmark/benchmark.h>
#include <curl/curl.h>
#include <httplib.h>

#include <string>
#include <thread>

#include "web/web_request.h"

namespace {

constexpr size_t kLargeBytes = size_t{10} << 20;

class Server {
 public:
  Server() {
    server_.Get("/large", [this](const httplib::Request&, httplib::Response& res) {
      res.set_content(large_, "application/octet-stream");
    });
    server_.Get("/small", [](const httplib::Request&, httplib::Response& res) {
      res.set_content("{\"key\":\"K1\"}]}}", "text/plain");
    });
    port_ = server_.bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    while (!server_.is_running())
      std::this_thread::yield();
  }
  ~Server() {
    server_.stop();
    thread_.join();
  }
  std::string Url(const char* path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
  }

 private:
  std::string large_ = std::string(kLargeBytes, 'z');
  httplib::Server server_;
  std::thread thread_;
  int port_ = 0;
};

Server& TheServer() {
  static Server server;
  return server;
}

size_t Collect(char* data, size_t size, size_t count, void* out) {
  static_cast<std::string*>(out)->append(data, size * count);
  return size * count;
}

std::string BareCurlGet(const std::string& url) {
  std::string body;
  CURL* easy = curl_easy_init();
  curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, Collect);
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, &body);
  curl_easy_perform(easy);
  curl_easy_cleanup(easy);
  return body;
}

void WebRequestLarge(benchmark::State& state) {
  const std::string url = TheServer().Url("/large");
  for (auto _ : state) {
    joincode::Bytes body = joincode::WebRequest(url);
    if (static_cast<size_t>(body.size()) != kLargeBytes)
      state.SkipWithError("short body");
    benchmark::DoNotOptimize(body);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kLargeBytes));
}

void BareCurlLarge(benchmark::State& state) {
  const std::string url = TheServer().Url("/large");
  for (auto _ : state) {
    std::string body = BareCurlGet(url);
    if (body.size() != kLargeBytes)
      state.SkipWithError("short body");
    benchmark::DoNotOptimize(body);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kLargeBytes));
}

void WebRequestSmall(benchmark::State& state) {
  const std::string url = TheServer().Url("/small");
  for (auto _ : state) {
    joincode::Text body = joincode::WebRequestText(url);
    benchmark::DoNotOptimize(body);
  }
}

void BareCurlSmall(benchmark::State& state) {
  const std::string url = TheServer().Url("/small");
  for (auto _ : state) {
    std::string body = BareCurlGet(url);
    benchmark::DoNotOptimize(body);
  }
}

BENCHMARK(WebRequestLarge)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BareCurlLarge)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(WebRequestSmall)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BareCurlSmall)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
