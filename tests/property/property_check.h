// Runs a RapidCheck property inside a GoogleTest test: a fixed seed and a bounded number of
// cases, so that every run tries the same values, unless RC_PARAMS is set (to repeat a
// failure, or to try more). A failure reports the shrunk case and the seed that found it.
#pragma once

#include <gtest/gtest.h>
#include <rapidcheck.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <utility>

namespace property {

constexpr std::uint64_t kSeed = 16;

template <typename Testable> void Check(int cases, Testable&& testable) {
    rc::detail::TestParams params = rc::detail::configuration().testParams;
    if (std::getenv("RC_PARAMS") == nullptr) {
        params.seed = kSeed;
        params.maxSuccess = cases;
    }
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    rc::detail::TestMetadata metadata;
    metadata.id = std::string(test->test_suite_name()) + "/" + test->name();
    metadata.description = test->name();
    const rc::detail::TestResult result =
        rc::detail::checkTestable(std::forward<Testable>(testable), metadata, params);
    if (!result.template is<rc::detail::SuccessResult>()) {
        std::ostringstream message;
        rc::detail::printResultMessage(result, message);
        FAIL() << message.str() << "\nseed " << params.seed << ": RC_PARAMS=\"seed=" << params.seed
               << " max_success=" << params.maxSuccess << "\" runs the same cases again";
    }
}

} // namespace property
