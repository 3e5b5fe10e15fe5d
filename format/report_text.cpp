#include "format/report_text.h"

#include "format/display_format.h"

namespace vantelo {

std::string ReportLine(const std::string& path, const std::string& status) {
  return path + " " + status;
}

std::vector<std::string> ReportTotalLines(std::int32_t files, std::int64_t bytes,
                                          std::int32_t skipped, std::int64_t elapsedMs) {
  return {"-----------------------------Total:",
          "Processed files: " + FmtThousands(files),
          "Processed bytes: " + FmtThousands(bytes),
          "Skiped files: " + FmtThousands(skipped),
          "Elapsed time: " + FmtThousands(elapsedMs) + " ms"};
}

std::string BatchSummaryText(std::int32_t error, const std::string& message, std::int32_t skipped) {
  if (error != 0) return "ERROR! " + message;
  if (skipped == 0) return "All is Ok!";
  if (skipped == 1) return "There is a skiped file!";
  return "There are " + std::to_string(skipped) + " skiped files!";
}

std::string MethodDetailText(std::uint16_t method, const std::string& name) {
  std::string text = "method ";
  text += std::to_string(method);
  if (!name.empty()) text += " (" + name + ")";
  return text;
}

}  // namespace vantelo
