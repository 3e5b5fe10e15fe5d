// vantelo-cli list: the same entries, sizes, dates and times that Python's
// zipfile reads from each fixture (the .list files made by zip-oracle.py).
#include <gtest/gtest.h>

#include "common/test_support.h"

namespace vantelo {
namespace {

using test::BinaryPath;
using test::DataPath;
using test::ReadFileBytes;
using test::RunCommand;

std::string Cli() { return BinaryPath("vantelo-cli"); }

TEST(CliList, MatchesThePythonZipfileListing) {
  for (const char* name : {"zip_comment.zip", "zip_plain.zip", "zip_encrypted.zip",
                           "7zz_deflate.zip", "py_empty.zip", "py_bigcomment.zip", "demo.zip"}) {
    std::string out;
    EXPECT_EQ(RunCommand(Cli() + " list " + DataPath(name), &out), 0) << name;
    EXPECT_EQ(out, ReadFileBytes(DataPath(std::string(name) + ".list"))) << name;
  }
}

TEST(CliList, FailureGoesToStderrWithExitCodeTwo) {
  std::string out;
  EXPECT_EQ(RunCommand(Cli() + " list " + DataPath("bad_notzip.txt") + " 2>&1", &out), 2);
  EXPECT_EQ(out, "ERROR! This is not a ZIP file or the structure of ZIP file is damaged!\n");
  EXPECT_EQ(RunCommand(Cli() + " list " + DataPath("bad_notzip.txt") + " 2>/dev/null", &out), 2);
  EXPECT_EQ(out, "");
}

TEST(CliList, UsageErrorsExitWith64) {
  EXPECT_EQ(RunCommand(Cli() + " 2>/dev/null"), 64);
  EXPECT_EQ(RunCommand(Cli() + " list 2>/dev/null"), 64);
  EXPECT_EQ(RunCommand(Cli() + " list a b 2>/dev/null"), 64);
  EXPECT_EQ(RunCommand(Cli() + " frobnicate x 2>/dev/null"), 64);
  std::string out;
  EXPECT_EQ(RunCommand(Cli() + " --help", &out), 0);
  EXPECT_NE(out.find("vantelo-cli list"), std::string::npos);
}

}  // namespace
}  // namespace vantelo
