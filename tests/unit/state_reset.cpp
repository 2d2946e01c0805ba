// Runs reset_all_state before every test (a listener registered when the
// test program starts, before any test runs).
#include "state_reset.h"

#include <gtest/gtest.h>

namespace {

struct reset_before_each_test : ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo &) override { reset_all_state(); }
};

const bool registered = [] {
    ::testing::UnitTest::GetInstance()->listeners().Append(new reset_before_each_test);
    return true;
}();

}  // namespace
