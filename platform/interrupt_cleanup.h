// Cleaning up when the process is interrupted.
//
// After InstallInterruptCleanup(), an interrupt (Ctrl+C), a termination request
// or a hang-up first removes the hidden temporary names of pending files
// (destination.h) and the private temporary folder (PrivateTempDir) with the
// files in it, then ends the process as the signal would have. A signal the
// process was started ignoring (nohup) stays ignored.
#pragma once

namespace vantelo::platform {

void InstallInterruptCleanup();

}  // namespace vantelo::platform
