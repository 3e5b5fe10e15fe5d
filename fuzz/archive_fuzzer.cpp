// Whole-archive fuzz target: arbitrary bytes are written to a file, opened as
// an archive and run through a test batch (with a password, so encrypted
// entries are decrypted too) and an extraction batch into a scratch folder;
// then the same file is read by the recovery scan (RecoverArchive) and its
// entries go through the same two batches. Nothing may crash, hang, or appear
// beside the scratch folder.
//
// Seeds for the scan: cut and damaged copies of tests/data/recovery.
//
// Seeds: fuzz/corpus/archive, the test fixtures (the crafted hostile archives of
// tests/data/hostile included) minimized with -merge=1. make test runs it for a
// minute; new inputs go to the first folder:
//   mkdir -p /tmp/archive-corpus
//   build-fuzz/fuzz/archive_fuzzer /tmp/archive-corpus fuzz/corpus/archive -max_len=65536
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "engine/engine.h"

namespace {

namespace fs = std::filesystem;

struct Scratch {
  fs::path root, dest, archive;
  Scratch() {
    root = fs::temp_directory_path() / ("vantelo-archive-fuzz-" + std::to_string(std::random_device{}()));
    dest = root / "dest";
    archive = root / "input.zip";
    fs::create_directories(dest);
  }
};

const Scratch& Paths() {
  static const Scratch scratch;
  return scratch;
}

// A test batch, then (for small catalogs) an extraction that must stay in
// the scratch folder.
void RunBatches(const Scratch& s, std::size_t size) {
  using namespace vantelo;
  // One thread and several take different ways through the batch.
  SetThreadCount(size % 5 == 0 ? 3 : 1);
  ExtractAll("", "secret", true, true, true, nullptr);
  // Extract only small catalogs: writing many files makes every run slow.
  if (GetEntryCount() <= 16) {
    ExtractAll(s.dest.string() + "/", "secret", size % 2 == 0, size % 3 != 0, false, nullptr);
    for (const auto& e : fs::directory_iterator(s.root)) {
      const auto name = e.path().filename();
      if (name != "dest" && name != "input.zip") std::abort();  // something escaped
    }
    std::error_code ignored;
    fs::remove_all(s.dest, ignored);
    fs::create_directories(s.dest);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace vantelo;
  const Scratch& s = Paths();
  {
    std::ofstream out(s.archive, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  if (OpenArchive(s.archive.string()) == 0) RunBatches(s, size);
  if (RecoverArchive(s.archive.string()) == 0) {
    if (!IsArchiveRecovered()) std::abort();
    RunBatches(s, size);
  }
  CloseArchive();
  return 0;
}
