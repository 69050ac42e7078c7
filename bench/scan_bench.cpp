// Scanner throughput on in-memory replays: chat-free records, chat-heavy
// records, and the worst case, every position a table code. Each replay is
// larger than the caches (128 MiB unless MURVIK_BENCH_MIB says otherwise)
// and is scanned once per iteration, so neither the caches nor the branch
// predictor can learn it.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <map>
#include <memory>
#include <string>

#include "extract/scanner.h"
#include "replay_writer.h"

namespace murvik {
namespace {

constexpr size_t kChunk = 256 * 1024;  // as ExtractChat reads
constexpr size_t kStretch = 1 << 20;   // as the two-thread path scans

size_t ReplaySize() {
  const char* mib = std::getenv("MURVIK_BENCH_MIB");
  return (mib != nullptr ? std::strtoull(mib, nullptr, 10) : 128) << 20;
}

// The replay of `kind`, made once per run.
const std::string& Replay(const std::string& kind) {
  static std::map<std::string, std::string> made;
  std::string& bytes = made[kind];
  if (bytes.empty()) bytes = SynthesizedReplay(kind, ReplaySize(), 1);
  return bytes;
}

const unsigned char* Data(const std::string& bytes) { return reinterpret_cast<const unsigned char*>(bytes.data()); }

// The one-thread path: chunks fed to a ChatScanner, rules applied as read.
void BM_ChatScanner(benchmark::State& state, const std::string& kind) {
  const std::string& bytes = Replay(kind);
  for (auto _ : state) {
    ChatScanner scanner;
    for (size_t at = 0; at < bytes.size(); at += kChunk)
      scanner.Feed(Data(bytes) + at, std::min(kChunk, bytes.size() - at));
    benchmark::DoNotOptimize(scanner.TakeMessages().text().data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}

// The two-thread path's work, on one thread: a piece per stretch, joined.
void BM_Pieces(benchmark::State& state, const std::string& kind) {
  const std::string& bytes = Replay(kind);
  ChatBuilder builder(ChatBuilder::Before::kUnknown);
  for (auto _ : state) {
    ChatJoin chat;
    for (size_t at = 0; at < bytes.size(); at += kStretch) {
      const size_t end = std::min(at + kStretch, bytes.size());
      for (size_t c = at; c < end; c += kChunk) {
        // One byte past the chunk, as the reads take it.
        const size_t n = std::min(kChunk, end - c);
        ApplyKeys(Data(bytes) + c, n + (c + n < bytes.size() ? 1 : 0), c, builder);
      }
      ChatPiece piece = builder.TakePiece();
      chat.Add(piece, [](MessageList& finished) { benchmark::DoNotOptimize(finished.text().data()); });
    }
    benchmark::DoNotOptimize(chat.TakeOpen().text().data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}

BENCHMARK_CAPTURE(BM_ChatScanner, noise, std::string("noise"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ChatScanner, chat, std::string("chat"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ChatScanner, worst, std::string("worst"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Pieces, noise, std::string("noise"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Pieces, chat, std::string("chat"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Pieces, worst, std::string("worst"))->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace murvik

BENCHMARK_MAIN();
