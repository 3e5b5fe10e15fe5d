// bzip2, LZMA, XZ and Zstandard entries (decoded by their libraries): hostile
// streams end each entry the way a damaged Deflate stream would, and a build
// without the libraries refuses the methods by name. The good archives are in
// extract_fixtures_test.cpp. Fixtures: tests/data/make-library-method-fixtures.sh.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "common/test_support.h"
#include "engine/engine.h"

namespace vantelo {
namespace {

namespace fs = std::filesystem;
using test::TempFolder;

std::string Fixture(const std::string& name) { return test::DataPath("methods/" + name); }

bool LibraryMethodsBuilt() {
  const auto names = GetSupportedMethodNames();
  return std::find(names.begin(), names.end(), "Zstandard") != names.end();
}

struct Method {
  const char* file;  // hostile_<file>_<case>.zip
  std::uint16_t number;
  const char* name;
};
const Method kMethods[] = {{"bzip2", 12, "bzip2"}, {"lzma", 14, "LZMA"}, {"xz", 95, "XZ"}, {"zstd", 93, "Zstandard"}};

// How each damage ends bad.txt (entry 0), and so whether after.txt (entry 1,
// stored) still runs.
struct Outcome {
  const char* damage;
  std::int32_t error;
  std::string message;  // the error's message; "" when the run goes on
};
std::vector<Outcome> Outcomes(const Method& m) {
  const std::string damaged = "The structure of ZIP file is damaged!";
  // bzip2 has no dictionary: a block size digit out of range is bad data.
  const Outcome bigdict = m.number == 12 ? Outcome{"bigdict", 0, ""}
                                         : Outcome{"bigdict", kErrMethod, "bad.txt needs more memory than is allowed!"};
  return {bigdict,
          {"truncated", kErrDamaged, damaged},
          {"longer", kErrDamaged, damaged},
          {"shorter", 0, ""},
          {"corrupt", 0, ""}};
}

TEST(LibraryMethods, HostileStreamsEndInBadCrcOrAnErrorAndLeaveNothingBehind) {
  if (!LibraryMethodsBuilt()) GTEST_SKIP() << "this build refuses the library methods";
  for (const Method& m : kMethods) {
    for (const Outcome& o : Outcomes(m)) {
      const std::string archive = std::string("hostile_") + m.file + "_" + o.damage + ".zip";
      SCOPED_TRACE(archive);
      ASSERT_EQ(OpenArchive(Fixture(archive)), 0);
      ASSERT_EQ(GetEntryMethod(0), m.number);
      for (bool testOnly : {true, false}) {
        TempFolder dest;
        EXPECT_EQ(ExtractAll(dest.dir(), "", true, true, testOnly, nullptr), o.error);
        if (o.error == 0) {
          // The entry's verdict; the run goes on to the stored entry after it.
          EXPECT_EQ(GetEntryStatus(0), kStatusBadCrc);
          EXPECT_EQ(GetEntryStatus(1), kStatusOk);
          EXPECT_EQ(GetSkippedCount(), 1);
          EXPECT_EQ(GetStoppedEntry(), -1);
        } else {
          EXPECT_EQ(GetLastMessage(), o.message);
          EXPECT_EQ(GetStoppedForMethod(), o.error == kErrMethod);  // the method is named beside it
          EXPECT_EQ(GetEntryStatus(0), "");
          EXPECT_EQ(GetEntryStatus(1), "");
          EXPECT_EQ(GetStoppedEntry(), 0);
        }
        // No pending or partial file of bad.txt, whatever the outcome.
        const auto files = test::ListFiles(dest.path());
        const std::vector<std::string> wanted =
            testOnly || o.error != 0 ? std::vector<std::string>{} : std::vector<std::string>{"after.txt"};
        EXPECT_EQ(files, wanted);
      }
      CloseArchive();
    }
  }
}

// Without the libraries (the Windows build) every library method is refused
// before anything is written, with the method's name for the front ends.
TEST(LibraryMethods, ABuildWithoutTheLibrariesRefusesThemByName) {
  if (LibraryMethodsBuilt()) GTEST_SKIP() << "this build decodes the library methods";
  for (const Method& m : kMethods) {
    const std::string archive = std::string("hostile_") + m.file + "_shorter.zip";
    SCOPED_TRACE(archive);
    ASSERT_EQ(OpenArchive(Fixture(archive)), 0);
    TempFolder dest;
    EXPECT_EQ(ExtractAll(dest.dir(), "", true, true, false, nullptr), kErrMethod);
    EXPECT_EQ(GetLastMessage(), "bad.txt is compressed with not supported old method!");
    EXPECT_EQ(GetStoppedEntry(), 0);
    EXPECT_EQ(GetMethodName(GetEntryMethod(0)), m.name);
    EXPECT_TRUE(fs::is_empty(dest.path()));
    CloseArchive();
  }
}

TEST(LibraryMethods, SupportedNamesFollowTheBuild) {
  const auto names = GetSupportedMethodNames();
  ASSERT_GE(names.size(), 3u);
  EXPECT_EQ(std::vector<std::string>(names.begin(), names.begin() + 3),
            (std::vector<std::string>{"Stored", "Deflate", "Deflate64"}));
  for (const Method& m : kMethods)
    EXPECT_EQ(std::count(names.begin(), names.end(), m.name), LibraryMethodsBuilt() ? 1 : 0) << m.name;
  EXPECT_EQ(std::count(names.begin(), names.end(), "PPMd"), 0);
}

}  // namespace
}  // namespace vantelo
