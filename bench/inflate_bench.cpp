// Deflate decoding speed: Vantelo's decoder against zlib's inflate on the same
// raw streams. The corpus is made at run time: text files from /usr/share and
// programs from /usr/bin (or the folders given as arguments), each compressed
// at level 6. Vantelo decodes through its real path (a file opened as the
// archive, the input buffer, InflateEntry, test mode with CRC-32); zlib decodes
// from memory into a 64 KiB buffer, timed with and without a CRC-32 of its
// output. Prints MB/s of output (1 MB = 10^6 bytes) and the ratios.
//
// Usage: inflate_bench [text-folder binary-folder] [megabytes-per-kind]
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "engine/engine_state.h"
#include "engine/inflate/inflate.h"
#include "engine/stream_io.h"

namespace fs = std::filesystem;
using namespace vantelo;

namespace {

struct Entry {
  std::string stream;
  std::uint32_t size = 0;
  std::uint32_t crc = 0;
  std::int64_t offset = 0;  // in the archive file
};

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
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

double Seconds(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Decodes every entry with the engine from the archive file; returns seconds.
double RunVantelo(const std::string& archive, std::vector<Entry>& entries) {
  EngineState& s = Engine();
  s.ArchiveName = archive;
  s.ArchiveHandle = platform::OpenForReading(archive);
  s.TestOnly = true;
  s.Callback = nullptr;
  s.BytesDone = 0;
  TZFItem entry;
  const auto start = std::chrono::steady_clock::now();
  for (const auto& e : entries) {
    s.ErrorNo = 0;
    entry = TZFItem{};
    entry.UnpackedSize = e.size;
    entry.Method = 8;
    s.CurrentEntry = &entry;
    s.InBase = static_cast<ZipSize>(e.offset);
    s.InBitPos = 0;
    FillInputAt();
    s.OutPos = s.OutStart = s.OutPending = 0;
    s.EntryOutCount = 0;
    s.EntryCrc = 0xFFFFFFFFu;
    InflateEntry();
    if (s.ErrorNo != 0 || (s.EntryCrc ^ 0xFFFFFFFFu) != e.crc) {
      std::fprintf(stderr, "Vantelo decoded an entry wrongly: %s\n", s.ErrorMsg.c_str());
      std::exit(1);
    }
  }
  const double t = Seconds(start);
  platform::Close(s.ArchiveHandle);
  return t;
}

double RunZlib(const std::vector<Entry>& entries, bool withCrc) {
  static unsigned char out[65536];
  const auto start = std::chrono::steady_clock::now();
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

void Report(const char* name, std::vector<Entry>& entries, const std::string& folder) {
  if (entries.empty()) return;
  // Lay the streams out as an archive would, with gaps between them.
  const std::string archive = folder + "/inflate-bench-" + name + ".bin";
  std::string bytes;
  std::uint64_t total = 0, packed = 0;
  for (auto& e : entries) {
    e.offset = static_cast<std::int64_t>(bytes.size());
    bytes += e.stream;
    bytes.append(64, '\0');
    total += e.size;
    packed += e.stream.size();
  }
  std::ofstream(archive, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));

  double best[3] = {1e9, 1e9, 1e9};
  for (int round = 0; round < 5; ++round) {
    best[0] = std::min(best[0], RunVantelo(archive, entries));
    best[1] = std::min(best[1], RunZlib(entries, false));
    best[2] = std::min(best[2], RunZlib(entries, true));
  }
  fs::remove(archive);
  const double mb = static_cast<double>(total) / 1e6;
  std::printf("%-7s %4zu files, %7.1f MB -> %6.1f MB packed\n", name, entries.size(), mb, packed / 1e6);
  std::printf("        Vantelo (file, CRC)   %7.1f MB/s\n", mb / best[0]);
  std::printf("        zlib inflate          %7.1f MB/s   Vantelo/zlib %.2f\n", mb / best[1], best[1] / best[0]);
  std::printf("        zlib inflate + crc32  %7.1f MB/s   Vantelo/zlib %.2f\n", mb / best[2], best[2] / best[0]);
}

}  // namespace

int main(int argc, char** argv) {
  const fs::path textRoot = argc > 2 ? argv[1] : "/usr/share";
  const fs::path binRoot = argc > 2 ? argv[2] : "/usr/bin";
  const std::size_t budget = (argc > 3 ? std::stoul(argv[3]) : (argc == 2 ? std::stoul(argv[1]) : 24)) << 20;
  std::printf("zlib %s; corpus: text from %s, binaries from %s, about %zu MiB each\n", zlibVersion(),
              textRoot.c_str(), binRoot.c_str(), budget >> 20);
  auto text = Collect(textRoot, true, budget);
  auto binary = Collect(binRoot, false, budget);
  const std::string folder = fs::temp_directory_path().string();
  Report("text", text, folder);
  Report("binary", binary, folder);
  std::vector<Entry> mixed = text;
  mixed.insert(mixed.end(), binary.begin(), binary.end());
  Report("mixed", mixed, folder);
  return 0;
}
