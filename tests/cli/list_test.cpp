// vantelo-cli list: the same entries, sizes, dates and times that Python's
// zipfile reads from each fixture (the .list files made by zip-oracle.py).
#include <gtest/gtest.h>

#include "common/test_support.h"
#include "platform/charset.h"

namespace vantelo {
namespace {

using test::BinaryPath;
using test::DataPath;
using test::ReadFileBytes;
using test::RunCommand;

std::string Cli() { return BinaryPath("vantelo-cli"); }

TEST(CliList, MatchesThePythonZipfileListing) {
  for (const char* name : {"zip_comment.zip", "zip_plain.zip", "zip_encrypted.zip",
                           "7zz_deflate.zip", "py_empty.zip", "py_bigcomment.zip", "demo.zip",
                           "extract/bsdtar_dot.zip", "aes/7zz_aes_mixed.zip"}) {
    std::string out;
    EXPECT_EQ(RunCommand(Cli() + " list " + DataPath(name), &out), 0) << name;
    EXPECT_EQ(out, ReadFileBytes(DataPath(std::string(name) + ".list"))) << name;
  }
}

// Names in the code pages of other locales are recognized as they are, with
// no -O: Russian, Chinese and Japanese archives list as Python's zipfile reads
// them in their own code pages.
TEST(CliList, LegacyNamesOfEveryLocaleAreRecognized) {
  if (!platform::HasCodePageDetector())
    GTEST_SKIP() << "no code-page detector in this build (uchardet for Windows could not be built)";
  for (const char* name : {"names/cp866.zip", "names/gbk.zip", "names/cp932.zip"}) {
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

TEST(CliList, NamesAreShownDecodedAndMinusOOverridesTheCodePage) {
  const std::string head = "Name\tDate\tTime\tSize\tRatio\tPacked\tPath\n";
  const std::string cyrillic =
      "[FOLDER]\t01/02/20\t03:04:06\t0\t0\t0\tДокументы/\n"
      "Отчёт за год.txt\t01/02/20\t03:04:06\t54\t100%\t54\tДокументы/\n"
      "Привет мир.doc\t01/02/20\t03:04:06\t32\t100%\t32\t\n"
      "лето.jpg\t01/02/20\t03:04:06\t30\t100%\t30\tФото/\n";
  for (const char* name : {"cp866.zip", "cp1251.zip"}) {
    std::string out;
    // Without a code-page detector the code page is named.
    std::string options;
    if (!platform::HasCodePageDetector())
      options = std::string(" -O ") + std::string(name).substr(0, std::string(name).find('.'));
    EXPECT_EQ(RunCommand(Cli() + " list" + options + " " + DataPath(std::string("names/") + name), &out), 0);
    EXPECT_EQ(out, head + cyrillic) << name;
  }
  // Read as the other Cyrillic code page on request, before or after the archive.
  std::string out;
  EXPECT_EQ(RunCommand(Cli() + " list -O cp1251 " + DataPath("names/cp866.zip"), &out), 0);
  EXPECT_NE(out.find("ЏаЁўҐв ¬Ёа.doc\t"), std::string::npos) << out;
  EXPECT_EQ(RunCommand(Cli() + " list " + DataPath("names/cp1251.zip") + " -O IBM866", &out), 0);
  EXPECT_EQ(out.find("Привет"), std::string::npos) << out;
  EXPECT_EQ(RunCommand(Cli() + " list " + DataPath("names/cp866.zip") + " -O klingon 2>&1", &out),
            64);
  EXPECT_EQ(out.substr(0, out.find('\n')), "vantelo-cli: unknown character set 'klingon'");
}

}  // namespace
}  // namespace vantelo
