// Batches decoding on several threads end exactly as on one: an entry that
// stops the batch publishes nothing after it, whatever was decoded ahead; an
// existing file wins over what decoding found; the same name twice; Cancel.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <vector>

#include "common/test_support.h"
#include "engine/crc32.h"
#include "engine/engine.h"
#include "platform/platform.h"

namespace vantelo {
namespace {

namespace fs = std::filesystem;
using test::Put16;
using test::Put32;
using test::TempFolder;

// One entry of a hand-made archive: stored data, or raw bytes under a method.
struct Member {
  Member(std::string n, std::string d, std::uint16_t m = 0, std::string p = {})
      : name(std::move(n)), data(std::move(d)), method(m), packed(std::move(p)) {}
  std::string name;
  std::string data;
  std::uint16_t method;
  std::string packed;  // for method != 0: the bytes as stored
};

// A plain ZIP file of the members, in order.
std::string MakeArchive(const std::vector<Member>& members) {
  std::string out, directory;
  for (const Member& m : members) {
    const std::string& packed = m.method == 0 ? m.data : m.packed;
    const std::uint32_t crc =
        CrcUpdate(0xFFFFFFFFu, reinterpret_cast<const std::uint8_t*>(m.data.data()), m.data.size()) ^ 0xFFFFFFFFu;
    const auto offset = static_cast<std::uint32_t>(out.size());
    std::string fields;  // version, flags, method, time, date, CRC, sizes, name length
    Put16(fields, 20);
    Put16(fields, 0);
    Put16(fields, m.method);
    Put16(fields, 0x6000);
    Put16(fields, 0x5A21);
    Put32(fields, crc);
    Put32(fields, static_cast<std::uint32_t>(packed.size()));
    Put32(fields, static_cast<std::uint32_t>(m.data.size()));
    Put16(fields, static_cast<std::uint32_t>(m.name.size()));
    Put32(out, 0x04034B50);
    out += fields;
    Put16(out, 0);  // extra field
    out += m.name + packed;
    Put32(directory, 0x02014B50);
    Put16(directory, 20);
    directory += fields;
    Put16(directory, 0);  // extra
    Put16(directory, 0);  // comment
    Put16(directory, 0);  // disk
    Put16(directory, 0);  // internal attributes
    Put32(directory, 0);  // external attributes
    Put32(directory, offset);
    directory += m.name;
  }
  const auto directoryOffset = static_cast<std::uint32_t>(out.size());
  out += directory;
  Put32(out, 0x06054B50);
  Put32(out, 0);
  Put16(out, static_cast<std::uint32_t>(members.size()));
  Put16(out, static_cast<std::uint32_t>(members.size()));
  Put32(out, static_cast<std::uint32_t>(directory.size()));
  Put32(out, directoryOffset);
  Put16(out, 0);
  return out;
}

std::string Filler(std::size_t size, char seed) {
  std::string s(size, ' ');
  for (std::size_t i = 0; i < size; ++i) s[i] = static_cast<char>(seed + static_cast<char>(i % 23));
  return s;
}

// Deflate data that stops the batch: a block of the reserved type 3.
Member Damaged(const std::string& name) { return {name, "whatever it was", 8, std::string("\x07\x00\x00\x00", 4)}; }

// Everything below root, folders with a trailing "/", sorted.
std::vector<std::string> Tree(const fs::path& root) {
  std::vector<std::string> all;
  for (const auto& e : fs::recursive_directory_iterator(root))
    all.push_back(fs::relative(e.path(), root).generic_string() + (e.is_directory() ? "/" : ""));
  std::sort(all.begin(), all.end());
  return all;
}

// What a batch left: result, message, stopped entry, counters, verdicts, files.
struct Outcome {
  std::int32_t result = 0;
  std::string message;
  std::int32_t stopped = 0, files = 0, skipped = 0;
  ZipSize bytes = 0;
  std::vector<std::string> verdicts, tree;
  bool operator==(const Outcome&) const = default;
};

Outcome Extract(const std::string& zip, std::int32_t threads, bool overwrite,
                const std::vector<std::pair<std::string, std::string>>& existing = {}) {
  TempFolder dest;
  for (const auto& [name, bytes] : existing) test::WriteFileBytes(dest.file(name), bytes);
  SetThreadCount(threads);
  Outcome o;
  EXPECT_EQ(OpenArchive(zip), 0) << GetLastMessage();
  o.result = ExtractAll(dest.dir(), "", overwrite, true, false, nullptr);
  o.message = GetLastMessage();
  o.stopped = GetStoppedEntry();
  GetProgress(o.files, o.bytes);
  o.skipped = GetSkippedCount();
  for (std::int32_t i = 0; i < GetEntryCount(); ++i) o.verdicts.push_back(GetEntryStatus(i));
  for (const std::string& f : Tree(dest.path()))
    o.tree.push_back(f.back() == '/' ? f : f + "=" + test::ReadFileBytes(dest.file(f)));
  CloseArchive();
  SetThreadCount(0);
  return o;
}

class ParallelBatchTest : public ::testing::Test {
 protected:
  std::string Archive(const std::vector<Member>& members) {
    const std::string zip = tmp_.file("a.zip");
    test::WriteFileBytes(zip, MakeArchive(members));
    return zip;
  }
  TempFolder tmp_;
};

TEST_F(ParallelBatchTest, AnEntryThatStopsTheBatchPublishesNothingAfterIt) {
  // Entries after the damaged one are small and in folders of their own, so
  // threads decode them long before the damage is met, and a folder made
  // ahead would show.
  std::vector<Member> members;
  for (int i = 0; i < 3; ++i) members.push_back({"a" + std::to_string(i) + ".txt", Filler(300'000, 'a')});
  members.push_back(Damaged("broken.txt"));
  for (int i = 4; i < 10; ++i)
    members.push_back({"later" + std::to_string(i) + "/f.txt", Filler(100 + i, 'k')});
  const std::string zip = Archive(members);
  const Outcome one = Extract(zip, 1, false);
  EXPECT_EQ(one.result, kErrDamaged);
  EXPECT_EQ(one.message, "The structure of ZIP file is damaged!");
  EXPECT_EQ(one.stopped, 3);
  EXPECT_EQ(one.tree.size(), 3u);
  EXPECT_EQ(one.verdicts[2], kStatusOk);
  EXPECT_EQ(one.verdicts[4], "");
  for (const std::int32_t threads : {2, 8}) EXPECT_EQ(Extract(zip, threads, false), one) << threads;
}

TEST_F(ParallelBatchTest, AnExistingFileWinsOverWhatDecodingFound) {
  // Without overwrite the damaged entry's name is taken: one thread never
  // decodes it, several decode it ahead and must come to the same verdict.
  const std::string zip = Archive({{"a.txt", "one"}, Damaged("b.txt"), {"c.txt", "three"}});
  const std::vector<std::pair<std::string, std::string>> existing{{"b.txt", "kept"}};
  const Outcome one = Extract(zip, 1, false, existing);
  EXPECT_EQ(one.result, 0) << one.message;
  EXPECT_EQ(one.verdicts, (std::vector<std::string>{kStatusOk, kStatusFileExists, kStatusOk}));
  EXPECT_EQ(one.skipped, 1);
  EXPECT_EQ(Extract(zip, 8, false, existing), one);
}

TEST_F(ParallelBatchTest, TheSameNameTwiceEndsAsInOrder) {
  const std::string zip = Archive({{"same.txt", "first"}, {"x.txt", "x"}, {"same.txt", "second"}});
  for (const bool overwrite : {false, true}) {
    const Outcome one = Extract(zip, 1, overwrite);
    EXPECT_EQ(one.tree[0], overwrite ? "same.txt=second" : "same.txt=first");
    EXPECT_EQ(one.verdicts[2], overwrite ? kStatusOk : kStatusFileExists);
    for (const std::int32_t threads : {2, 8}) EXPECT_EQ(Extract(zip, threads, overwrite), one);
  }
}

#ifndef _WIN32  // Info-ZIP zip makes the archive
TEST_F(ParallelBatchTest, ALargeZipCryptoEntryDecryptsBesideItsDecoding) {
  // Beyond a megabyte the entry is decrypted on a thread of its own when the
  // batch may use several: the same verdicts and bytes as on one thread,
  // also when a byte of it is damaged.
  std::string text;
  std::uint32_t seed = 12345;
  while (text.size() < 4'000'000) {
    seed = seed * 1103515245u + 12345u;
    text += std::to_string(seed >> 8) + (seed % 7 == 0 ? "\n" : " ");
  }
  test::WriteFileBytes(tmp_.file("big.txt"), text);
  const std::string zip = tmp_.file("crypt.zip");
  ASSERT_EQ(test::RunCommand("cd " + tmp_.path().string() + " && zip -q -P secret crypt.zip big.txt"), 0);
  std::string damaged = test::ReadFileBytes(zip);
  damaged[damaged.size() / 2] = static_cast<char>(damaged[damaged.size() / 2] ^ 0x20);
  test::WriteFileBytes(tmp_.file("damaged.zip"), damaged);
  for (const std::int32_t threads : {1, 2}) {
    SCOPED_TRACE(threads);
    SetThreadCount(threads);
    TempFolder dest;
    ASSERT_EQ(OpenArchive(zip), 0);
    ASSERT_GT(GetEntryPackedSize(0), ZipSize{1} << 20);  // large enough to be decrypted ahead
    EXPECT_EQ(ExtractAll(dest.dir(), "secret", false, true, false, nullptr), 0) << GetLastMessage();
    EXPECT_EQ(GetEntryStatus(0), kStatusOk);
    EXPECT_EQ(test::ReadFileBytes(dest.file("big.txt")), text);
    ASSERT_EQ(OpenArchive(tmp_.file("damaged.zip")), 0);
    EXPECT_EQ(ExtractAll("", "secret", false, true, true, nullptr), 0) << GetLastMessage();
    EXPECT_EQ(GetEntryStatus(0), kStatusBadCrc);
    CloseArchive();
  }
  SetThreadCount(0);
}
#endif

// Read by the batch's threads (a pending file's temporary name mixes it in).
std::atomic<std::uint32_t> g_tick{0};
std::uint32_t EveryLookIsLate() { return g_tick += 1000; }

TEST_F(ParallelBatchTest, CancelStopsAtTheEntryInHandAndLeavesNothingOfTheRest) {
  std::vector<Member> members;
  for (int i = 0; i < 400; ++i) members.push_back({"d" + std::to_string(i % 7) + "/" + std::to_string(i), Filler(5000, 'c')});
  const std::string zip = Archive(members);
  TempFolder dest;
  ASSERT_EQ(OpenArchive(zip), 0);
  SetThreadCount(8);
  platform::SetTickSource(&EveryLookIsLate);
  std::int32_t breakAt = -1;
  const std::int32_t result = ExtractAll(dest.dir(), "", false, true, false, [&breakAt] {
    std::int32_t files = 0;
    ZipSize bytes = 0;
    GetProgress(files, bytes);
    if (files >= 100 && breakAt < 0) {
      breakAt = files;
      RequestBreak();
    }
  });
  platform::SetTickSource(nullptr);
  SetThreadCount(0);
  EXPECT_EQ(result, kErrRead);
  EXPECT_EQ(GetLastMessage(), "User break!");
  const std::int32_t stopped = GetStoppedEntry();
  EXPECT_GE(stopped, breakAt - 1);
  EXPECT_LE(stopped, breakAt);
  // Exactly the entries before the stopped one are there, and nothing else.
  const std::vector<std::string> files = test::ListFiles(dest.path());
  EXPECT_EQ(files.size(), static_cast<std::size_t>(stopped));
  for (std::int32_t i = 0; i < GetEntryCount(); ++i)
    EXPECT_EQ(GetEntryStatus(i), i < stopped ? kStatusOk : "") << i;
  CloseArchive();
}

}  // namespace
}  // namespace vantelo
