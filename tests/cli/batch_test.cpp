// vantelo-cli test / extract: the report on stdout, the summary on stderr, the
// exit codes, the options and the entry selection, checked against what
// Python's zipfile extracts from the same fixtures.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <regex>
#include <sstream>

#include "common/extract_manifest.h"
#include "cli/cli.h"
#include "common/test_support.h"
#include "engine/engine.h"
#include "platform/charset.h"
#include "platform/platform.h"

namespace vantelo {
namespace {

namespace fs = std::filesystem;
using test::ReadFileBytes;
using test::RunCommand;
using test::TempFolder;

std::string Cli() { return test::BinaryPath("vantelo-cli"); }
std::string Fixture(const std::string& name) { return test::DataPath("extract/" + name); }
std::string Quote(const std::string& s) { return "'" + s + "'"; }

struct CliRun {
  int code = -1;
  std::string out, err;
};

// Runs the CLI with stdin from /dev/null (so it never asks for a password).
CliRun RunCli(const std::string& args) {
  TempFolder scratch;
  CliRun r;
  r.code = RunCommand(Cli() + " " + args + " </dev/null 2>" + Quote(scratch.file("err")), &r.out);
  r.err = ReadFileBytes(scratch.file("err"));
  return r;
}

// The report's totals block, with the elapsed time left open.
std::string Totals(int files, const std::string& bytes, int skipped) {
  return "-----------------------------Total:\nProcessed files: " + std::to_string(files) +
         "\nProcessed bytes: " + bytes + "\nSkiped files: " + std::to_string(skipped) +
         "\nElapsed time: ";
}

void ExpectEndsWithTotals(const std::string& out, const std::string& totals) {
  const auto at = out.find(totals);
  ASSERT_NE(at, std::string::npos) << out;
  EXPECT_TRUE(std::regex_match(out.substr(at + totals.size()), std::regex("[0-9,]+ ms\n"))) << out;
}

// The report lines of a batch in which every entry ends with status.
std::string ReportLines(const std::vector<test::ExpectedEntry>& entries) {
  std::string lines;
  for (const auto& e : entries) {
    std::string shown = e.path;
    if (e.kind == 'D') shown += "[FOLDER]";
    lines += shown + " Ok.\n";
  }
  return lines;
}

TEST(CliBatch, ExtractAgreesWithPythonZipfileAndPrintsTheReport) {
  const std::vector<std::pair<std::string, std::string>> archives = {
      {"zip_stored.zip", ""},  {"zip_deflate1.zip", ""},        {"zip_deflate9.zip", ""},
      {"zip_streamed.zip", ""}, {"zip_streamed_stored.zip", ""}, {"7zz_deflate.zip", ""},
      {"7zz_store.zip", ""},   {"7zz_zipcrypto.zip", "delta"},  {"bsdtar.zip", ""},
      {"py_mixed.zip", ""},    {"py_streamed.zip", ""},        {"zip64_pipe.zip", ""},
      {"zip64_fz.zip", ""},    {"zip64_py.zip", ""},           {"prefix_1000.zip", ""},
      {"prefix_zip64.zip", ""}, {"7zz_deflate64_far.zip", ""}, {"zip_streamed_encrypted.zip", "gamma"}};
  for (const auto& [name, password] : archives) {
    SCOPED_TRACE(name);
    const std::string archive = name;
    const auto expected = test::ReadManifest(Fixture(name.substr(0, name.size() - 4) + ".expect"));
    TempFolder dest;
    const CliRun r = RunCli("extract " + Fixture(archive) + " -d " + Quote(dest.path().string()) +
                            (password.empty() ? "" : " -p " + password));
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.err, "All is Ok!\n");
    EXPECT_EQ(r.out.substr(0, ReportLines(expected).size()), ReportLines(expected));
    std::vector<std::string> files;
    std::int64_t total = 0;
    for (const auto& e : expected) {
      if (e.kind != 'F') continue;
      files.push_back(e.path);
      total += e.size;
      EXPECT_EQ(static_cast<std::int64_t>(fs::file_size(dest.file(e.path))), e.size) << e.path;
    }
    std::sort(files.begin(), files.end());
    EXPECT_EQ(test::ListFiles(dest.path()), files);
    // Byte for byte what unzip writes to a pipe, for every sizeable entry.
    std::string stored;
    RunCommand("unzip -Z1 " + Fixture(archive), &stored);
    std::istringstream names(stored);
    for (std::string n; std::getline(names, n);) {
      std::string lower = n;
      for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      if (!fs::is_regular_file(dest.file(lower)) || fs::file_size(dest.file(lower)) < 65536) continue;
      std::string viaUnzip;
      RunCommand("unzip -p " + (password.empty() ? "" : "-P " + password + " ") + Fixture(archive) +
                     " " + Quote(n),
                 &viaUnzip);
      EXPECT_TRUE(ReadFileBytes(dest.file(lower)) == viaUnzip) << lower;
    }
    ExpectEndsWithTotals(r.out, Totals(static_cast<int>(expected.size()),
                                       [&] {
                                         std::string s = std::to_string(total), g;
                                         for (std::size_t i = 0; i < s.size(); ++i) {
                                           if (i && (s.size() - i) % 3 == 0) g += ',';
                                           g += s[i];
                                         }
                                         return g;
                                       }(),
                                       0));
  }
}

TEST(CliBatch, TestWritesNothingAndReportsSkippedPasswords) {
  TempFolder cwd;
  // No password and no terminal: every encrypted entry is a bad password.
  CliRun r = RunCli("test " + Fixture("7zz_multipass.zip"));
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err, "There are 4 skiped files!\n");
  EXPECT_EQ(r.out.substr(0, r.out.find("-----")),
            "data/words.txt Skiped! Bad password.\n"
            "docs/readme.txt Skiped! Bad password.\n"
            "docs/sub/long.txt Skiped! Bad password.\n"
            "noext Ok.\n"
            "empty.dat Skiped! Bad password.\n");
  ExpectEndsWithTotals(r.out, Totals(5, "212,459", 4));

