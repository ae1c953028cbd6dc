// Scanning costs of the character-stepping primitives on GBK text: FindText against a plain byte
// search over the same bytes, and ReplaceText / SplitText at two sizes to show linear growth.
//
//   build-dir/bench/text_bench --benchmark_filter=Find
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <string>
#include <string_view>

#include "text/search.h"
#include "text/text.h"

namespace joincode {
namespace {

constexpr int64_t kMiB = 1 << 20;

// Mostly Chinese lines with ASCII words, digits and punctuation, CR LF every line. Lead bytes stay
// in B0-F7 and the ASCII words never spell the markers, so the markers below occur only where put.
std::string GbkPage(size_t size, uint32_t seed) {
  static constexpr std::string_view kWords[] = {
      "QQ", "group", "uin", "=", "&", "http://", "id", "2013", " ", ":", "key", "value", "<br/>"};
  std::mt19937 random(seed);
  std::uniform_int_distribution<int> kind(0, 9);
  std::uniform_int_distribution<int> lead(0xB0, 0xF7);
  std::uniform_int_distribution<int> trail(0xA1, 0xFE);
  std::uniform_int_distribution<size_t> word(0, std::size(kWords) - 1);
  std::string page;
  page.reserve(size + 16);
  size_t lineStart = 0;
  while (page.size() < size) {
    if (page.size() - lineStart > 78) {
      page += "\r\n";
      lineStart = page.size();
    } else if (kind(random) < 7) {
      page += static_cast<char>(lead(random));
      page += static_cast<char>(trail(random));
    } else {
      page += kWords[word(random)];
    }
  }
  page.resize(size);
  // A page never ends in the middle of a double-byte character.
  if (static_cast<unsigned char>(page.back()) >= 0x80) {
    page.back() = '.';
  }
  return page;
}

const std::string kAsciiMarker = "&param=7fd1c0";
const std::string kGbkMarker("\xA1\xBE\xC8\xBA\xA1\xBF", 6);  // bracketed word, brackets unused

std::string PageWithMarker(size_t size, const std::string& marker) {
  std::string page = GbkPage(size, 936);
  // Near the end, on a character start: the byte before is ASCII.
  const size_t at = size - 200;
  page.replace(at, 1, "\n");
  page.replace(at + 1, marker.size(), marker);
  return page;
}

const std::string& MarkerFor(int64_t which) {
  return which == 0 ? kAsciiMarker : kGbkMarker;
}

void BM_StringViewFind(benchmark::State& state) {
  const std::string& marker = MarkerFor(state.range(0));
  const std::string page = PageWithMarker(kMiB, marker);
  const std::string_view bytes = page;
  for (auto _ : state) {
    benchmark::DoNotOptimize(bytes.find(marker));
  }
  state.SetBytesProcessed(state.iterations() * kMiB);
}
BENCHMARK(BM_StringViewFind)->Arg(0)->Arg(1);

void BM_FindText(benchmark::State& state) {
  const std::string& marker = MarkerFor(state.range(0));
  const Text page(PageWithMarker(kMiB, marker));
  const Text pattern(marker);
  if (FindText(page, pattern) != kMiB - 200 + 2) {
    state.SkipWithError("marker not found where it was put");
    return;
  }
  for (auto _ : state) {
    benchmark::DoNotOptimize(FindText(page, pattern));
  }
  state.SetBytesProcessed(state.iterations() * kMiB);
}
BENCHMARK(BM_FindText)->Arg(0)->Arg(1);

// Worst case for the character-start check: every candidate lies on a second byte.
void BM_FindTextAllMisaligned(benchmark::State& state) {
  std::string page;
  while (page.size() < static_cast<size_t>(state.range(0))) {
    page += "\xBA\xC5";
  }
  const Text text(page);
  const Text pattern(std::string("\xC5\xBA", 2));
  for (auto _ : state) {
    benchmark::DoNotOptimize(FindText(text, pattern));
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_FindTextAllMisaligned)->Arg(kMiB)->Arg(2 * kMiB);

void BM_ReplaceText(benchmark::State& state) {
  const Text page(GbkPage(static_cast<size_t>(state.range(0)), 20));
  for (auto _ : state) {
    benchmark::DoNotOptimize(ReplaceText(page, "\r\n", "<br>\n", std::nullopt, std::nullopt, true));
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ReplaceText)->Arg(kMiB)->Arg(2 * kMiB);

void BM_ReplaceTextFolded(benchmark::State& state) {
  const Text page(GbkPage(static_cast<size_t>(state.range(0)), 21));
  for (auto _ : state) {
    benchmark::DoNotOptimize(ReplaceText(page, "KEY", "k", std::nullopt, std::nullopt, false));
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ReplaceTextFolded)->Arg(kMiB)->Arg(2 * kMiB);

void BM_SplitText(benchmark::State& state) {
  const Text page(GbkPage(static_cast<size_t>(state.range(0)), 22));
  for (auto _ : state) {
    benchmark::DoNotOptimize(SplitText(page, "\r\n"));
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_SplitText)->Arg(kMiB)->Arg(2 * kMiB);

}  // namespace
}  // namespace joincode

BENCHMARK_MAIN();
