// Internal to the Windows platform files: what the console control handler
// removes when the process is interrupted.
#pragma once

#include <string>

namespace vantelo::platform::win32 {

// The private temporary folder (with or without a trailing separator).
void RegisterPrivateFolder(const std::string& path);

}  // namespace vantelo::platform::win32