  r = RunCli("test -p alpha " + Fixture("7zz_multipass.zip"));
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err, "There is a skiped file!\n");
  EXPECT_NE(r.out.find("docs/sub/long.txt Skiped! Bad password.\n"), std::string::npos);
  EXPECT_NE(r.out.find("data/words.txt Ok.\n"), std::string::npos);
  EXPECT_TRUE(fs::is_empty(cwd.path()));
}

TEST(CliBatch, EntrySelectionIsCaseInsensitiveAndUnknownNamesAreUsageErrors) {
  TempFolder dest;
  CliRun r = RunCli("extract " + Fixture("zip_stored.zip") + " -d " + Quote(dest.path().string()) +
                 " Docs/ReadMe.TXT 'EMPTY DIR/[folder]'");
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out.substr(0, r.out.find("-----")), "docs/readme.txt Ok.\nempty dir/[FOLDER] Ok.\n");
  ExpectEndsWithTotals(r.out, Totals(2, "15", 0));
  EXPECT_EQ(test::ListFiles(dest.path()), std::vector<std::string>{"docs/readme.txt"});
  EXPECT_TRUE(fs::is_directory(dest.path() / "empty dir"));

  // A folder entry by its folder alone; a name given twice selects its entry once.
  r = RunCli("test " + Fixture("zip_stored.zip") + " 'Empty Dir/' docs/readme.txt DOCS/README.TXT");
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out.substr(0, r.out.find("-----")), "docs/readme.txt Ok.\nempty dir/[FOLDER] Ok.\n");

  r = RunCli("extract " + Fixture("zip_stored.zip") + " -d " + Quote(dest.path().string()) +
             " docs/nothing.txt");
  EXPECT_EQ(r.code, 64);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find("no entry 'docs/nothing.txt'"), std::string::npos) << r.err;
}

