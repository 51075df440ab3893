#include <gtest/gtest.h>

#include "platform/code_page.h"

namespace inst {
namespace {

TEST(CodePage, SystemCodePageIsWindows1252) {
  EXPECT_EQ(toAnsi("a\xC3\xA7\xE2\x82\xAC"), "a\xE7\x80");
  EXPECT_EQ(fromAnsi("a\xE7\x80"), "a\xC3\xA7\xE2\x82\xAC");
}

}  // namespace
}  // namespace inst
