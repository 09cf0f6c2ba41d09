// Shared set-up for tests on the headless backend: a fresh backend and a
// freshly initialised library for every test.
#pragma once

#include <gtest/gtest.h>

#include "platform/headless/headless.h"

namespace Kestravon {
namespace testing {

class HeadlessTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
};

}  // namespace testing
}  // namespace Kestravon