TEST(CliBatch, KeepAndJunkOptions) {
  TempFolder dest;
  test::WriteFileBytes(dest.file("noext"), "mine\n");
  CliRun r = RunCli("extract -n -j -d " + Quote(dest.path().string()) + " " + Fixture("zip_stored.zip"));
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err, "There is a skiped file!\n");
  EXPECT_NE(r.out.find("noext Skiped! File exists.\n"), std::string::npos);
  EXPECT_EQ(ReadFileBytes(dest.file("noext")), "mine\n");
  EXPECT_EQ(test::ListFiles(dest.path()),
            (std::vector<std::string>{"empty.dat", "long.txt", "noext", "readme.txt"}));
}

TEST(CliBatch, EngineErrorsPrintTheReportAndExitTwo) {
  TempFolder dest;
  CliRun r = RunCli("extract " + Fixture("bad_middle_header.zip") + " -d " + Quote(dest.path().string()));
  EXPECT_EQ(r.code, 2);
  EXPECT_EQ(r.err, "ERROR! The structure of local file header is damaged!\n");
  EXPECT_EQ(r.out.substr(0, r.out.find("-----")), "one.txt Ok.\n");
  ExpectEndsWithTotals(r.out, Totals(1, "80", 0));

  r = RunCli("test " + Fixture("7zz_lzma.zip"));
  const auto names = GetSupportedMethodNames();
  if (std::find(names.begin(), names.end(), "LZMA") != names.end()) {
    // Decoded where the build has liblzma.
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out.substr(0, r.out.find("-----")), test::NativePath("docs/sub/long.txt") + " Ok.\n");
    EXPECT_EQ(r.err, "All is Ok!\n");
    // A window over the limit is refused like a method, and named the same way.
    r = RunCli("test " + test::DataPath("methods/hostile_zstd_bigdict.zip"));
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.err, "ERROR! bad.txt needs more memory than is allowed!\nvantelo-cli: method 93 (Zstandard)\n");
  } else {
    EXPECT_EQ(r.code, 2);
    // The defined message, then the method on a line of its own.
    EXPECT_EQ(r.err, "ERROR! " + test::NativePath("docs/sub/long.txt") +
                         " is compressed with not supported old method!\nvantelo-cli: method 14 (LZMA)\n");
  }

  r = RunCli("test " + Fixture("7zz_ppmd.zip"));
  EXPECT_EQ(r.code, 2);
  EXPECT_EQ(r.err, "ERROR! readme.txt is compressed with not supported old method!\nvantelo-cli: method 98 (PPMd)\n");
  EXPECT_EQ(r.out.substr(0, r.out.find("-----")), "readme.txt \n");

  r = RunCli("test " + test::DataPath("bad_notzip.txt"));
  EXPECT_EQ(r.code, 2);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "ERROR! This is not a ZIP file or the structure of ZIP file is damaged!\n");

  // WinZip AES (method 99) decrypts with the right password; a wrong one
  // skips the entry; a key strength without a cipher is refused as such.
  r = RunCli("test " + Fixture("aes_7zz.zip") + " -p aes");
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out.substr(0, r.out.find("-----")), "small.txt Ok.\n");
  r = RunCli("test " + Fixture("aes_7zz.zip") + " -p AES");
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.out.substr(0, r.out.find("-----")), "small.txt Skiped! Bad password.\n");
  r = RunCli("test " + test::DataPath("aes/zipjs_aes.zip") + " -p " +
             Quote("Ünïcödé pässwörd, longer than thirty characters ✓"));
  EXPECT_EQ(r.code, 0) << r.out << r.err;  // the whole password, as UTF-8
  r = RunCli("test " + test::DataPath("aes/aes_unsupported.zip") + " -p Vantelo-AES");
  EXPECT_EQ(r.code, 2);
  EXPECT_EQ(r.err, "ERROR! no_field.txt is encrypted with a not supported method!\n");

  // A missing destination is made, with every level; one that cannot be made
  // is an error, and an archive that cannot be opened makes nothing.
  r = RunCli("extract " + Fixture("zip_stored.zip") + " -d " + Quote(dest.file("new/deeper")));
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_TRUE(fs::is_regular_file(dest.path() / "new/deeper/docs/readme.txt"));
  r = RunCli("extract " + Fixture("zip_stored.zip") + " -d " + Quote(dest.file("new/deeper/noext/x")));
  EXPECT_EQ(r.code, 2);
  EXPECT_EQ(r.err, "ERROR! Can not create directory " + dest.file("new/deeper/noext/x") +
                       test::NativePath("/") + "\n");
  r = RunCli("extract " + test::DataPath("bad_notzip.txt") + " -d " + Quote(dest.file("other")));
  EXPECT_EQ(r.code, 2);
  EXPECT_FALSE(fs::exists(dest.path() / "other"));
}

