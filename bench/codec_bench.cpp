// The LZ77 coder against zlib levels 1 and 6 on the same bytes. After the
// usual per-benchmark lines a table sets each input's figures side by side:
// our speed, zlib's, their ratio, and the packed sizes.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "base/lz77.h"
#include "bench/codec_inputs.h"

namespace {

struct NamedInput {
  std::string name;
  ByteVector bytes;
  bool hasGoal;  // ours must be at least as fast as zlib level 1
};

// Our coder as LzCompress runs it: one work area and output buffer kept for
// every call.
class OurPacker {
 public:
  explicit OurPacker(std::size_t largest)
      : work_(LzWorkAreaWords(largest)), out_(LzMaxPackedSize(static_cast<std::uint32_t>(largest))) {}
  std::size_t Pack(const ByteVector& in) { return LzEncode(in, out_, work_); }

 private:
  std::vector<std::uint32_t> work_;
  ByteVector out_;
};

// zlib at its cheapest for many small records: one stream kept and reset for
// every call (a fresh compress2() would also pay its allocations).
class ZlibPacker {
 public:
  ZlibPacker(int level, std::size_t largest) {
    stream_ = {};
    deflateInit(&stream_, level);
    out_.resize(deflateBound(&stream_, static_cast<uLong>(largest)));
  }
  ~ZlibPacker() { deflateEnd(&stream_); }
  ZlibPacker(const ZlibPacker&) = delete;
  ZlibPacker& operator=(const ZlibPacker&) = delete;

  std::size_t Pack(const ByteVector& in) {
    deflateReset(&stream_);
    stream_.next_in = const_cast<Bytef*>(in.data());
    stream_.avail_in = static_cast<uInt>(in.size());
    stream_.next_out = out_.data();
    stream_.avail_out = static_cast<uInt>(out_.size());
    if (deflate(&stream_, Z_FINISH) != Z_STREAM_END) return 0;
    return stream_.total_out;
  }

 private:
  z_stream stream_;
  ByteVector out_;
};

template <typename Packer>
void PackLoop(benchmark::State& state, Packer& packer, const ByteVector& input) {
  std::size_t packed = 0;
  for (auto _ : state) {
    packed = packer.Pack(input);
    benchmark::DoNotOptimize(packed);
  }
  if (packed == 0) state.SkipWithError("packing failed");
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * input.size()));
  state.counters["packed"] = static_cast<double>(packed);
  state.counters["in"] = static_cast<double>(input.size());
}

// Collects the runs and prints the side-by-side table at the end.
class SideBySideReporter : public benchmark::ConsoleReporter {
 public:
  explicit SideBySideReporter(std::vector<std::string> order) : order_(std::move(order)) {}

  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.error_occurred || run.run_type != Run::RT_Iteration || run.iterations == 0) continue;
      const std::string name = run.benchmark_name();
      const auto slash = name.find('/');
      if (slash == std::string::npos) continue;
      Figure& f = figures_[name.substr(slash + 1)][name.substr(0, slash)];
      f.seconds = run.real_accumulated_time / static_cast<double>(run.iterations);
      f.in = run.counters.count("in") ? run.counters.at("in").value : 0;
      f.packed = run.counters.count("packed") ? run.counters.at("packed").value : 0;
    }
  }

  void Finalize() override {
    ConsoleReporter::Finalize();
    std::FILE* out = stdout;
    std::fprintf(out, "\n%-12s %10s %10s %10s %7s %10s %7s   %s\n", "input", "ours MB/s", "zlib1 MB/s",
                 "zlib6 MB/s", "/zlib1", "packed", "zlib1", "goal: ours >= zlib level 1");
    for (const std::string& input : order_) {
      auto& row = figures_[input];
      const Figure& ours = row["ours"];
      const Figure& z1 = row["zlib1"];
      const Figure& z6 = row["zlib6"];
      if (ours.seconds <= 0 || z1.seconds <= 0) continue;
      const double ratio = z1.seconds / ours.seconds;
      const bool goal = goals_.count(input) != 0;
      std::fprintf(out, "%-12s %10.1f %10.1f %10.1f %6.2fx %10.0f %7.0f   %s\n", input.c_str(), Speed(ours),
                   Speed(z1), Speed(z6), ratio, ours.packed, z1.packed,
                   goal ? (ratio >= 1.0 ? "met" : "NOT MET") : "-");
    }
    std::fprintf(out, "(speed: input bytes per second; /zlib1: our speed over zlib level 1's; packed: bytes out)\n");
  }

  void SetGoal(const std::string& input) { goals_[input] = true; }

 private:
  struct Figure {
    double seconds = 0;
    double in = 0;
    double packed = 0;
  };
  static double Speed(const Figure& f) { return f.seconds > 0 ? f.in / f.seconds / 1e6 : 0; }

  std::vector<std::string> order_;
  std::map<std::string, std::map<std::string, Figure>> figures_;
  std::map<std::string, bool> goals_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;

  static std::vector<NamedInput> inputs = {
      {"login560", LoginRecordInput(), true},
      {"plan2352", FlightPlanInput(), true},
      {"text20k", TextInput(TK_SOURCE_DIR, 20 * 1024), true},
      {"mixed1m", MixedInput(TK_SOURCE_DIR, 1024 * 1024), false},
  };
  std::vector<std::string> order;
  std::size_t largest = 0;
  for (const NamedInput& in : inputs) {
    order.push_back(in.name);
    largest = std::max(largest, in.bytes.size());
  }
  static OurPacker ours(largest);
  static ZlibPacker zlib1(1, largest);
  static ZlibPacker zlib6(6, largest);

  for (const NamedInput& in : inputs) {
    const ByteVector* bytes = &in.bytes;
    benchmark::RegisterBenchmark(("ours/" + in.name).c_str(),
                                 [bytes](benchmark::State& s) { PackLoop(s, ours, *bytes); });
    benchmark::RegisterBenchmark(("zlib1/" + in.name).c_str(),
                                 [bytes](benchmark::State& s) { PackLoop(s, zlib1, *bytes); });
    benchmark::RegisterBenchmark(("zlib6/" + in.name).c_str(),
                                 [bytes](benchmark::State& s) { PackLoop(s, zlib6, *bytes); });
  }

  SideBySideReporter reporter(order);
  for (const NamedInput& in : inputs)
    if (in.hasGoal) reporter.SetGoal(in.name);
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
