#include "format/display_format.h"

#include <cmath>
#include <cstdio>

namespace vantelo {
namespace {

std::string TwoDigits(unsigned value) {
  char text[8];
  std::snprintf(text, sizeof text, "%02u", value);
  return text;
}

}  // namespace

std::string FmtThousands(std::int64_t value) {
  const std::string digits = std::to_string(value);
  const bool negative = value < 0;
  const std::string body = negative ? digits.substr(1) : digits;
  std::string out;
  for (std::size_t i = 0; i < body.size(); ++i) {
    if (i > 0 && (body.size() - i) % 3 == 0) out += ',';
    out += body[i];
  }
  return negative ? "-" + out : out;
}

std::string FmtDate(std::uint16_t dosDate) {
  const unsigned month = (dosDate >> 5) & 0x0F;
  const unsigned day = dosDate & 0x1F;
  const unsigned year = ((dosDate >> 9) & 0x7F) + 1980;
  return TwoDigits(month) + "/" + TwoDigits(day) + "/" + TwoDigits(year % 100);
}

std::string FmtTime(std::uint16_t dosTime) {
  const unsigned hours = (dosTime >> 11) & 0x1F;
  const unsigned minutes = (dosTime >> 5) & 0x3F;
  const unsigned seconds = (dosTime & 0x1F) * 2;
  return TwoDigits(hours) + ":" + TwoDigits(minutes) + ":" + TwoDigits(seconds);
}

std::int64_t RoundHalfEven(double value) { return static_cast<std::int64_t>(std::nearbyint(value)); }

std::string FmtRatio(std::int64_t packed, std::int64_t size) {
  if (size == 0) return "0";
  // In doubles: packed x 100 could overflow 64 bits, and the whole percentage
  // of any two sizes is close enough.
  const double percent = static_cast<double>(packed) * 100.0 / static_cast<double>(size);
  return std::to_string(RoundHalfEven(percent)) + "%";
}

}  // namespace vantelo
