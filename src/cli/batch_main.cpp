// quirabel-batch: the designer's jobs without a display.
#include <csignal>
#include <string>
#include <vector>

#include "cli/batch_commands.h"

int main(int argc, char** argv) {
  // A write beyond the file size limit fails with EFBIG and is reported, instead of the signal
  // ending the process.
  std::signal(SIGXFSZ, SIG_IGN);
  return quirabel::cli::RunGuarded([argc, argv] {
    quirabel::cli::BatchPlatform platform;
    return quirabel::cli::RunBatchCommand({argv + 1, argv + argc}, platform);
  });
}
