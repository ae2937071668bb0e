// The base of the tests that run on the simulated machine.
#pragma once

#include <gtest/gtest.h>

namespace vtxtest {

// Each test starts from a clean machine with no failures injected, and leaves none injected
// behind it. A fixture that sets up more calls MachineTest::SetUp() first.
class MachineTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;
};

} // namespace vtxtest
