// Deflate decoding speed: Vantelo's decoder against zlib's inflate and
// libdeflate on the same raw streams. The corpus is made at run time: text
// files from /usr/share and programs from /usr/bin (or the folders given as
// arguments), each compressed at level 6; or it is the Deflate entries of ZIP
// archives (--zip; Deflate64 entries too, which only Vantelo decodes). Vantelo
// decodes through its entry pipeline (a file opened as the archive, the entry
// input, the method's decoder, the output window with CRC-32, no sink); zlib decodes
// from memory into a 64 KiB buffer, and libdeflate from memory into a buffer of
// the entry's size (its whole-buffer loop), each timed with and without a
// CRC-32 of the output. Prints MB/s of output (1 MB = 10^6 bytes, best of five
// rounds, processor time) and the ratios.
//
// Usage: inflate_bench [text-folder binary-folder] [megabytes-per-kind]
//        inflate_bench --zip ARCHIVE...
//        inflate_bench --once vantelo|zlib|libdeflate ARCHIVE
//            one pass of one decoder over the archive's Deflate entries, for
//            counting instructions under callgrind
#include <atomic>
#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <ctime>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "engine/pipeline/byte_source.h"
#include "engine/pipeline/entry_pipeline.h"
#include "platform/platform.h"

namespace fs = std::filesystem;
using namespace vantelo;

namespace {

struct Entry {
  std::string stream;
  std::uint32_t size = 0;
  std::uint32_t crc = 0;
  std::int64_t offset = 0;  // in the archive file
  std::uint16_t method = 8;  // 8 Deflate, 9 Deflate64
};

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::string data;
  std::error_code ec;
  data.resize(static_cast<std::size_t>(fs::file_size(path, ec)));
  in.read(data.data(), static_cast<std::streamsize>(data.size()));
  data.resize(static_cast<std::size_t>(in.gcount()));
  return data;
}

std::string RawDeflate(const std::string& data) {
  z_stream z{};
  deflateInit2(&z, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&z, data.size()) + 16, '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

bool LooksLikeText(const std::string& data) {
  const std::size_t n = std::min<std::size_t>(data.size(), 4096);
  for (std::size_t i = 0; i < n; ++i) {
    const unsigned char c = static_cast<unsigned char>(data[i]);
    if (c < 9 || (c > 13 && c < 32)) return false;
  }
  return n > 0;
}

// Files of one kind below root, up to budget bytes, each at most 8 MiB.
std::vector<Entry> Collect(const fs::path& root, bool text, std::size_t budget) {
  std::vector<fs::path> paths;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(root, fs::directory_options::skip_permission_denied, ec);
       it != fs::recursive_directory_iterator(); it.increment(ec)) {
    if (ec) break;
    if (it->is_regular_file(ec) && !it->is_symlink(ec)) paths.push_back(it->path());
  }
  std::sort(paths.begin(), paths.end());
  std::vector<Entry> entries;
  std::size_t total = 0;
  for (const auto& path : paths) {
    const auto ext = path.extension().string();
    if (ext == ".gz" || ext == ".xz" || ext == ".bz2" || ext == ".png" || ext == ".zst") continue;
    const auto size = fs::file_size(path, ec);
    if (ec || size < 1024 || size > (8u << 20)) continue;
    std::string data = ReadFile(path);
    if (LooksLikeText(data) != text) continue;
    Entry e;
    e.stream = RawDeflate(data);
    e.size = static_cast<std::uint32_t>(data.size());
    e.crc = static_cast<std::uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
    entries.push_back(std::move(e));
    total += data.size();
    if (total >= budget) break;
  }
  return entries;
}

// Processor time of this process, which other work on a shared machine
// disturbs less than wall-clock time.
double Now() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }
double Seconds(double start) { return Now() - start; }

// Decodes every entry with the engine's pipeline from the archive file;
// returns seconds.
double RunVantelo(const std::string& archive, std::vector<Entry>& entries) {
  static EntryPipeline pipeline;
  const platform::FileHandle file = platform::OpenForReading(archive);
  FileSource source(file);
  pipeline.input.Connect(&source, nullptr);
  DiscardSink nothing;
  std::atomic<ZipSize> bytesDone{0};
  const double start = Now();
  for (const auto& e : entries) {
    pipeline.input.Reset();
    pipeline.input.Connect(&source, nullptr);
    EntryResult result = pipeline.input.FillAt(static_cast<ZipSize>(e.offset));
    if (result == EntryResult::kOk) {
      RunningEntry entry{pipeline.input, *pipeline.DecoderFor(e.method), pipeline.window, nothing};
      result = entry.Decode(e.size, &bytesDone);
    }
    if (result != EntryResult::kOk || pipeline.window.Crc() != e.crc) {
      std::fprintf(stderr, "Vantelo decoded an entry wrongly (result %d)\n", static_cast<int>(result));
      std::exit(1);
    }
  }
  const double t = Seconds(start);
  pipeline.input.Connect(nullptr, nullptr);
  platform::Close(file);
  return t;
}

