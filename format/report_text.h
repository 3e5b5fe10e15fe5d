// The texts a finished batch leaves: the report's lines and totals and the
// summary, one wording for the command line and the desktop program.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vantelo {

// One report line: an entry's folder + name, a space, its status text.
std::string ReportLine(const std::string& path, const std::string& status);
// The block that ends a report: a rule, then processed files, processed
// bytes, skipped files and the elapsed time, numbers grouped by thousands.
std::vector<std::string> ReportTotalLines(std::int32_t files, std::int64_t bytes,
                                          std::int32_t skipped, std::int64_t elapsedMs);
// The summary of a batch: "ERROR! " + message after a failure, otherwise
// "All is Ok!", "There is a skiped file!" or "There are N skiped files!".
std::string BatchSummaryText(std::int32_t error, const std::string& message, std::int32_t skipped);
// The detail shown beside a refused method: "method 98 (PPMd)", or "method 77"
// for a number without a name.
std::string MethodDetailText(std::uint16_t method, const std::string& name);

}  // namespace vantelo
