// The lab's transcript: numbered steps, what was seen, and checks that count toward the verdict.
#pragma once

#include <string>

namespace lab {

class Report {
  public:
    void Step(const std::string& title);
    void Show(const std::string& line);
    // Records and prints one expectation; false when it did not hold.
    bool Check(bool holds, const std::string& what);
    int Failures() const { return failures_; }
    // Prints "N passed, M failed" and returns the process exit code.
    int Finish() const;

  private:
    int step_ = 0;
    int passed_ = 0;
    int failures_ = 0;
};

} // namespace lab