double RunZlib(const std::vector<Entry>& entries, bool withCrc) {
  static unsigned char out[65536];
  const double start = Now();
  for (const auto& e : entries) {
    z_stream z{};
    inflateInit2(&z, -15);
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(e.stream.data()));
    z.avail_in = static_cast<uInt>(e.stream.size());
    uLong crc = 0;
    int rc;
    do {
      z.next_out = out;
      z.avail_out = sizeof out;
      rc = inflate(&z, Z_NO_FLUSH);
      if (withCrc) crc = crc32(crc, out, static_cast<uInt>(sizeof out - z.avail_out));
    } while (rc == Z_OK);
    inflateEnd(&z);
    if (rc != Z_STREAM_END || (withCrc && crc != e.crc)) {
      std::fprintf(stderr, "zlib failed on an entry\n");
      std::exit(1);
    }
  }
  return Seconds(start);
}

double RunLibdeflate(const std::vector<Entry>& entries, bool withCrc) {
  static std::vector<unsigned char> out;
  libdeflate_decompressor* d = libdeflate_alloc_decompressor();
  const double start = Now();
  for (const auto& e : entries) {
    if (out.size() < e.size + 1) out.resize(e.size + 1);
    std::size_t produced = 0;
    const auto rc = libdeflate_deflate_decompress(d, e.stream.data(), e.stream.size(), out.data(), out.size(),
                                                  &produced);
    if (rc != LIBDEFLATE_SUCCESS || produced != e.size ||
        (withCrc && libdeflate_crc32(0, out.data(), produced) != e.crc)) {
      std::fprintf(stderr, "libdeflate failed on an entry\n");
      std::exit(1);
    }
  }
  const double t = Seconds(start);
  libdeflate_free_decompressor(d);
  return t;
}

// The Deflate entries of a ZIP archive, found by walking its local headers
// (sizes and CRC from the local header, or from the central directory record
// for entries written with a data descriptor).
std::vector<Entry> ZipEntries(const std::string& path) {
  const std::string zip = ReadFile(path);
  auto u16 = [&](std::size_t at) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(zip[at]) |
                                      static_cast<unsigned char>(zip[at + 1]) << 8);
  };
  auto u32 = [&](std::size_t at) { return u16(at) | u16(at + 2) << 16; };
  std::vector<Entry> entries;
  // Walk the central directory: it has the sizes, and points at each local header.
  std::size_t end = zip.size() >= 22 ? zip.size() - 22 : 0;
  while (end > 0 && u32(end) != 0x06054B50) --end;
  std::size_t at = u32(end + 16);
  const std::size_t count = u16(end + 10);
  for (std::size_t i = 0; i < count && at + 46 <= zip.size() && u32(at) == 0x02014B50; ++i) {
    const std::uint32_t method = u16(at + 10), flags = u16(at + 8);
    const std::uint32_t crc = u32(at + 16), packed = u32(at + 20), size = u32(at + 24);
    const std::size_t local = u32(at + 42);
    at += 46 + u16(at + 28) + u16(at + 30) + u16(at + 32);
    if ((method != 8 && method != 9) || (flags & 1) || size == 0) continue;
    const std::size_t data = local + 30 + u16(local + 26) + u16(local + 28);
    Entry e;
    e.stream = zip.substr(data, packed);
    e.size = size;
    e.crc = crc;
    e.method = static_cast<std::uint16_t>(method);
    entries.push_back(std::move(e));
  }
  return entries;
}