TEST(CliBatch, UnsafeNamesAreSkippedAndControlCharactersEscaped) {
  TempFolder outer;
  fs::create_directories(outer.path() / "d");
  CliRun r = RunCli("extract " + Fixture("evil_paths.zip") + " -d " + Quote(outer.file("d")));
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err, "There are 9 skiped files!\n");
  EXPECT_NE(r.out.find("../evil1.txt Skiped! Unsafe path.\n"), std::string::npos);
  EXPECT_EQ(test::ListFiles(outer.path()), (std::vector<std::string>{"d/first.txt", "d/last.txt"}));

  r = RunCli("test " + Fixture("ctl_name.zip"));
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out.substr(0, r.out.find("-----")), "bad\\x1B[31mname\\x07.txt Ok.\n");

  // C1 controls (CSI here) too, UTF-8-encoded or as single bytes; the same
  // bytes inside other characters (U+201C) stay.
  EXPECT_EQ(cli::EscapeControls("a\xC2\x9B" "1m\x9B" "b \xC3\xA9\xE2\x80\x9C"),
            "a\\u009B1m\\x9Bb \xC3\xA9\xE2\x80\x9C");
}

std::string Hostile(const std::string& name) { return test::DataPath("hostile/" + name); }

TEST(CliBatch, NamesTheDestinationCannotHoldAreSkippedAndTheRestExtracted) {
  TempFolder dest;
  const CliRun r = RunCli("extract " + Hostile("unwritable_names.zip") + " -d " + Quote(dest.dir()));
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err, "There are 4 skiped files!\n");
  const std::string fits = std::string(251, 'z') + ".txt";
  EXPECT_EQ(r.out.substr(0, r.out.find("-----")),
            std::string(296, 'x') + ".txt Skiped! Unsafe path.\ngood0.txt Ok.\n" +
                std::string(300, 'y') +
                "/file.txt Skiped! Unsafe path.\ngood1.txt Ok.\n"
                " Skiped! Unsafe path.\ngood2.txt Ok.\n"
                "dir/. Skiped! Unsafe path.\ngood3.txt Ok.\n" + fits + " Ok.\n");
  EXPECT_EQ(test::ListFiles(dest.path()),
            (std::vector<std::string>{"good0.txt", "good1.txt", "good2.txt", "good3.txt", fits}));
}

TEST(CliBatch, LongNamesLongLocalExtraFieldsAndTheLongestCommentAreRead) {
  TempFolder dest;
  CliRun r = RunCli("extract " + Hostile("big_local_extra.zip") + " -d " + Quote(dest.dir()));
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out.substr(0, r.out.find("-----")), "first.txt Ok.\nsecond.txt Ok.\nthird.txt Ok.\n");
  EXPECT_EQ(test::ListFiles(dest.path()),
            (std::vector<std::string>{"first.txt", "second.txt", "third.txt"}));

  // The 700-byte path whole in the listing, the report and on disk.
  std::string folder;
  for (int k = 0; k < 7; ++k) folder += "level" + std::to_string(k) + "-" + std::string(84, 'd') + "/";
  const std::string name = std::string(52, 'f') + ".txt";
  r = RunCli("list " + Hostile("long_path.zip"));
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find(name + "\t"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\t" + folder + "\n"), std::string::npos) << r.out;
  TempFolder deep;
  r = RunCli("extract " + Hostile("long_path.zip") + " -d " + Quote(deep.dir()));
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out.substr(0, r.out.find("-----")), folder + name + " Ok.\nshort.txt Ok.\n");
  EXPECT_EQ(ReadFileBytes(deep.file(folder + name)), "deep down\n");
