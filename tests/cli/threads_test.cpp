// vantelo-cli test / extract with -t 1, 2 and 8 threads: on every fixture
// archive the runs print the same report and summary, end with the same exit
// code and leave the same tree. The CLI runs in this process, so a
// ThreadSanitizer build sees the batch's threads.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "cli/cli.h"
#include "common/test_support.h"
#include "engine/engine.h"

namespace vantelo {
namespace {

namespace fs = std::filesystem;
using test::ReadFileBytes;
using test::TempFolder;

struct Outcome {
  int code = -1;
  std::string out, err;
  std::map<std::string, std::string> tree;  // relative path -> kind, time and contents
};

// Text with what may differ between equal runs taken out: the elapsed time
// line, the destination folder's name, and progress bar drawings (only drawn
// when stderr is a terminal, at most every 200 ms).
std::string Normalized(std::string text, const std::string& dest) {
  for (std::size_t at; !dest.empty() && (at = text.find(dest)) != std::string::npos;)
    text.replace(at, dest.size(), "<dest>");
  for (std::size_t at; (at = text.find('\r')) != std::string::npos;) {
    const std::size_t end = text.find("\x1b[K", at);
    text.erase(at, end == std::string::npos ? 1 : end + 3 - at);
  }
  std::istringstream lines(text);
  std::string kept;
  for (std::string line; std::getline(lines, line);)
    if (line.rfind("Elapsed time: ", 0) != 0) kept += line + "\n";
  return kept;
}

// Every file, folder and link below root: its kind, and for a file its
// modification time and bytes, for a link its target.
std::map<std::string, std::string> Snapshot(const fs::path& folder) {
#ifdef _WIN32
  // The long form, so that names beyond MAX_PATH are reached too.
  const fs::path root(L"\\\\?\\" + fs::absolute(folder).make_preferred().wstring());
#else
  const fs::path& root = folder;
#endif
  std::map<std::string, std::string> tree;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(root, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    const fs::path& p = it->path();
    const std::string name = p.lexically_relative(root).generic_string();
    const fs::file_status st = fs::symlink_status(p);
    if (fs::is_symlink(st)) {
      tree[name] = "link " + fs::read_symlink(p).string();
    } else if (fs::is_directory(st)) {
      tree[name] = "folder";
    } else if (fs::is_regular_file(st)) {
      std::ifstream in(p, std::ios::binary);
      std::ostringstream bytes;
      bytes << in.rdbuf();
      tree[name] = "file " + std::to_string(fs::last_write_time(p).time_since_epoch().count()) + " " +
                   bytes.str();
    } else {
      tree[name] = "other";
    }
  }
  EXPECT_FALSE(ec) << root << ": " << ec.message();
  return tree;
}

Outcome RunCommandLine(const std::vector<std::string>& args, const std::string& dest) {
  std::ostringstream out, err;
  Outcome o;
  o.code = cli::RunCli(args, out, err);
  o.out = Normalized(out.str(), dest);
  o.err = Normalized(err.str(), dest);
  return o;
}

// One archive with the options its runs take.
struct Case {
  std::string archive;
  std::vector<std::string> options;
  std::string label;
};

// The password the fixture's own tests use (the first of several); "" for none.
std::string PasswordOf(const std::string& relative) {
  static const std::map<std::string, std::string> passwords = {
      {"crypt_zip.zip", "Vt7#kQ2m!Zr9$Lp4^Xw1&Nb6*Hc3("},  // the 30-character form: the big entry
      {"crypt_7zz.zip", "Vt7#kQ2m!Zr9$Lp4^Xw1&Nb6*Hc3("},
      {"crypt_zip_pipe.zip", "pipe"},
      {"zip_encrypted.zip", "secret"},
      {"extract/7zz_multipass.zip", "alpha"},
      {"extract/zip_multipass.zip", "alpha"},
      {"extract/7zz_zipcrypto.zip", "delta"},
      {"extract/zip_streamed_encrypted.zip", "gamma"},
      {"extract/aes_7zz.zip", "aes"},
      {"extract/bad_crypt_short.zip", "secret"},
      {"recovery/zip_crypt_stream.zip", "secret"},
      {"aes/7zz_aes256_long.zip", "A password of 42 characters, none cut off!"},
      {"aes/zipjs_aes.zip", "\xC3\x9Cn\xC3\xAF" "c\xC3\xB6" "d\xC3\xA9 p\xC3\xA4ssw\xC3\xB6rd, longer than thirty "
                            "characters \xE2\x9C\x93"},
      {"crypt_writers/zip_cp437.zip", "caf\xC3\xA9"},
  };
  if (const auto it = passwords.find(relative); it != passwords.end()) return it->second;
  if (relative.rfind("aes/", 0) == 0) return "Vantelo-AES";
  if (relative.rfind("crypt_writers/", 0) == 0) return "pass123";
  if (relative == "hostile/crypt_wrong_password.zip")
    return ReadFileBytes(test::DataPath("hostile/crypt_wrong_password.txt"));
  return "";
}

// Every archive below tests/data (and the files there that are not one), each
// run without a password and, when it has one, with it; recovery fixtures also
// cut short and read with --recover. A password is always given so that no
// run asks for one on a terminal.
std::vector<Case> Cases(const TempFolder& scratch) {
  std::vector<Case> cases;
  const fs::path root = test::DataPath("");
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    if (!e.is_regular_file()) continue;
    const std::string relative = e.path().lexically_relative(root).generic_string();
    const std::string ext = e.path().extension().string();
    if (ext != ".zip" && ext != ".bin" && relative != "bad_notzip.txt") continue;
    cases.push_back({e.path().string(), {"-p", ""}, relative});
    const std::string password = PasswordOf(relative);
    if (!password.empty()) cases.push_back({e.path().string(), {"-p", password}, relative + " -p"});
    if (relative.rfind("recovery/", 0) == 0) {
      // Cut inside its last entries: no central directory, the last entry incomplete.
      const std::string bytes = ReadFileBytes(e.path().string());
      const std::string cut = scratch.file(e.path().stem().string() + "_cut.zip");
      test::WriteFileBytes(cut, bytes.substr(0, bytes.size() * 3 / 4));
      cases.push_back({cut, {"--recover", "-p", password}, relative + " cut, --recover"});
    }
  }
  return cases;
}

TEST(CliThreads, EveryFixtureGivesTheSameResultsWithOneTwoAndEightThreads) {
  TempFolder scratch;
  const std::vector<Case> cases = Cases(scratch);
  ASSERT_GT(cases.size(), 150u);  // the fixtures were found
  std::set<int> codes;  // what the one-thread runs ended with, to see the table's reach
  int trees = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    Outcome first[3];
    for (const int threads : {1, 2, 8}) {
      SCOPED_TRACE("-t " + std::to_string(threads));
      std::vector<std::string> options = c.options;
      options.insert(options.end(), {"-t", std::to_string(threads)});

      std::vector<std::string> args = {"test", c.archive};
      args.insert(args.end(), options.begin(), options.end());
      Outcome runs[3];
      runs[0] = RunCommandLine(args, "");

      // Extract into a fresh folder, then again over what that left with -n,
      // where existing files are kept.
      TempFolder dest;
      const std::string destName = dest.path().string();
      args = {"extract", c.archive, "-d", destName};
      args.insert(args.end(), options.begin(), options.end());
      runs[1] = RunCommandLine(args, destName);
      runs[1].tree = Snapshot(dest.path());
      args.push_back("-n");
      runs[2] = RunCommandLine(args, destName);
      runs[2].tree = Snapshot(dest.path());

      for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i == 0 ? "test" : i == 1 ? "extract" : "extract -n");
        EXPECT_EQ(GetThreadCount(), threads);
        if (threads == 1) {
          first[i] = runs[i];
          codes.insert(runs[i].code);
          trees += !runs[i].tree.empty();
          continue;
        }
        EXPECT_EQ(runs[i].code, first[i].code);
        EXPECT_EQ(runs[i].out, first[i].out);
        EXPECT_EQ(runs[i].err, first[i].err);
        EXPECT_TRUE(runs[i].tree == first[i].tree) << "extracted trees differ";
      }
    }
  }
  // Runs that succeed, skip and fail; and most extract something.
  EXPECT_EQ(codes, (std::set<int>{cli::kExitOk, cli::kExitSkipped, cli::kExitError}));
  EXPECT_GT(trees, 200);
}

