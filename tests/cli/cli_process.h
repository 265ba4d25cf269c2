// Runs quillorbane-cli as a child process for the end-to-end tests; its stdout and stderr go to
// files, read when it has ended.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace quill::cli::testing_support {

struct CliResult {
    int status = -1;  // the exit status; 128 + the signal number for a child killed by a signal
    std::string out;
    std::string err;
};

class CliProcess {
  public:
    explicit CliProcess(const std::vector<std::string>& args);
    ~CliProcess();
    CliProcess(const CliProcess&) = delete;
    CliProcess& operator=(const CliProcess&) = delete;

    void SendSignal(int signal);
    // Waits for the child and reads what it wrote.
    CliResult Finish();

  private:
    pid_t pid_ = -1;
    std::string outPath_;
    std::string errPath_;
};

// Runs to the end.
CliResult RunCli(const std::vector<std::string>& args);

// The whole file; "" when it cannot be read.
std::string ReadFile(const std::string& path);

}  // namespace quill::cli::testing_support
