// Runs quillorbane-cli as a child process for the end-to-end tests: stdout on a pipe, stderr on a
// pipe or on a pseudo-terminal (so the progress line shows), with the output read as it comes.
#pragma once

#include <sys/types.h>

#include <functional>
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
    CliProcess(const std::vector<std::string>& args, bool stderrOnTerminal);
    ~CliProcess();
    CliProcess(const CliProcess&) = delete;
    CliProcess& operator=(const CliProcess&) = delete;

    // Reads the child's output until `seen` holds for the stderr read so far (true), or the
    // child has closed its output (false).
    bool WaitForStderr(const std::function<bool(const std::string&)>& seen);
    void SendSignal(int signal);
    // Reads everything to the end and waits for the child.
    CliResult Finish();

  private:
    // One round of reading; false once both outputs are closed.
    bool ReadSome();

    pid_t pid_ = -1;
    int outFd_ = -1;
    int errFd_ = -1;
    CliResult result_;
};

// Runs to the end with stderr on a pipe.
CliResult RunCli(const std::vector<std::string>& args);

// The whole file; "" when it cannot be read.
std::string ReadFile(const std::string& path);

// The load times of a report depend on the machine, everything else does not: the number field
// of every verdict record becomes "#".
std::string MaskLoadTimes(const std::string& report);

}  // namespace quill::cli::testing_support
