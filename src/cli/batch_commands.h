#pragma once

#include <functional>
#include <string>
#include <vector>

#include "cli/batch_platform.h"

namespace quirabel::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;  // the reason is on standard error
inline constexpr int kExitUsage = 2;   // a wrong call; the usage text is on standard error

// Runs one call of quirabel-batch (the arguments after the program name) with the given platform
// and gives the exit code. Failures the designer knows are reported through the platform; anything
// else is thrown, for RunGuarded.
int RunBatchCommand(const std::vector<std::string>& args, BatchPlatform& platform);

// The batch tool's one boundary: runs the command and gives its exit code, or kExitFailed after a
// "quirabel-batch: ..." line on standard error for any exception it throws or for standard output
// that could not be written.
int RunGuarded(const std::function<int()>& command);

}  // namespace quirabel::cli
