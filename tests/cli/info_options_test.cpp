// vantelo-cli --help, -h and --version: usage and version on stdout, exit 0,
// nothing on stderr.
#include <gtest/gtest.h>

#include "common/test_support.h"
#include "engine/engine.h"

namespace vantelo {
namespace {

using test::BinaryPath;
using test::RunCommand;

TEST(CliInfoOptions, HelpAndVersionGoToStdoutAndExitZero) {
  const std::string cli = BinaryPath("vantelo-cli");
  std::string out;
  EXPECT_EQ(RunCommand(cli + " --version 2>&1", &out), 0);
  EXPECT_EQ(out, "vantelo-cli 0.91\n");
  std::string help;
  EXPECT_EQ(RunCommand(cli + " --help 2>/dev/null", &help), 0);
  for (const char* line : {"vantelo-cli list", "vantelo-cli test", "vantelo-cli extract",
                           "vantelo-cli --help | --version", "Exit codes:", "[-t N]", "-t N, --threads N"})
    EXPECT_NE(help.find(line), std::string::npos) << line;
  // The methods this build decodes are named.
  std::string methods;
  for (const std::string& name : GetSupportedMethodNames()) methods += (methods.empty() ? "" : ", ") + name;
  EXPECT_NE(help.find("Methods read: " + methods + ";"), std::string::npos) << help;
  EXPECT_NE(help.find("Stored, Deflate, Deflate64"), std::string::npos);
  EXPECT_EQ(RunCommand(cli + " -h 2>/dev/null", &out), 0);
  EXPECT_EQ(out, help);
  EXPECT_EQ(RunCommand(cli + " --help 2>&1 >/dev/null", &out), 0);
  EXPECT_EQ(out, "");  // nothing on stderr
}

}  // namespace
}  // namespace vantelo
