#include "cli/cli_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <sstream>
#include <stdexcept>

#ifndef QUILLORBANE_CLI_PATH
#error "QUILLORBANE_CLI_PATH must name the quillorbane-cli binary"
#endif

namespace quill::cli::testing_support {

namespace {

// A safety net for a hung child, not a measure of anything: the test fails instead of hanging.
constexpr int kGiveUpMilliseconds = 240 * 1000;

}  // namespace

CliProcess::CliProcess(const std::vector<std::string>& args, bool stderrOnTerminal) {
    int outPipe[2];
    if (::pipe2(outPipe, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe failed");
    }
    int errRead = -1;
    int errWrite = -1;
    std::string terminalName;
    if (stderrOnTerminal) {
        errRead = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (errRead < 0 || ::grantpt(errRead) != 0 || ::unlockpt(errRead) != 0) {
            throw std::runtime_error("no pseudo-terminal");
        }
        terminalName = ::ptsname(errRead);
        // Wide enough that no progress line of these tests is cut.
        winsize size{};
        size.ws_col = 200;
        size.ws_row = 24;
        ::ioctl(errRead, TIOCSWINSZ, &size);
    } else {
        int errPipe[2];
        if (::pipe2(errPipe, O_CLOEXEC) != 0) {
            throw std::runtime_error("pipe failed");
        }
        errRead = errPipe[0];
        errWrite = errPipe[1];
    }

    std::vector<std::string> argvText = {QUILLORBANE_CLI_PATH};
    argvText.insert(argvText.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& arg : argvText) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);

    pid_ = ::fork();
    if (pid_ < 0) {
        throw std::runtime_error("fork failed");
    }
    if (pid_ == 0) {
        // Only async-signal-safe calls between fork and exec.
        const int nullFd = ::open("/dev/null", O_RDONLY);
        if (stderrOnTerminal) {
            errWrite = ::open(terminalName.c_str(), O_RDWR | O_NOCTTY);
        }
        if (nullFd < 0 || errWrite < 0 || ::dup2(nullFd, 0) < 0 || ::dup2(outPipe[1], 1) < 0 ||
            ::dup2(errWrite, 2) < 0) {
            ::_exit(127);
        }
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(outPipe[1]);
    if (errWrite >= 0) {
        ::close(errWrite);
    }
    outFd_ = outPipe[0];
    errFd_ = errRead;
}

CliProcess::~CliProcess() {
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    if (outFd_ >= 0) {
        ::close(outFd_);
    }
    if (errFd_ >= 0) {
        ::close(errFd_);
    }
}

bool CliProcess::ReadSome() {
    pollfd fds[2] = {{outFd_, POLLIN, 0}, {errFd_, POLLIN, 0}};
    const int ready = ::poll(fds, 2, kGiveUpMilliseconds);
    if (ready == 0) {
        throw std::runtime_error("quillorbane-cli produced no output for minutes");
    }
    if (ready < 0) {
        if (errno == EINTR) {
            return true;
        }
        throw std::runtime_error("poll failed");
    }
    std::string* sinks[2] = {&result_.out, &result_.err};
    int* fdsOwned[2] = {&outFd_, &errFd_};
    for (int i = 0; i < 2; ++i) {
        if (fds[i].fd < 0 || fds[i].revents == 0) {
            continue;
        }
        char buffer[4096];
        const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
        if (n > 0) {
            sinks[i]->append(buffer, static_cast<std::size_t>(n));
        } else if (n == 0 || errno != EINTR) {
            // A pseudo-terminal reports the closing of its last writer as EIO.
            ::close(*fdsOwned[i]);
            *fdsOwned[i] = -1;
        }
    }
    return outFd_ >= 0 || errFd_ >= 0;
}

bool CliProcess::WaitForStderr(const std::function<bool(const std::string&)>& seen) {
    while (!seen(result_.err)) {
        if (!ReadSome()) {
            return seen(result_.err);
        }
    }
    return true;
}

void CliProcess::SendSignal(int signal) {
    ::kill(pid_, signal);
}

CliResult CliProcess::Finish() {
    while (ReadSome()) {
    }
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    result_.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result_;
}

CliResult RunCli(const std::vector<std::string>& args) {
    CliProcess process(args, false);
    return process.Finish();
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string MaskLoadTimes(const std::string& report) {
    std::string masked;
    std::size_t lineStart = 0;
    while (lineStart < report.size()) {
        std::size_t lineEnd = report.find('\n', lineStart);
        lineEnd = lineEnd == std::string::npos ? report.size() : lineEnd + 1;
        std::string line = report.substr(lineStart, lineEnd - lineStart);
        for (const char* status : {"\"valid\",", "\"broken\",", "\"skipped\","}) {
            const std::string prefix = status;
            const std::size_t numberEnd = line.find(',', prefix.size());
            if (line.rfind(prefix, 0) == 0 && numberEnd != std::string::npos) {
                line.replace(prefix.size(), numberEnd - prefix.size(), "#");
            }
        }
        masked += line;
        lineStart = lineEnd;
    }
    return masked;
}

}  // namespace quill::cli::testing_support
