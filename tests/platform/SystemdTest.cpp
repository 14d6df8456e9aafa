#include <gtest/gtest.h>

#include <string>

#include "platform/Systemd.h"

namespace kestrio {
namespace {

// Without the library, or with a library that lacks one of the functions, nothing of it is used:
// the table is refused whole and the reason names what was missing.
TEST(SystemdTest, ATableIsLoadedWholeOrNotAtAll) {
  struct Case {
    const char* soname;
    bool loads;
    const char* reasonNames;
  };
  const Case cases[] = {
      {"libkestrio-no-such-library.so.0", false, "libkestrio-no-such-library.so.0"},
      {"libc.so.6", false, "has no function sd_bus_open_user"},
      {"libsystemd.so.0", true, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.soname);
    std::string why;
    const auto functions = systemd::loadFrom(c.soname, &why);
    EXPECT_EQ(functions != nullptr, c.loads);
    EXPECT_NE(why.find(c.reasonNames), std::string::npos) << why;
    if (functions) {
      EXPECT_NE(functions->sd_journal_sendv, nullptr);
    }
  }
}

}  // namespace
}  // namespace kestrio