TEST(CliThreads, ThreadsOptionSetsTheCountAndRefusesWhatIsNotOne) {
  const std::string archive = test::DataPath("zip_plain.zip");
  std::ostringstream out, err;
  // The count reaches the engine; without the option the engine's default.
  EXPECT_EQ(cli::RunCli({"test", archive, "--threads", "3"}, out, err), cli::kExitOk) << err.str();
  EXPECT_EQ(GetThreadCount(), 3);
  EXPECT_EQ(cli::RunCli({"test", "-t", "99999999999999999999999", archive}, out, err), cli::kExitOk);
  EXPECT_EQ(GetThreadCount(), kMaxThreads);
  EXPECT_EQ(cli::RunCli({"test", archive, "-p", ""}, out, err), cli::kExitOk);
  SetThreadCount(0);
  const std::int32_t defaultCount = GetThreadCount();
  EXPECT_EQ(cli::RunCli({"test", archive, "-t", "2"}, out, err), cli::kExitOk);
  EXPECT_EQ(cli::RunCli({"test", archive}, out, err), cli::kExitOk);
  EXPECT_EQ(GetThreadCount(), defaultCount);
  TempFolder dest;
  EXPECT_EQ(cli::RunCli({"extract", archive, "-d", dest.path().string(), "-t", "1"}, out, err), cli::kExitOk);
  EXPECT_EQ(GetThreadCount(), 1);

  const std::pair<std::vector<std::string>, std::string> refused[] = {
      {{"test", archive, "-t", "0"}, "vantelo-cli: option -t needs a number of threads, 1 or more, not '0'\n"},
      {{"test", archive, "--threads", "two"},
       "vantelo-cli: option --threads needs a number of threads, 1 or more, not 'two'\n"},
      {{"extract", archive, "-t", "-1"}, "vantelo-cli: option -t needs a number of threads, 1 or more, not '-1'\n"},
      {{"extract", archive, "-t", "2x"}, "vantelo-cli: option -t needs a number of threads, 1 or more, not '2x'\n"},
      {{"test", archive, "-t", ""}, "vantelo-cli: option -t needs a number of threads, 1 or more, not ''\n"},
      {{"test", archive, "-t"}, "vantelo-cli: option -t needs a value\n"},
  };
  for (const auto& [args, message] : refused) {
    SCOPED_TRACE(args[2] + " " + (args.size() > 3 ? args[3] : ""));
    std::ostringstream o, e;
    EXPECT_EQ(cli::RunCli(args, o, e), cli::kExitUsage);
    EXPECT_EQ(o.str(), "");
    EXPECT_EQ(e.str().substr(0, message.size()), message);
    EXPECT_EQ(e.str().substr(message.size()), cli::UsageText());
  }
}

}  // namespace
}  // namespace vantelo
