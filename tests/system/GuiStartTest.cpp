// kestrio-gui as a whole process, where it cannot show a window.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/Process.h"

namespace kestrio {
namespace {

using testing::ProcessResult;
using testing::runProcess;
using testing::TemporaryDirectory;

// Without a display Qt would abort with advice to reinstall: the user reads one line that says
// what is missing, the exit status is 1, and nothing of the data is touched.
TEST(GuiStartTest, WithoutADisplayItSaysSoInOneLineAndExits) {
  TemporaryDirectory dir;
  const std::string home = dir.path() + "/home";
  const ProcessResult result = runProcess({KESTRIO_GUI_BINARY}, {{"KESTRIO_HOME", home},
                                                                 {"DISPLAY", ""},
                                                                 {"WAYLAND_DISPLAY", ""},
                                                                 {"QT_QPA_PLATFORM", ""},
                                                                 {"TZ", "UTC"},
                                                                 {"LANG", "C"}});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(result.err.rfind("kestrio-gui: no display to show the window on", 0), 0u) << result.err;
  EXPECT_EQ(result.err.find('\n'), result.err.size() - 1) << result.err;
  EXPECT_FALSE(std::filesystem::exists(home));
}

}  // namespace
}  // namespace kestrio