// Writes the streams into one file as an archive would lay them out (with
// gaps between them) and records each one's offset.
std::string LayOut(std::vector<Entry>& entries, const std::string& folder, const char* name) {
  const std::string archive = folder + "/inflate-bench-" + name + ".bin";
  std::string bytes;
  for (auto& e : entries) {
    e.offset = static_cast<std::int64_t>(bytes.size());
    bytes += e.stream;
    bytes.append(64, '\0');
  }
  std::ofstream(archive, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return archive;
}

void Report(const char* name, std::vector<Entry>& entries, const std::string& folder) {
  if (entries.empty()) return;
  const std::string archive = LayOut(entries, folder, name);
  std::uint64_t total = 0, packed = 0;
  for (const auto& e : entries) {
    total += e.size;
    packed += e.stream.size();
  }

  const bool deflate64 = std::any_of(entries.begin(), entries.end(), [](const Entry& e) { return e.method == 9; });
  if (deflate64) {
    // No peer decodes Deflate64 from memory: Vantelo alone.
    double best = 1e9;
    for (int round = 0; round < 5; ++round) best = std::min(best, RunVantelo(archive, entries));
    fs::remove(archive);
    const double mb = static_cast<double>(total) / 1e6;
    std::printf("%-7s %4zu files, %7.1f MB -> %6.1f MB packed (Deflate64)\n", name, entries.size(), mb, packed / 1e6);
    std::printf("        Vantelo (file, CRC)         %7.1f MB/s\n", mb / best);
    return;
  }
  double best[5] = {1e9, 1e9, 1e9, 1e9, 1e9};
  for (int round = 0; round < 5; ++round) {
    best[0] = std::min(best[0], RunVantelo(archive, entries));
    best[1] = std::min(best[1], RunZlib(entries, false));
    best[2] = std::min(best[2], RunZlib(entries, true));
    best[3] = std::min(best[3], RunLibdeflate(entries, false));
    best[4] = std::min(best[4], RunLibdeflate(entries, true));
  }
  fs::remove(archive);
  const double mb = static_cast<double>(total) / 1e6;
  std::printf("%-7s %4zu files, %7.1f MB -> %6.1f MB packed\n", name, entries.size(), mb, packed / 1e6);
  std::printf("        Vantelo (file, CRC)         %7.1f MB/s\n", mb / best[0]);
  std::printf("        zlib inflate                %7.1f MB/s   Vantelo time / its time %.2f\n", mb / best[1],
              best[0] / best[1]);
  std::printf("        zlib inflate + crc32        %7.1f MB/s   Vantelo time / its time %.2f\n", mb / best[2],
              best[0] / best[2]);
  std::printf("        libdeflate (memory)         %7.1f MB/s   Vantelo time / its time %.2f\n", mb / best[3],
              best[0] / best[3]);
  std::printf("        libdeflate (memory) + crc32 %7.1f MB/s   Vantelo time / its time %.2f\n", mb / best[4],
              best[0] / best[4]);
}

}  // namespace

int main(int argc, char** argv) {
  const std::string folder = fs::temp_directory_path().string();
  if (argc > 1 && std::string(argv[1]) == "--zip") {
    for (int i = 2; i < argc; ++i) {
      auto entries = ZipEntries(argv[i]);
      Report(fs::path(argv[i]).filename().c_str(), entries, folder);
    }
    return 0;
  }
  if (argc == 4 && std::string(argv[1]) == "--once") {
    const std::string peer = argv[2];
    auto entries = ZipEntries(argv[3]);
    if (peer == "vantelo") {
      const std::string archive = LayOut(entries, folder, "once");
      RunVantelo(archive, entries);
      fs::remove(archive);
    } else if (peer == "zlib") {
      RunZlib(entries, true);
    } else if (peer == "libdeflate") {
      RunLibdeflate(entries, true);
    } else {
      return 2;
    }
    return 0;
  }
  const fs::path textRoot = argc > 2 ? argv[1] : "/usr/share";
  const fs::path binRoot = argc > 2 ? argv[2] : "/usr/bin";
  const std::size_t budget = (argc > 3 ? std::stoul(argv[3]) : (argc == 2 ? std::stoul(argv[1]) : 24)) << 20;
  std::printf("zlib %s; corpus: text from %s, binaries from %s, about %zu MiB each\n", zlibVersion(),
              textRoot.c_str(), binRoot.c_str(), budget >> 20);
  auto text = Collect(textRoot, true, budget);
  auto binary = Collect(binRoot, false, budget);
  Report("text", text, folder);
  Report("binary", binary, folder);
  std::vector<Entry> mixed = text;
  mixed.insert(mixed.end(), binary.begin(), binary.end());
  Report("mixed", mixed, folder);
  return 0;
}