#ifndef _WIN32  // the directory listing under Wine does not reach a file this deep
  EXPECT_EQ(test::ListFiles(deep.path()), (std::vector<std::string>{folder + name, "short.txt"}));
#endif

  r = RunCli("test " + Hostile("max_comment.zip"));
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out.substr(0, r.out.find("-----")), "commented.txt Ok.\n");
}

TEST(CliBatch, NamesThatAreHtmlAreReportedAsTheyAre) {
  const std::string heading =
      "<h1>heading<img src=\"x.png\"><a href=\"https:&#47;&#47;example.invalid\">click here to repair.txt";
  const CliRun r = RunCli("test " + Hostile("html_names.zip"));
  EXPECT_EQ(r.code, 2);
  EXPECT_EQ(r.out.substr(0, r.out.find("-----")),
            heading + " Ok.\n<b>bad crc<img src=\"&#47;dev&#47;zero\">.txt BAD CRC!\n"
                      "<h1>old method<img src=\"x.png\">.txt \n");
  EXPECT_EQ(r.err, "ERROR! <h1>old method<img src=\"x.png\">.txt is compressed with not supported old method!\n"
                   "vantelo-cli: method 6 (Implode)\n");
  if (platform::kWindowsNameRules) return;  // "<", ">", '"' and ":" are not for Windows names
  TempFolder dest;
  RunCli("extract " + Hostile("html_names.zip") + " -d " + Quote(dest.dir()));
  EXPECT_EQ(test::ListFiles(dest.path()), std::vector<std::string>{heading});
}

// Paths beyond ASCII reach the program and come back in its messages intact
// (on Windows they travel as UTF-16 and are UTF-8 inside).
// ZipCrypto with data descriptors as zip -e, zipcloak and bsdtar write it
// (tests/data/make-crypt-writers-fixtures.sh): every entry "Ok." and every
// file what unzip extracts; a wrong password skips; strong encryption is an
// error that names no method.
TEST(CliBatch, ZipCryptoFromEveryWriterExtractsWhatUnzipExtracts) {
  auto writer = [](const std::string& name) { return test::DataPath("crypt_writers/" + name); };
  for (const std::string name : {"zip_e", "zip_e_pipe", "zipcloak", "bsdtar_zipcrypt"}) {
    SCOPED_TRACE(name);
    const auto expected = test::ReadManifest(writer(name + ".expect"));
    TempFolder dest;
    CliRun r = RunCli("extract " + writer(name + ".zip") + " -p pass123 -d " + Quote(dest.path().string()));
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.err, "All is Ok!\n");
    EXPECT_EQ(r.out.substr(0, ReportLines(expected).size()), ReportLines(expected));
    for (const auto& e : expected) {
      if (e.kind != 'F') continue;
      std::string viaUnzip;
      if (RunCommand("unzip -p -P pass123 " + writer(name + ".zip") + " " + Quote(e.path == "-" ? "-" : e.path),
                     &viaUnzip) != 0)
        continue;  // no unzip here (Windows)
      EXPECT_TRUE(ReadFileBytes(dest.file(e.path)) == viaUnzip) << e.path;
    }
    r = RunCli("test " + writer(name + ".zip") + " -p wrong");
    EXPECT_EQ(r.code, 1);
    for (const auto& e : expected)
      if (e.kind == 'F' && !e.password.empty())
        EXPECT_NE(r.out.find(e.path + " Skiped! Bad password.\n"), std::string::npos) << e.path;
  }
  CliRun r = RunCli("test " + writer("zip_cp437.zip") + " -p " + Quote("caf\xC3\xA9"));
  EXPECT_EQ(r.code, 0) << r.out;
  EXPECT_EQ(r.err, "All is Ok!\n");

  r = RunCli("test " + writer("strong_extra.zip") + " -p pass123");
  EXPECT_EQ(r.code, 2);
  EXPECT_EQ(r.err, "ERROR! " + test::NativePath("docs/sub/random.bin") + " is encrypted with a not supported method!\n");
}

