// Display texts shared by the grid and the command line: grouped numbers,
// MS-DOS dates and times, and the packed-to-size ratio.
#pragma once

#include <cstdint>
#include <string>

namespace vantelo {

// Decimal digits grouped by threes with "," whatever the locale: 1234567 -> "1,234,567".
std::string FmtThousands(std::int64_t value);
// MS-DOS date word as MM/DD/YY; out-of-range fields print as they are.
std::string FmtDate(std::uint16_t dosDate);
// MS-DOS time word as HH:MM:SS on a 24-hour clock.
std::string FmtTime(std::uint16_t dosTime);
// Packed size as a whole percentage of size, ties to even: "33%"; "0" for size 0.
std::string FmtRatio(std::int64_t packed, std::int64_t size);
// Rounds to the nearest integer, ties to the even neighbour.
std::int64_t RoundHalfEven(double value);

}  // namespace vantelo
