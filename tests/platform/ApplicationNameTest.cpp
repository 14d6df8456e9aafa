// Applications named from their cgroup's unit and their desktop entries.
#include <gtest/gtest.h>

#include "platform/ApplicationName.h"
#include "support/CaseNames.h"
#include "support/FakeFileSystem.h"

namespace kestrio {
namespace {

struct NameCase {
  std::string name;
  std::string path;
  ApplicationName expected;
};

constexpr const char* kUser = "/user.slice/user-1000.slice/user@1000.service";

class ApplicationNameTest : public ::testing::TestWithParam<NameCase> {
 protected:
  ApplicationNameTest() {
    files.put("/home/u/.local/share/applications/org.gnome.Maps.desktop",
              "[Desktop Entry]\nName=Maps (mine)\nIcon=maps-mine\n");
    files.put("/usr/share/applications/org.gnome.Maps.desktop",
              "[Desktop Entry]\nName=Maps\nIcon=org.gnome.Maps\n");
    files.put("/usr/share/applications/firefox-esr.desktop",
              "[Desktop Entry]\nName[de]=Feuerfuchs\nNameX=no\nName = Firefox\\sESR\r\n"
              "Icon=firefox-esr\n[Desktop Action new]\nName=New Window\n");
    files.put("/usr/share/applications/org.mozilla.firefox.desktop",
              "[Desktop Action new]\nName=New Window\n[Desktop Entry]\nName=Firefox\n");
    files.put("/usr/share/applications/org.example.Dashed-App.desktop",
              "[Desktop Entry]\nName=Dashed\x1b[31m\n");
    files.put("/usr/share/applications/nameless.desktop", "[Desktop Entry]\nIcon=n\n");
  }
  testing::FakeFileSystem files;
  const std::vector<std::string> directories{"/home/u/.local/share", "/usr/share"};
};

TEST_P(ApplicationNameTest, NamesTheCgroupsApplication) {
  EXPECT_EQ(nameApplication(files, directories, GetParam().path), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Units, ApplicationNameTest,
    ::testing::Values(
        // The user's own desktop entry comes before the system's.
        NameCase{"scope with launcher",
                 std::string(kUser) + "/app.slice/app-gnome-org.gnome.Maps-2841.scope",
                 {"org.gnome.Maps", "Maps (mine)", "maps-mine"}},
        NameCase{"flatpak",
                 std::string(kUser) + "/app.slice/app-flatpak-org.mozilla.firefox-77.scope",
                 {"org.mozilla.firefox", "Firefox", ""}},
        NameCase{"service with random instance",
                 std::string(kUser) + "/app.slice/app-gnome-org.gnome.Maps@a8f0c.service",
                 {"org.gnome.Maps", "Maps (mine)", "maps-mine"}},
        NameCase{"escaped dash",
                 std::string(kUser) + "/app.slice/app-kde-org.example.Dashed\\x2dApp-3.scope",
                 {"org.example.Dashed-App", "Dashed\xef\xbf\xbd[31m", ""}},
        // Unescaped, the dash may be the id's: the desktop entry decides.
        NameCase{"unescaped dash in id",
                 std::string(kUser) + "/app.slice/app-firefox-esr-5.scope",
                 {"firefox-esr", "Firefox ESR", "firefox-esr"}},
        NameCase{"no launcher",
                 std::string(kUser) + "/app.slice/app-nameless-9.scope",
                 {"nameless", "nameless", "n"}},
        NameCase{"no desktop entry",
                 std::string(kUser) + "/app.slice/app-sway-foot-12.scope",
                 {"foot", "foot", ""}},
        NameCase{"a process's own cgroup below its scope",
                 std::string(kUser) + "/app.slice/app-gnome-org.gnome.Maps-2841.scope/worker",
                 {"org.gnome.Maps", "Maps (mine)", "maps-mine"}},
        NameCase{"user service",
                 std::string(kUser) + "/session.slice/pipewire.service",
                 {"pipewire.service", "pipewire.service", ""}},
        NameCase{"system service",
                 "/system.slice/NetworkManager.service",
                 {"NetworkManager.service", "NetworkManager.service", ""}},
        NameCase{"login session",
                 "/user.slice/user-1000.slice/session-3.scope",
                 {"session-3.scope", "session-3.scope", ""}},
        NameCase{"hostile id",
                 std::string(kUser) + "/app.slice/app-x-..\\x2f..\\x2fetc\\x2fpasswd-1.scope",
                 {"app-x-..\\x2f..\\x2fetc\\x2fpasswd-1.scope",
                  "app-x-..\\x2f..\\x2fetc\\x2fpasswd-1.scope", ""}},
        NameCase{"user manager", kUser, {"System", "System", ""}},
        NameCase{
            "manager's own scope", std::string(kUser) + "/init.scope", {"System", "System", ""}},
        NameCase{"slice", std::string(kUser) + "/app.slice", {"System", "System", ""}},
        NameCase{"root", "/", {"System", "System", ""}}),
    testing::NameField{});

}  // namespace
}  // namespace kestrio
