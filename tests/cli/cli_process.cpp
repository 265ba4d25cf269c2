#include "cli/cli_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#ifndef QUILLORBANE_CLI_PATH
#error "QUILLORBANE_CLI_PATH must name the quillorbane-cli binary"
#endif

namespace quill::cli::testing_support {

CliProcess::CliProcess(const std::vector<std::string>& args) {
    static std::atomic<int> serial{0};
    const std::string stem =
        (std::filesystem::temp_directory_path() /
         ("quill-cli-" + std::to_string(::getpid()) + "-" + std::to_string(serial++)))
            .string();
    outPath_ = stem + ".out";
    errPath_ = stem + ".err";
    std::vector<std::string> argvText = {QUILLORBANE_CLI_PATH};
    argvText.insert(argvText.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& arg : argvText) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    posix_spawn_file_actions_addopen(&actions, 2, errPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    const int failed = ::posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (failed != 0) {
        throw std::runtime_error("cannot start quillorbane-cli");
    }
}

CliProcess::~CliProcess() {
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    std::remove(outPath_.c_str());
    std::remove(errPath_.c_str());
}

void CliProcess::SendSignal(int signal) {
    ::kill(pid_, signal);
}

CliResult CliProcess::Finish() {
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), ReadFile(outPath_),
            ReadFile(errPath_)};
}

CliResult RunCli(const std::vector<std::string>& args) {
    return CliProcess(args).Finish();
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace quill::cli::testing_support
