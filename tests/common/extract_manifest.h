// The .expect files beside the extraction fixtures (tests/data/extract/): what
// Python's zipfile extracts from each archive, one line per entry in catalog order.
#pragma once

#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace vantelo::test {

struct ExpectedEntry {
  char kind = 'F';  // 'F' file, 'D' folder, 'X' a method Python's zipfile cannot read
  std::string path;
  std::int64_t size = 0;
  std::uint32_t crc = 0;
  std::string password;  // empty for an unencrypted entry
};

inline std::vector<ExpectedEntry> ReadManifest(const std::string& path) {
  std::vector<ExpectedEntry> entries;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty()) continue;
    std::vector<std::string> fields;
    std::stringstream split(line);
    std::string field;
    while (std::getline(split, field, '\t')) fields.push_back(field);
    if (line.back() == '\t') fields.push_back("");
    ExpectedEntry e;
    e.kind = fields.at(0).at(0);
    e.path = fields.at(1);
    if (e.kind == 'F') {
      e.size = std::stoll(fields.at(2));
      e.crc = static_cast<std::uint32_t>(std::stoul(fields.at(3), nullptr, 16));
      e.password = fields.size() > 4 ? fields[4] : "";
    }
    entries.push_back(e);
  }
  return entries;
}

}  // namespace vantelo::test
