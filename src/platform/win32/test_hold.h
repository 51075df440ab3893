#pragma once

#include <string_view>

namespace inst::win32 {

// Where a test holds a run to meet another run in the middle of a write, as the POSIX back end
// does: with INSTALADOR_TEST_HOLD=FILE and INSTALADOR_TEST_HOLD_AT=WHERE or WHERE:NAME, a run
// reaching `where` on a file of that name (any case) makes FILE.held and goes on once FILE is
// gone. Only in a build made for the tests.
void TestHold(const char* where, std::wstring_view target);

}  // namespace inst::win32
