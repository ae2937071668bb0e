#include "lab/lab_runner.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

extern char** environ;

namespace labtest {
namespace {

// Ours without VTXSIM_ and without what extra sets.
std::vector<std::string> Environment(const Env& extra) {
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        std::string entry = *e;
        bool replaced = std::any_of(extra.begin(), extra.end(), [&](const std::string& x) {
            return entry.starts_with(x.substr(0, x.find('=') + 1));
        });
        if (!entry.starts_with("VTXSIM_") && !replaced)
            env.push_back(entry);
    }
    env.insert(env.end(), extra.begin(), extra.end());
    return env;
}

int Spawn(const std::vector<std::string>& args, const Env& extra,
          posix_spawn_file_actions_t* actions) {
    std::vector<std::string> all = {VTXLAB_EXE};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& arg : all)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    std::vector<std::string> env = Environment(extra);
    std::vector<char*> envp;
    for (std::string& entry : env)
        envp.push_back(entry.data());
    envp.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawn(&pid, VTXLAB_EXE, actions, nullptr, argv.data(), envp.data()) != 0)
        throw std::runtime_error("cannot start " VTXLAB_EXE);
    return pid;
}

int WaitFor(int pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

} // namespace

std::string ReadText(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteText(const std::filesystem::path& file, const std::string& text) {
    std::ofstream(file, std::ios::binary | std::ios::trunc) << text;
}

Result Lab(const std::vector<std::string>& args, const Env& env) {
    TempDir capture;
    std::string out = (capture.Path() / "out").string(), err = (capture.Path() / "err").string();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int pid = Spawn(args, env, &actions);
    posix_spawn_file_actions_destroy(&actions);
    Result result;
    result.rc = WaitFor(pid);
    result.out = ReadText(out);
    result.err = ReadText(err);
    return result;
}

Background::Background(const std::vector<std::string>& args, const Env& env) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        throw std::runtime_error("pipe");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 2);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    pid_ = Spawn(args, env, &actions);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    fd_ = pipeFds[0];
}

Background::~Background() {
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        WaitFor(pid_);
    }
    if (fd_ >= 0)
        close(fd_);
}

void Background::Signal(int signal) {
    if (pid_ > 0)
        kill(pid_, signal);
}

bool Background::WaitForLine(const std::string& text) {
    char buffer[512];
    while (seen_.find(text) == std::string::npos) {
        ssize_t got = read(fd_, buffer, sizeof buffer);
        if (got <= 0)
            return false;
        seen_.append(buffer, static_cast<size_t>(got));
    }
    return true;
}

int Background::Wait() {
    char buffer[512];
    while (read(fd_, buffer, sizeof buffer) > 0) {
    }
    int rc = WaitFor(pid_);
    pid_ = -1;
    return rc;
}

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "labtest-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("mkdtemp");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

} // namespace labtest