TEST(CliBatch, DestinationNamedBeyondAscii) {
  TempFolder outer;
  const fs::path dest = outer.path() / fs::path(u8"Zielordner-äöü-日本");
  fs::create_directory(dest);
  const std::u8string utf8 = dest.u8string();
  const std::string destText(utf8.begin(), utf8.end());
  CliRun r = RunCli("extract " + Fixture("zip_stored.zip") + " -d " + Quote(destText));
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(test::ListFiles(dest), (std::vector<std::string>{"docs/readme.txt", "docs/sub/long.txt",
                                                             "empty.dat", "noext"}));
  test::WriteFileBytes(outer.file("in the way"), "");
  const std::string blocked = destText + test::NativePath("/noext/x");
  r = RunCli("extract " + Fixture("zip_stored.zip") + " -d " + Quote(blocked));
  EXPECT_EQ(r.code, 2);
  EXPECT_EQ(r.err, "ERROR! Can not create directory " + blocked + test::NativePath("/") + "\n");
}

TEST(CliBatch, UsageErrors) {
  for (const std::string& args : std::vector<std::string>{"test", "extract", "test -d /tmp " + Fixture("zip_stored.zip"),
                                 "test -n " + Fixture("zip_stored.zip"),
                                 "extract " + Fixture("zip_stored.zip") + " -p",
                                 "extract -x " + Fixture("zip_stored.zip")}) {
    const CliRun r = RunCli(args);
    EXPECT_EQ(r.code, 64) << args;
    EXPECT_EQ(r.out, "") << args;
    EXPECT_NE(r.err.find("usage:"), std::string::npos) << args;
  }
}

// Without a code-page detector (a Windows build without uchardet) the code
// page of legacy names is named.
const bool kNoDetector = !platform::HasCodePageDetector();

TEST(CliBatch, DecodedNamesAgreeInTheReportAndOnDisk) {
  struct Case {
    const char* file;
    const char* options;
    std::vector<std::string> report;  // entry lines, without " Ok."
    std::vector<std::string> files;
  };
  const std::string kanji50 = [] {
    std::string k;
    for (int i = 0; i < 50; ++i) k += "表";
    return k;
  }();
  const std::string longFolder = kanji50 + "/" + kanji50 + "/" + kanji50 + "/" + kanji50 + "/";
  const std::vector<Case> cases = {
      {"cp932.zip", kNoDetector ? "-O cp932" : "",
       {"フォルダ/[FOLDER]", "フォルダ/表.txt", "日本語のファイル名.txt", "写真/夏休み.jpg"},
       {"フォルダ/表.txt", "写真/夏休み.jpg", "日本語のファイル名.txt"}},
      {"unicode_field.zip", "",
       {"Übersicht/[FOLDER]", "Übersicht/größe und maße.txt", "grüße.doc", "Äpfel und Öl.txt",
        "Документы/[FOLDER]", "Документы/Отчёт за год.txt", "Привет мир.doc", "Фото/лето.jpg",
        "フォルダ/[FOLDER]", "フォルダ/表.txt", "日本語のファイル名.txt", "写真/夏休み.jpg",
        "stale.txt"},
       {"grüße.doc", "stale.txt", "Äpfel und Öl.txt", "Übersicht/größe und maße.txt",
        "Документы/Отчёт за год.txt", "Привет мир.doc", "Фото/лето.jpg", "フォルダ/表.txt",
        "写真/夏休み.jpg", "日本語のファイル名.txt"}},
      {"cp437.zip", "-O cp850",
       {"Übersicht/[FOLDER]", "Übersicht/größe und maße.txt", "grüße.doc", "Äpfel und Öl.txt",
        "╔═box═╗.txt", "üÄ.txt"},
       {"grüße.doc", "Äpfel und Öl.txt", "Übersicht/größe und maße.txt", "üÄ.txt",
        "╔═box═╗.txt"}},
      // Never raw bytes in a file name.
      {"bad_utf8.zip", "", {"bad%ff%fe.txt", "good.txt"}, {"bad%ff%fe.txt", "good.txt"}},
      // Decoded, the path is longer than the 511 bytes a stored name may have.
      {"long_cp932.zip", kNoDetector ? "-O cp932" : "", {longFolder + kanji50 + "!"}, {longFolder + kanji50 + "!"}},
  };
  for (const Case& c : cases) {
    TempFolder dest;
    const CliRun r = RunCli("extract " + test::DataPath(std::string("names/") + c.file) + " " +
                            c.options + " -d " + Quote(dest.dir()));
    EXPECT_EQ(r.code, 0) << c.file << "\n" << r.err;
    std::string lines;
    for (const std::string& entry : c.report) lines += entry + " Ok.\n";
    EXPECT_EQ(r.out.substr(0, r.out.find("-----")), lines) << c.file;
    std::vector<std::string> files = c.files;
    std::sort(files.begin(), files.end());
    EXPECT_EQ(test::ListFiles(dest.path()), files) << c.file;
  }
  // Entries are selected by their decoded names (ASCII letters in any case).
  TempFolder dest;
  const CliRun r = RunCli("extract " + test::DataPath("names/cp866.zip") + (kNoDetector ? " -O cp866" : "") +
                          " -d " + Quote(dest.dir()) + " 'Документы/Отчёт за год.TXT'");
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(test::ListFiles(dest.path()), std::vector<std::string>{"Документы/Отчёт за год.txt"});
}

}  // namespace
}  // namespace vantelo

