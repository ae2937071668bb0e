// Runs the vtxlab program as a user would, on temporary machine directories.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace labtest {

struct Result {
    int rc = -1;
    std::string out, err;
};

// "NAME=value" entries added to vtxlab's environment.
using Env = std::vector<std::string>;

// vtxlab with args, VTXSIM_MACHINE unset; waits for it.
Result Lab(const std::vector<std::string>& args, const Env& env = {});

// vtxlab started in the background with its stdout and stderr on one pipe.
class Background {
  public:
    explicit Background(const std::vector<std::string>& args, const Env& env = {});
    ~Background();
    void Signal(int signal);
    // Reads stdout until a line holding text arrives; false at the end of the output.
    bool WaitForLine(const std::string& text);
    int Wait(); // exit code

  private:
    int pid_ = -1;
    int fd_ = -1;
    std::string seen_;
};

// A fresh empty directory, removed with everything in it at the end.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    const std::filesystem::path& Path() const { return path_; }

  private:
    std::filesystem::path path_;
};

std::string ReadText(const std::filesystem::path& file);
void WriteText(const std::filesystem::path& file, const std::string& text);

} // namespace labtest
