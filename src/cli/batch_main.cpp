// quirabel-batch: the designer's jobs without a display.
#include <csignal>
#include <string>
#include <vector>

#include "base/shared_bytes.h"
#include "cli/batch_commands.h"

int main(int argc, char** argv) {
  // A write beyond the file size limit fails with EFBIG and is reported, instead of the signal
  // ending the process.
  std::signal(SIGXFSZ, SIG_IGN);
  // Each run ends soon after it is done with its files: projects are mapped, not copied.
  quirabel::MapFilesInPlace();
  return quirabel::cli::RunGuarded([argc, argv] {
    quirabel::cli::BatchPlatform platform;
    return quirabel::cli::RunBatchCommand({argv + 1, argv + argc}, platform);
  });
}
