#include "tools/lab/report.h"

#include <cstdio>

namespace lab {

void Report::Step(const std::string& title) {
    std::printf("\n%d. %s\n", ++step_, title.c_str());
}

void Report::Show(const std::string& line) {
    std::printf("  %s\n", line.c_str());
}

bool Report::Check(bool holds, const std::string& what) {
    std::printf("  %s %s\n", holds ? "ok  " : "FAIL", what.c_str());
    if (holds)
        passed_++;
    else
        failures_++;
    return holds;
}

int Report::Finish() const {
    std::printf("\nlab: %d passed, %d failed\n", passed_, failures_);
    std::fflush(stdout);
    return failures_ == 0 ? 0 : 1;
}

} // namespace lab