namespace vantelo {
namespace {

// --recover on an archive cut off inside its last entry (of six, each with a
// data descriptor): list, test and extract work on the six entries found, the
// complete ones as usual; the cut one is "BAD CRC!" and never written. Without
// the option the defined error stands; on an intact archive the option
// changes nothing.
TEST(CliBatch, RecoverWorksOnTheEntriesOfACutArchive) {
  TempFolder dir;
  std::string bytes = ReadFileBytes(test::DataPath("recovery/zip_stream.zip"));
  bytes.resize(7000);  // inside last.txt
  const std::string cut = dir.file("cut.zip");
  test::WriteFileBytes(cut, bytes);
  const std::string notZip = "ERROR! This is not a ZIP file or the structure of ZIP file is damaged!\n";
  const std::string recovered = notZip + "vantelo-cli: recovered: 6 entries read from the start of the archive\n";

  CliRun r = RunCli("list " + Quote(cut));
  EXPECT_EQ(r.code, 2);
  EXPECT_EQ(r.err, notZip);
  r = RunCli("list " + Quote(cut) + " --recover");
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err, recovered);
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 7) << r.out;
  EXPECT_NE(r.out.find("\nlast.txt\t"), std::string::npos) << r.out;

  r = RunCli("test --recover " + Quote(cut));
  EXPECT_EQ(r.code, 1);
  // The report shows the names as stored.
  EXPECT_EQ(r.out.substr(0, r.out.find("-----")),
            "docs/readme.txt Ok.\ndocs/sub/long.txt Ok.\nnoise.bin Ok.\nempty.dat Ok.\n"
            "docs/notes.txt Ok.\nlast.txt BAD CRC!\n");

  r = RunCli("extract " + Quote(cut) + " --recover -d " + Quote(dir.file("out")));
  EXPECT_EQ(r.code, 1) << r.err;
  EXPECT_EQ(test::ListFiles(dir.path() / "out"),
            (std::vector<std::string>{"docs/notes.txt", "docs/readme.txt", "docs/sub/long.txt", "empty.dat",
                                      "noise.bin"}));
  EXPECT_EQ(ReadFileBytes(dir.file("out/noise.bin")).size(), 3000u);

  r = RunCli("test --recover " + test::DataPath("recovery/zip_stream.zip"));
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.err, "All is Ok!\n");
  r = RunCli("list --recover " + test::DataPath("bad_notzip.txt"));
  EXPECT_EQ(r.code, 2);
  EXPECT_EQ(r.err, "ERROR! This is not a ZIP file or the structure of ZIP file is damaged!\n"
                   "ERROR! Nothing recovered: no entry of a ZIP file was found in " +
                       test::DataPath("bad_notzip.txt") + " !\n");
  r = RunCli("--help");
  EXPECT_NE(r.out.find("--recover"), std::string::npos);
}

}  // namespace
}  // namespace vantelo
