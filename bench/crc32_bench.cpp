// CRC-32 throughput: the engine's update (folding with carry-less multiplication
// where the processor has it), its table path (sixteen bytes at a time) and the
// plain table loop of one byte at a time, with zlib's crc32 for reference. Buffer
// sizes: one output window flush (32 KiB) and a large 64 MiB run.
//   build-bench/bench/crc32_bench [megabytes]
#include <zlib.h>

#include <ctime>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/crc32.h"

namespace {

std::vector<std::uint8_t> MakeData(std::size_t n) {
  std::vector<std::uint8_t> data(n);
  std::uint32_t x = 2463534242u;
  for (auto& b : data) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    b = static_cast<std::uint8_t>(x);
  }
  return data;
}

// Runs fn over total bytes in chunks of `chunk`, best of five runs, in MB/s
// (10^6 bytes per second of processor time, which other work on a shared
// machine disturbs less than wall-clock time).
template <typename Fn>
double Measure(const std::vector<std::uint8_t>& data, std::size_t chunk, std::size_t total, Fn fn,
               std::uint32_t& result) {
  double best = 0;
  for (int run = 0; run < 5; ++run) {
    std::uint32_t reg = 0xFFFFFFFFu;
    const std::clock_t start = std::clock();
    for (std::size_t done = 0; done < total; done += chunk)
      reg = fn(reg, data.data() + (done % data.size()), chunk);
    const double seconds = static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
    result = ~reg;
    best = std::max(best, static_cast<double>(total) / seconds / 1e6);
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  const std::size_t megabytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 256;
  const std::size_t total = megabytes << 20;
  const auto data = MakeData(64u << 20);

  auto fast = [](std::uint32_t r, const std::uint8_t* p, std::size_t n) { return vantelo::CrcUpdate(r, p, n); };
  auto slicing = [](std::uint32_t r, const std::uint8_t* p, std::size_t n) {
    return vantelo::CrcUpdateSlicing(r, p, n);
  };
  auto bytewise = [](std::uint32_t r, const std::uint8_t* p, std::size_t n) {
    return vantelo::CrcUpdateBytewise(r, p, n);
  };
  // zlib keeps the complemented value; convert so that all three carry the register.
  auto zlib = [](std::uint32_t r, const std::uint8_t* p, std::size_t n) {
    return ~static_cast<std::uint32_t>(crc32(~r, p, static_cast<uInt>(n)));
  };

  std::printf("CRC-32 throughput over %zu MiB, best of 5 runs (MB/s of CPU time)\n", megabytes);
  std::printf("%-12s %14s %14s %14s %14s\n", "chunk", "CrcUpdate", "slicing-16", "byte-wise", "zlib crc32");
  bool agree = true;
  for (std::size_t chunk : {std::size_t{32768}, std::size_t{64u << 20}}) {
    std::uint32_t a = 0, b = 0, c = 0, d = 0;
    const double fastRate = Measure(data, chunk, total, fast, a);
    const double slicingRate = Measure(data, chunk, total, slicing, d);
    const double byteRate = Measure(data, chunk, total, bytewise, b);
    const double zlibRate = Measure(data, chunk, total, zlib, c);
    agree = agree && a == b && b == c && c == d;
    std::printf("%-12s %14.0f %14.0f %14.0f %14.0f\n", chunk == 32768 ? "32 KiB" : "64 MiB", fastRate, slicingRate,
                byteRate, zlibRate);
  }
  std::printf("results agree: %s\n", agree ? "yes" : "NO");
  return agree ? 0 : 1;
}
