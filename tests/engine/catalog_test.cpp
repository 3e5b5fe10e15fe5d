// Opening archives: the end record search, the central directory walk, the
// state after success and after every kind of failure.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <stdexcept>

#include "common/test_support.h"
#include "engine/engine.h"
#include "engine/engine_state.h"

namespace vantelo {
namespace {

using test::DataPath;

struct Opened {
  std::int32_t result;
  std::int32_t error;
  std::string message;
};

Opened Open(const std::string& path) {
  const std::int32_t result = OpenArchive(path);
  return {result, Engine().ErrorNo, GetLastMessage()};
}

std::size_t OpenDescriptorCount() {
  std::size_t n = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator("/proc/self/fd")) ++n;
  return n;
}

class CatalogTest : public ::testing::Test {
 protected:
  void TearDown() override { CloseArchive(); }
};

TEST_F(CatalogTest, ArchiveWithoutCommentIsFoundByTheFastPath) {
  const Opened o = Open(DataPath("zip_plain.zip"));
  ASSERT_EQ(o.result, 0) << o.message;
  EXPECT_EQ(Engine().EndRecordOffset, Engine().ArchiveSize - 22);
  EXPECT_EQ(GetEntryCount(), 6);
}

TEST_F(CatalogTest, ArchiveWithCommentIsFoundByTheBackwardScan) {
  ASSERT_EQ(OpenArchive(DataPath("zip_comment.zip")), 0) << GetLastMessage();
  EXPECT_LT(Engine().EndRecordOffset, Engine().ArchiveSize - 22);
  EXPECT_EQ(GetEntryCount(), 12);

  ASSERT_EQ(OpenArchive(DataPath("py_bigcomment.zip")), 0) << GetLastMessage();
  EXPECT_EQ(Engine().EndRecordOffset, Engine().ArchiveSize - 22 - 65000);
  ASSERT_EQ(GetEntryCount(), 1);
  EXPECT_EQ(GetEntryName(0), "note.txt");
}

TEST_F(CatalogTest, EntriesAreSplitLowerCasedAndCarryTheirFields) {
  ASSERT_EQ(OpenArchive(DataPath("zip_comment.zip")), 0);
  // Catalog order as zip wrote it.
  EXPECT_EQ(GetEntryFolder(0), "docs/");
  EXPECT_EQ(GetEntryName(0), "[FOLDER]");
  EXPECT_EQ(GetEntryExt(0), "");
  EXPECT_EQ(GetEntryFolder(3), "docs/");
  EXPECT_EQ(GetEntryName(3), "readme.txt");
  EXPECT_EQ(GetEntryExt(3), "txt");
  EXPECT_EQ(GetEntrySize(3), 15);
  EXPECT_EQ(GetEntryName(6), "[FOLDER]");  // Photos.old/
  EXPECT_EQ(GetEntryExt(6), "");
  EXPECT_EQ(GetEntryName(9), "lib.tar.gz");
  EXPECT_EQ(GetEntryExt(9), "tar.gz");
  EXPECT_EQ(GetEntryName(11), ".profile");
  EXPECT_EQ(GetEntryExt(11), "profile");
  // 1998-02-05 09:05:06 as MS-DOS words.
  EXPECT_EQ(GetEntryDate(3), (18 << 9) | (2 << 5) | 5);
  EXPECT_EQ(GetEntryTime(3), (9 << 11) | (5 << 5) | 3);
  std::int32_t total = 0;
  for (std::int32_t i = 0; i < GetEntryCount(); ++i) {
    EXPECT_EQ(GetEntryStatus(i), "");
    EXPECT_FALSE(GetEntrySelected(i));
    EXPECT_FALSE(GetEntryEncrypted(i));
    total += GetEntrySize(i);
  }
  EXPECT_EQ(GetTotalSize(), total);
}

TEST_F(CatalogTest, EncryptedFlagComesFromBitZero) {
  ASSERT_EQ(OpenArchive(DataPath("zip_encrypted.zip")), 0);
  ASSERT_EQ(GetEntryCount(), 3);
  EXPECT_TRUE(GetEntryEncrypted(0));
  EXPECT_TRUE(GetEntryEncrypted(1));
  EXPECT_FALSE(GetEntryEncrypted(2));
}

TEST_F(CatalogTest, EmptyArchiveOpensWithNoEntries) {
  ASSERT_EQ(OpenArchive(DataPath("py_empty.zip")), 0);
  EXPECT_EQ(GetEntryCount(), 0);
  EXPECT_EQ(GetTotalSize(), 0);
  EXPECT_EQ(GetSelectedCount(), 0);
}

TEST_F(CatalogTest, SplitEntryNameFollowsTheLastSeparatorAndTheFirstDot) {
  struct Case {
    const char* stored;
    const char* folder;
    const char* name;
    const char* ext;
  };
  const Case cases[] = {
      {"Docs/ReadMe.TXT", "docs/", "readme.txt", "txt"},
      {"src/lib.tar.gz", "src/", "lib.tar.gz", "tar.gz"},
      {"Photos/", "photos/", "[FOLDER]", ""},
      {"Photos.old/", "photos.old/", "[FOLDER]", ""},
      {".profile", "", ".profile", "profile"},
      {"A/B/", "a/b/", "[FOLDER]", ""},
      {"a/b/c.TXT", "a/b/", "c.txt", "txt"},
      {"NoExt", "", "noext", ""},
      {"win\\Dir\\File.Doc", "win\\dir\\", "file.doc", "doc"},
      {"", "", "", ""},
      {"\xC4Z.TXT", "", "\xC4z.txt", "txt"},  // only ASCII letters change case
  };
  for (const Case& c : cases) {
    std::string folder, name, ext;
    SplitEntryName(c.stored, folder, name, ext);
    EXPECT_EQ(folder, c.folder) << c.stored;
    EXPECT_EQ(name, c.name) << c.stored;
    EXPECT_EQ(ext, c.ext) << c.stored;
  }
}

TEST_F(CatalogTest, FilesThatAreNotArchivesGiveErrorOne) {
  for (const char* name : {"bad_notzip.txt", "bad_tiny3.bin", "bad_short21.bin",
                           "bad_no_end_record.zip"}) {
    const Opened o = Open(DataPath(name));
    EXPECT_EQ(o.result, kOpenFailed) << name;
    EXPECT_EQ(o.error, 1) << name;
    EXPECT_EQ(o.message, "This is not a ZIP file or the structure of ZIP file is damaged!");
    EXPECT_EQ(Engine().ArchiveHandle, platform::kNoFile);
  }
}

TEST_F(CatalogTest, MissingFileGivesErrorFour) {
  const std::string path = DataPath("no-such-archive.zip");
  const Opened o = Open(path);
  EXPECT_EQ(o.result, kOpenFailed);
  EXPECT_EQ(o.error, 4);
  EXPECT_EQ(o.message, "Can not open file " + path + " !");
}

TEST_F(CatalogTest, FailureBeforeTheEndRecordKeepsThePreviousEntries) {
  ASSERT_EQ(OpenArchive(DataPath("zip_plain.zip")), 0);
  EXPECT_EQ(OpenArchive(DataPath("bad_short21.bin")), kOpenFailed);
  EXPECT_EQ(GetEntryCount(), 6);  // the list of the archive open before
  EXPECT_EQ(Engine().ArchiveName, DataPath("bad_short21.bin"));
  EXPECT_EQ(Engine().ArchiveHandle, platform::kNoFile);
}

TEST_F(CatalogTest, DamagedCentralDirectoryEmptiesTheList) {
  struct Case {
    const char* file;
    std::int32_t error;
    std::string message;
  };
  const Case cases[] = {
      {"bad_central_signature.zip", 1, "The structure of central directory is damaged!"},
      {"bad_cd_offset.zip", 3, "Error reading from file " + DataPath("bad_cd_offset.zip") + " !"},
      {"bad_name_past_end.zip", 1,
       "Error reading from file " + DataPath("bad_name_past_end.zip") + "!"},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(OpenArchive(DataPath("zip_plain.zip")), 0);
    const Opened o = Open(DataPath(c.file));
    EXPECT_EQ(o.result, kOpenFailed) << c.file;
    EXPECT_EQ(o.error, c.error) << c.file;
    EXPECT_EQ(o.message, c.message) << c.file;
    EXPECT_EQ(GetEntryCount(), 0) << c.file;
    EXPECT_EQ(Engine().ArchiveHandle, platform::kNoFile);
  }
}

TEST_F(CatalogTest, NamesUpTo511BytesOpenAndLongerOnesAreRefused) {
  ASSERT_EQ(OpenArchive(DataPath("name_511.zip")), 0);
  EXPECT_EQ(GetEntryName(0).size(), 511u);
  const Opened o = Open(DataPath("bad_long_name.zip"));
  EXPECT_EQ(o.result, kOpenFailed);
  EXPECT_EQ(o.error, 1);
  EXPECT_NE(o.message.find("longer than 511 bytes"), std::string::npos) << o.message;
  EXPECT_EQ(GetEntryCount(), 0);
}

TEST_F(CatalogTest, ArchivesOf2GiBOrMoreAreRefused) {
  test::TempFolder tmp;
  const std::string path = tmp.file("huge.zip");
  // A sparse file: 2 GiB of nothing, then a valid empty end record.
  std::string end = std::string("PK\x05\x06", 4) + std::string(18, '\0');
  {
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(fseeko(f, 0x80000000LL, SEEK_SET), 0);
    std::fwrite(end.data(), 1, end.size(), f);
    std::fclose(f);
  }
  const Opened o = Open(path);
  EXPECT_EQ(o.result, kOpenFailed);
  EXPECT_EQ(o.error, 4);
  EXPECT_NE(o.message.find("2 GB"), std::string::npos) << o.message;
}

TEST_F(CatalogTest, SecondArchiveReplacesTheFirst) {
  ASSERT_EQ(OpenArchive(DataPath("zip_comment.zip")), 0);
  const auto openFiles = OpenDescriptorCount();
  SetEntrySelected(0, true);
  ASSERT_EQ(OpenArchive(DataPath("zip_encrypted.zip")), 0);
  EXPECT_EQ(GetEntryCount(), 3);
  EXPECT_EQ(GetSelectedCount(), 0);
  EXPECT_EQ(GetTotalSize(), GetEntrySize(0) + GetEntrySize(1) + GetEntrySize(2));
  EXPECT_EQ(OpenDescriptorCount(), openFiles);  // the first archive's file was closed
}

}  // namespace
}  // namespace vantelo
