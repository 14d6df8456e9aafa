#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <set>
#include <sstream>

#include "platform/InstanceSocket.h"
#include "platform/LinkTable.h"
#include "platform/LinuxPlatform.h"
#include "support/AbstractSquatter.h"

namespace kestrio {
namespace {

// Sets (or, with nullptr, unsets) one variable of the environment for the scope, then puts the
// old value back, so no test sees another's environment.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value != nullptr) {
      ::setenv(name, value, 1);
    } else {
      ::unsetenv(name);
    }
  }
  ~ScopedEnv() {
    if (old_) {
      ::setenv(name_, old_->c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};

class LinuxPlatformTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* base = std::getenv("TMPDIR");
    root = std::string(base != nullptr && *base != '\0' ? base : "/tmp") +
           "/kestrio-platform-test-XXXXXX";
    ASSERT_NE(::mkdtemp(root.data()), nullptr) << std::strerror(errno);
    env.documentsDirectory = root + "/data/kestrio";
    env.zoneId = "Europe/Berlin";
    env.localeId = "en_US";
    env.paths.procNetDev = root + "/net_dev";
    env.paths.sysClassNet = root + "/sys/class/net";
    env.paths.procStat = root + "/stat";
    env.paths.bootId = root + "/boot_id";
  }
  void TearDown() override {
    if (!root.empty()) {
      std::error_code ignored;
      std::filesystem::permissions(root + "/locked", std::filesystem::perms::owner_all, ignored);
      std::filesystem::remove_all(root);
    }
  }

  // Writes a file beside the real one and renames it into place, as a test script would.
  void put(const std::string& path, const std::string& content) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    {
      std::ofstream out(path + ".new", std::ios::binary);
      out << content;
    }
    std::filesystem::rename(path + ".new", path);
  }
  void makeDir(const std::string& path) { std::filesystem::create_directories(path); }
  std::string net(const std::string& name) { return env.paths.sysClassNet + "/" + name; }

  std::unique_ptr<LinuxPlatform> create() {
    std::string error;
    auto platform = LinuxPlatform::create(env, &error);
    EXPECT_NE(platform, nullptr) << error;
    return platform;
  }

  std::string root;
  LinuxEnvironment env;
};

std::string counterTable(std::uint64_t ethReceived) {
  return "Inter-|   Receive                                                |  Transmit\n"
         " face |bytes    packets errs drop fifo frame compressed multicast|bytes    packets "
         "errs drop fifo colls carrier compressed\n"
         "    lo: 900 9 0 0 0 0 0 0 900 9 0 0 0 0 0 0\n"
         "  eth0: " +
         std::to_string(ethReceived) +
         " 10 0 0 0 0 0 0 2000 20 0 0 0 0 0 0\n"
         " wlan0: 3000 30 0 0 0 0 0 0 4000 40 0 0 0 0 0 0\n"
         " wwan0: 5000000000 50 0 0 0 0 0 0 6000000000 60 0 0 0 0 0 0\n"
         " loop1: 7 1 0 0 0 0 0 0 7 1 0 0 0 0 0 0\n"
         "docker0: 8 1 0 0 0 0 0 0 8 1 0 0 0 0 0 0\n";
}

// ---- the documents directory ----

TEST_F(LinuxPlatformTest, CreateMakesThePrivateDataDirectoryAndLeavesParentsAlone) {
  ASSERT_EQ(::chmod(root.c_str(), 0755), 0);
  auto platform = create();
  ASSERT_NE(platform, nullptr);
  EXPECT_EQ(platform->documentsDirectory(), root + "/data/kestrio");
  EXPECT_EQ(platform->documentPath("defaults.plist"), root + "/data/kestrio/defaults.plist");

  struct stat info {};
  ASSERT_EQ(::stat((root + "/data/kestrio").c_str(), &info), 0);
  EXPECT_TRUE(S_ISDIR(info.st_mode));
  EXPECT_EQ(info.st_mode & 0777, 0700u);
  ASSERT_EQ(::stat((root + "/data").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0700u);
  ASSERT_EQ(::stat(root.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0755u);

  // The files and the lock work in it; a second start finds the directory as it is.
  EXPECT_TRUE(platform->files().writeAtomically(platform->documentPath("x"), "y"));
  EXPECT_NE(platform->lockDocuments(), nullptr);
  EXPECT_NE(create(), nullptr);
}

TEST_F(LinuxPlatformTest, CreateRefusesWhatCannotHoldTheData) {
  std::string error;
  put(root + "/file", "not a directory");

  env.documentsDirectory = root + "/file";
  EXPECT_EQ(LinuxPlatform::create(env, &error), nullptr);
  EXPECT_NE(error.find(root + "/file"), std::string::npos) << error;
  EXPECT_NE(error.find("not a directory"), std::string::npos) << error;

  error.clear();
  env.documentsDirectory = root + "/file/kestrio";
  EXPECT_EQ(LinuxPlatform::create(env, &error), nullptr);
  EXPECT_EQ(error,
            "cannot create data directory " + root + "/file/kestrio: " + std::strerror(ENOTDIR));

  error.clear();
  env.documentsDirectory = "";
  EXPECT_EQ(LinuxPlatform::create(env, &error), nullptr);
  EXPECT_FALSE(error.empty());
}

TEST_F(LinuxPlatformTest, CreateRefusesAnUnwritableDirectory) {
  if (::geteuid() == 0) GTEST_SKIP() << "permissions do not stop the superuser";
  makeDir(root + "/locked");
  ASSERT_EQ(::chmod((root + "/locked").c_str(), 0500), 0);
  std::string error;

  env.documentsDirectory = root + "/locked";
  EXPECT_EQ(LinuxPlatform::create(env, &error), nullptr);
  EXPECT_NE(error.find("not writable"), std::string::npos) << error;

  env.documentsDirectory = root + "/locked/kestrio";
  EXPECT_EQ(LinuxPlatform::create(env, &error), nullptr);
  EXPECT_EQ(error,
            "cannot create data directory " + root + "/locked/kestrio: " + std::strerror(EACCES));
}

// ---- counters and interfaces ----

TEST_F(LinuxPlatformTest, CountersComeFromTheFileAndLoopbackFromSysfs) {
  put(env.paths.procNetDev, counterTable(1000));
  put(net("lo") + "/flags", "0x9\n");
  put(net("eth0") + "/flags", "0x1003\n");
  put(net("wlan0") + "/flags", "0x1003\n");
  put(net("loop1") + "/flags", "0x49\n");  // a second loopback device under another name
  auto platform = create();
  ASSERT_NE(platform, nullptr);

  auto counters = platform->readInterfaceCounters();
  ASSERT_TRUE(counters.has_value());
  ASSERT_EQ(counters->size(), 6u);
  EXPECT_EQ((*counters)[0].name, "lo");
  EXPECT_TRUE((*counters)[0].loopback);
  EXPECT_EQ((*counters)[1].name, "eth0");
  EXPECT_EQ((*counters)[1].received, 1000u);
  EXPECT_FALSE((*counters)[1].loopback);
  EXPECT_EQ((*counters)[3].received, 5000000000u);
  EXPECT_EQ((*counters)[3].sent, 6000000000u);
  EXPECT_EQ((*counters)[4].name, "loop1");
  EXPECT_TRUE((*counters)[4].loopback);
  EXPECT_FALSE((*counters)[5].loopback);  // docker0: no sysfs entry, not named lo

  // Every call reads the file afresh.
  put(env.paths.procNetDev, counterTable(123456789012));
  counters = platform->readInterfaceCounters();
  ASSERT_TRUE(counters.has_value());
  EXPECT_EQ((*counters)[1].received, 123456789012u);
}

// This machine's own links: the table read over netlink names the same interfaces as
// /proc/net/dev, each with its index, and the loopback with its flag.
TEST_F(LinuxPlatformTest, TheKernelsLinkTableAgreesWithProcNetDev) {
  auto links = readLinkTable();
  ASSERT_TRUE(links.has_value());
  std::ifstream in("/proc/net/dev");
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  auto listed = parseProcNetDev(text);
  ASSERT_TRUE(listed.has_value());
  std::set<std::string> fromNetlink, fromProc;
  bool loopback = false;
  for (const auto& link : *links) {
    fromNetlink.insert(link.name);
    EXPECT_NE(link.index, 0u) << link.name;
    loopback = loopback || (link.name == "lo" && link.loopback);
  }
  for (const auto& c : *listed) fromProc.insert(c.name);
  EXPECT_EQ(fromNetlink, fromProc);
  EXPECT_TRUE(loopback);

  // The scripted file names its indexes; nothing of this machine's is added to it.
  put(env.paths.procNetDev,
      "Inter-|\n face |\nwwan0@12: 1 0 0 0 0 0 0 0 2 0 0 0 0 0 0 0\n"
      "eth0: 1 0 0 0 0 0 0 0 2 0 0 0 0 0 0 0\n");
  put(net("eth0") + "/ifindex", "4\n");
  auto platform = create();
  ASSERT_NE(platform, nullptr);
  auto scripted = platform->readInterfaceCounters();
  ASSERT_TRUE(scripted.has_value());
  ASSERT_EQ(scripted->size(), 2u);
  EXPECT_EQ((*scripted)[0].index, 12u);
  EXPECT_EQ((*scripted)[1].index, 0u);
}

TEST_F(LinuxPlatformTest, UnreadableCountersAnswerNothing) {
  auto platform = create();
  ASSERT_NE(platform, nullptr);
  EXPECT_FALSE(platform->readInterfaceCounters().has_value());
  put(env.paths.procNetDev, "btime 1767225600\n");
  EXPECT_FALSE(platform->readInterfaceCounters().has_value());
}

// A table of more interfaces than Kestrio reads is refused, with a reason naming the file and
// the limit (100,000 interfaces took every pass seconds); one at the limit is read whole.
TEST_F(LinuxPlatformTest, ATableBeyondTheInterfaceLimitIsRefusedNamingItAndTheLimit) {
  auto platform = create();
  ASSERT_NE(platform, nullptr);
  for (const std::size_t count : {kMaxInterfaces, kMaxInterfaces + 1}) {
    std::string table = counterTable(1).substr(0, counterTable(1).find("    lo:"));
    for (std::size_t i = 0; i < count; ++i) {
      table += "veth" + std::to_string(i) + ": 1 1 0 0 0 0 0 0 1 1 0 0 0 0 0 0\n";
    }
    put(env.paths.procNetDev, table);
    const auto reading = platform->readInterfaceCounters();
    if (count == kMaxInterfaces) {
      ASSERT_TRUE(reading.has_value());
      EXPECT_EQ(reading->size(), kMaxInterfaces);
      EXPECT_EQ(platform->interfaceCountersFailure(), "");
    } else {
      EXPECT_FALSE(reading.has_value());
      EXPECT_EQ(platform->interfaceCountersFailure(),
                "the interface table " + env.paths.procNetDev +
                    " lists 4097 interfaces, more than the 4096 Kestrio reads");
    }
  }
}

TEST_F(LinuxPlatformTest, InterfacesAreClassifiedFromSysfsOnce) {
  put(net("lo") + "/flags", "0x9\n");
  put(net("eth0") + "/flags", "0x1003\n");
  makeDir(net("eth0") + "/device");
  put(net("wlan0") + "/uevent", "DEVTYPE=wlan\nINTERFACE=wlan0\nIFINDEX=3\n");
  makeDir(net("wlan0") + "/device");
  put(net("wlp1s0") + "/flags", "0x1003\n");
  makeDir(net("wlp1s0") + "/phy80211");
  put(net("wwan0") + "/uevent", "INTERFACE=wwan0\nDEVTYPE=wwan\n");
  put(net("docker0") + "/uevent", "DEVTYPE=bridge\nINTERFACE=docker0\n");
  put(net("veth12ab") + "/flags", "0x1003\n");  // no device: a virtual link
  put(net("enp9s0") + "/flags", "0x1003\n");    // an Ethernet name, yet no device either
  auto platform = create();
  ASSERT_NE(platform, nullptr);

  EXPECT_EQ(platform->interfaceKind("lo"), InterfaceKind::Neither);
  EXPECT_EQ(platform->interfaceKind("eth0"), InterfaceKind::Wifi);
  EXPECT_EQ(platform->interfaceKind("wlan0"), InterfaceKind::Wifi);
  EXPECT_EQ(platform->interfaceKind("wlp1s0"), InterfaceKind::Wifi);
  EXPECT_EQ(platform->interfaceKind("wwan0"), InterfaceKind::Cellular);
  EXPECT_EQ(platform->interfaceKind("docker0"), InterfaceKind::Neither);
  EXPECT_EQ(platform->interfaceKind("veth12ab"), InterfaceKind::Neither);
  EXPECT_EQ(platform->interfaceKind("enp9s0"), InterfaceKind::Neither);
  // Unknown to sysfs: by name.
  EXPECT_EQ(platform->interfaceKind("wlan7"), InterfaceKind::Wifi);
  EXPECT_EQ(platform->interfaceKind("rmnet_data0"), InterfaceKind::Cellular);
  // A name that would leave the sysfs directory is not followed there.
  makeDir(root + "/sys/class/escape/device");
  EXPECT_EQ(platform->interfaceKind("../escape"), InterfaceKind::Neither);

  // Classified once: what sysfs says later does not change the answer within the process.
  std::filesystem::remove_all(net("eth0") + "/device");
  EXPECT_EQ(platform->interfaceKind("eth0"), InterfaceKind::Wifi);
  auto fresh = create();
  ASSERT_NE(fresh, nullptr);
  EXPECT_EQ(fresh->interfaceKind("eth0"), InterfaceKind::Neither);
}

// ---- boot and log ----

TEST_F(LinuxPlatformTest, BootInstantAndIdentity) {
  auto platform = create();
  ASSERT_NE(platform, nullptr);
  EXPECT_EQ(platform->bootInstant(), -1);
  EXPECT_EQ(platform->bootId(), "");

  put(env.paths.procStat,
      "cpu  10 20 30 40\ncpu0 1 2 3 4\nintr 5 6\nctxt 7\nbtime 1767225600\nprocesses 8\n");
  put(env.paths.bootId, "  0b1c2d3e-4f50-6172-8394-a5b6c7d8e9f0 \nsecond line\n");
  EXPECT_EQ(platform->bootInstant(), 1767225600);
  EXPECT_EQ(platform->bootId(), "0b1c2d3e-4f50-6172-8394-a5b6c7d8e9f0");

  put(env.paths.procStat, "cpu 1 2\nbtime soon\n");
  EXPECT_EQ(platform->bootInstant(), -1);
  put(env.paths.procStat, "cpu 1 2\n");
  EXPECT_EQ(platform->bootInstant(), -1);
}

TEST_F(LinuxPlatformTest, VerboseLogWritesOneWholeLineToStandardError) {
  auto quiet = create();
  env.verbose = true;
  auto platform = create();
  ASSERT_NE(platform, nullptr);
  ASSERT_NE(quiet, nullptr);
  const std::string capture = root + "/stderr";
  int file = ::open(capture.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  ASSERT_GE(file, 0);
  int saved = ::dup(STDERR_FILENO);
  ASSERT_GE(saved, 0);
  ASSERT_EQ(::dup2(file, STDERR_FILENO), STDERR_FILENO);
  quiet->log("only in the system log");
  platform->log("Writing data to file failed\nsecond half");
  platform->log("");
  platform->log("counter \x1b]0;owned\x07 \xff");
  ::dup2(saved, STDERR_FILENO);
  ::close(saved);
  ::close(file);

  std::ifstream in(capture);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_EQ(text.str(),
            "kestrio: Writing data to file failed second half\nkestrio: \n"
            "kestrio: counter \xEF\xBF\xBD]0;owned\xEF\xBF\xBD \xEF\xBF\xBD\n");
}

TEST_F(LinuxPlatformTest, ADirectoryOthersCanReadIsMadePrivateWithAWarning) {
  const std::string directory = root + "/data/kestrio";
  makeDir(directory);
  ASSERT_EQ(::chmod(directory.c_str(), 0775), 0);
  const std::string capture = root + "/stderr";
  int file = ::open(capture.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  ASSERT_GE(file, 0);
  int saved = ::dup(STDERR_FILENO);
  ASSERT_EQ(::dup2(file, STDERR_FILENO), STDERR_FILENO);
  auto platform = create();
  auto again = create();  // a private directory is not worth a word
  ::dup2(saved, STDERR_FILENO);
  ::close(saved);
  ::close(file);

  ASSERT_NE(platform, nullptr);
  struct stat info {};
  ASSERT_EQ(::stat(directory.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0700u);
  std::ifstream in(capture);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_EQ(text.str(), "kestrio: warning: data directory " + directory +
                            " (mode 0775) could be read and written by other users; it is now "
                            "private (mode 0700)\n");
}

// ---- settings from the environment ----

TEST_F(LinuxPlatformTest, DocumentsDirectoryFromTheEnvironment) {
  ScopedEnv home("HOME", "/home/tester");
  {
    ScopedEnv kestrio("KESTRIO_HOME", "/srv/kestrio/");
    ScopedEnv xdg("XDG_DATA_HOME", "/home/tester/.data");
    EXPECT_EQ(LinuxEnvironment::fromProcessEnvironment().documentsDirectory, "/srv/kestrio");
  }
  {
    ScopedEnv kestrio("KESTRIO_HOME", "relative/dir");
    char cwd[4096];
    ASSERT_NE(::getcwd(cwd, sizeof cwd), nullptr);
    EXPECT_EQ(LinuxEnvironment::fromProcessEnvironment().documentsDirectory,
              std::string(cwd) + "/relative/dir");
  }
  ScopedEnv kestrio("KESTRIO_HOME", "");
  {
    ScopedEnv xdg("XDG_DATA_HOME", "/home/tester/.data");
    EXPECT_EQ(LinuxEnvironment::fromProcessEnvironment().documentsDirectory,
              "/home/tester/.data/kestrio");
  }
  {
    ScopedEnv xdg("XDG_DATA_HOME", "not/absolute");
    EXPECT_EQ(LinuxEnvironment::fromProcessEnvironment().documentsDirectory,
              "/home/tester/.local/share/kestrio");
  }
  ScopedEnv xdg("XDG_DATA_HOME", nullptr);
  EXPECT_EQ(LinuxEnvironment::fromProcessEnvironment().documentsDirectory,
            "/home/tester/.local/share/kestrio");
}

TEST_F(LinuxPlatformTest, CountersFileFromTheEnvironment) {
  {
    ScopedEnv counters("KESTRIO_COUNTERS", nullptr);
    EXPECT_EQ(LinuxEnvironment::fromProcessEnvironment().paths.procNetDev, "/proc/net/dev");
  }
  ScopedEnv counters("KESTRIO_COUNTERS", "/run/test/counters");
  LinuxEnvironment fromEnv = LinuxEnvironment::fromProcessEnvironment();
  EXPECT_EQ(fromEnv.paths.procNetDev, "/run/test/counters");
  EXPECT_EQ(fromEnv.paths.procStat, "/proc/stat");
}

TEST_F(LinuxPlatformTest, ZoneFromTZWhenItNamesAZone) {
  std::string systemZone;
  {
    ScopedEnv tz("TZ", nullptr);
    systemZone = LinuxEnvironment::fromProcessEnvironment().zoneId;
  }
  EXPECT_FALSE(systemZone.empty());
  struct Case {
    const char* tz;
    std::string expected;
  };
  for (const Case& c :
       {Case{"Europe/Berlin", "Europe/Berlin"}, Case{":America/New_York", "America/New_York"},
        Case{"/usr/share/zoneinfo/Asia/Tokyo", "Asia/Tokyo"},
        Case{":/usr/share/zoneinfo/posix/Australia/Sydney", "Australia/Sydney"}, Case{"UTC", "UTC"},
        // Rule strings and nonsense are no zone ICU can follow: the system's.
        Case{"CET-1CEST", systemZone}, Case{"Not/AZone", systemZone}, Case{"", systemZone},
        Case{":", systemZone}}) {
    ScopedEnv tz("TZ", c.tz);
    EXPECT_EQ(LinuxEnvironment::fromProcessEnvironment().zoneId, c.expected) << "TZ=" << c.tz;
  }
}

TEST_F(LinuxPlatformTest, LocaleFromTheFirstVariableSet) {
  struct Case {
    const char* all;
    const char* time;
    const char* lang;
    const char* expected;
  };
  for (const Case& c :
       {Case{nullptr, nullptr, "de_DE.UTF-8", "de_DE"},
        Case{nullptr, "fr_FR.UTF-8", "de_DE.UTF-8", "fr_FR"},
        Case{"en_GB.utf8", "fr_FR.UTF-8", "de_DE.UTF-8", "en_GB"},
        Case{"", "", "nl_NL@euro", "nl_NL"}, Case{nullptr, nullptr, "C.UTF-8", "en_US_POSIX"},
        Case{"POSIX", nullptr, "de_DE", "en_US_POSIX"}, Case{nullptr, nullptr, "C", "en_US_POSIX"},
        Case{nullptr, nullptr, nullptr, "en_US_POSIX"}}) {
    ScopedEnv all("LC_ALL", c.all);
    ScopedEnv time("LC_TIME", c.time);
    ScopedEnv lang("LANG", c.lang);
    EXPECT_EQ(LinuxEnvironment::fromProcessEnvironment().localeId, c.expected)
        << "LC_ALL=" << (c.all ? c.all : "(unset)") << " LC_TIME=" << (c.time ? c.time : "(unset)")
        << " LANG=" << (c.lang ? c.lang : "(unset)");
  }
}

TEST_F(LinuxPlatformTest, AutostartEntriesLiveInTheUsersConfigDirectory) {
  struct Case {
    const char* xdg;
    const char* expected;
  };
  ScopedEnv home("HOME", "/home/ada");
  for (const Case& c : {Case{"/srv/cfg/", "/srv/cfg"}, Case{"relative", "/home/ada/.config"},
                        Case{"", "/home/ada/.config"}, Case{nullptr, "/home/ada/.config"}}) {
    ScopedEnv xdg("XDG_CONFIG_HOME", c.xdg);
    EXPECT_EQ(LinuxEnvironment::fromProcessEnvironment().configDirectory, c.expected)
        << "XDG_CONFIG_HOME=" << (c.xdg ? c.xdg : "(unset)");
  }
}

TEST_F(LinuxPlatformTest, TheAutostartEntryIsAddedReadAndRemoved) {
  env.configDirectory = root + "/config";  // missing, as on a fresh account
  std::string error;
  auto platform = LinuxPlatform::create(env, &error);
  ASSERT_TRUE(platform) << error;
  Autostart* autostart = platform->autostart();
  ASSERT_NE(autostart, nullptr);
  const std::string path = root + "/config/autostart/" KESTRIO_APP_ID ".desktop";
  EXPECT_FALSE(autostart->enabled());

  ASSERT_TRUE(autostart->setEnabled(true, error)) << error;
  std::ifstream in(path);
  const std::string entry((std::istreambuf_iterator<char>(in)), {});
  EXPECT_NE(entry.find("\nExec="), std::string::npos) << entry;
  EXPECT_NE(entry.find("kestrio-gui --tray\n"), std::string::npos) << entry;
  EXPECT_NE(entry.find("\nIcon=" KESTRIO_APP_ID "\n"), std::string::npos) << entry;
  EXPECT_TRUE(autostart->enabled());

  // The desktop's session settings switch an entry off without removing it.
  put(path, "[Desktop Entry]\nType=Application\nExec=kestrio-gui --tray\nHidden=true\n");
  EXPECT_FALSE(autostart->enabled());

  ASSERT_TRUE(autostart->setEnabled(false, error)) << error;
  EXPECT_FALSE(std::filesystem::exists(path));
  EXPECT_TRUE(autostart->setEnabled(false, error)) << "removing a missing entry is no failure";
}

TEST_F(LinuxPlatformTest, AnAutostartEntryThatCannotBeWrittenIsReported) {
  // A file where the autostart directory belongs.
  env.configDirectory = root + "/config";
  put(root + "/config/autostart", "not a directory");
  std::string error;
  auto platform = LinuxPlatform::create(env, &error);
  ASSERT_TRUE(platform) << error;
  EXPECT_FALSE(platform->autostart()->setEnabled(true, error));
  EXPECT_NE(error.find("cannot create " + root + "/config/autostart"), std::string::npos) << error;
  EXPECT_FALSE(platform->autostart()->enabled());
}

// The settings schema is read beside the program's own layout or from the configured directory,
// never from a share/ that someone planted further up, above a copy of the program.
TEST_F(LinuxPlatformTest, TheSchemaIsReadOnlyFromTheProgramsLayoutOrTheConfiguredDirectory) {
  auto bundle = [&](const std::string& share) {
    put(root + "/" + share + "/InAppSettings.bundle/Root.plist", "<plist/>");
    return std::filesystem::canonical(root + "/" + share).string();
  };
  const std::string planted = bundle("world/share/kestrio");
  const std::string installed = bundle("usr/share/kestrio");
  const std::string built = bundle("build/src/share/kestrio");
  const std::string builtForBenchmarks = bundle("build/share/kestrio");
  const std::string configured = bundle("configured");
  struct Case {
    const char* layout;
    std::string program;
    std::string configured;
    std::string expected;
  };
  const Case cases[] = {
      {"installed", root + "/usr/bin", configured, installed},
      {"build tree's programs", root + "/build/src/cli", configured, built},
      {"build tree's benchmarks", root + "/build/bench", configured, builtForBenchmarks},
      {"copy two levels below a planted share", root + "/world/a/b", configured, configured},
      {"copy three levels below a planted share", root + "/world/a/b/c", configured, configured},
      {"copy below a planted share, nothing configured", root + "/world/a/b", "", ""},
      {"program's directory unknown", "", configured, configured},
  };
  for (const Case& c : cases) {
    if (!c.program.empty()) makeDir(c.program);
    const std::string found = findResourceDirectory(c.program, c.configured);
    EXPECT_EQ(found, c.expected) << c.layout;
    EXPECT_NE(found, planted) << c.layout;
  }
}

TEST(DesktopExecArgumentTest, QuotesAndEscapesWhatTheExecKeyReserves) {
  struct Case {
    const char* program;
    const char* expected;  // nullptr: refused
  };
  for (const Case& c : {Case{"/usr/bin/kestrio-gui", "/usr/bin/kestrio-gui"},
                        Case{"/home/a b/kestrio-gui", "\"/home/a b/kestrio-gui\""},
                        Case{"/opt/100%/kestrio-gui", "/opt/100%%/kestrio-gui"},
                        Case{"/opt/$x/k", "\"/opt/\\\\$x/k\""},
                        Case{"/opt/say \"hi\"/k", "\"/opt/say \\\\\"hi\\\\\"/k\""},
                        Case{"/opt/back\\slash/k", "\"/opt/back\\\\\\\\slash/k\""},
                        Case{"/opt/line\nbreak/k", nullptr}}) {
    std::string argument;
    const bool accepted = desktopExecArgument(c.program, argument);
    EXPECT_EQ(accepted, c.expected != nullptr) << c.program;
    if (accepted && c.expected) {
      EXPECT_EQ(argument, c.expected) << c.program;
    }
  }
}

}  // namespace
}  // namespace kestrio

namespace kestrio {
namespace {

// ---- one daemon and one window per data directory, which no other user can keep from starting

// A peer's answer counts only when it runs as the same user; one whose credentials cannot be read
// does not count either.
TEST(InstancePeerTest, OnlyAnAnswerFromTheSameUserIsBelieved) {
  struct Case {
    const char* peer;
    std::optional<uid_t> peerUid;
    uid_t self;
    bool believed;
  };
  for (const Case& c :
       {Case{"the same user", 1000, 1000, true}, Case{"another user", 1001, 1000, false},
        Case{"the superuser, asked by a user", 0, 1000, false},
        Case{"a user, asked by the superuser", 1000, 0, false},
        Case{"credentials unknown", std::nullopt, 1000, false}}) {
    EXPECT_EQ(believablePeer(c.peerUid, c.self), c.believed) << c.peer;
  }
  // What the kernel tells of a connected socket's peer, and of a descriptor that is none.
  int pair[2];
  ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair), 0);
  EXPECT_EQ(peerUser(pair[0]), std::optional<uid_t>(::geteuid()));
  ::close(pair[0]);
  ::close(pair[1]);
  int pipeEnds[2];
  ASSERT_EQ(::pipe2(pipeEnds, O_CLOEXEC), 0);
  EXPECT_EQ(peerUser(pipeEnds[0]), std::nullopt);
  ::close(pipeEnds[0]);
  ::close(pipeEnds[1]);
}

// The sockets live in $XDG_RUNTIME_DIR only when nobody but the user can enter it.
TEST_F(LinuxPlatformTest, InstanceSocketsLiveOnlyWhereNobodyElseCanEnter) {
  const std::string data = root + "/data";
  auto directory = [&](const std::string& name, mode_t mode) {
    makeDir(root + "/" + name);
    ::chmod((root + "/" + name).c_str(), mode);
    return root + "/" + name;
  };
  const std::string own = directory("own", 0700);
  put(root + "/file", "");
  struct Case {
    const char* runtime;
    std::string path;
    uid_t user;
    std::string expected;
  };
  const Case cases[] = {
      {"private, the user's own", own, ::geteuid(), own},
      {"unset", "", ::geteuid(), data},
      {"relative", "own", ::geteuid(), data},
      {"missing", root + "/missing", ::geteuid(), data},
      {"a file", root + "/file", ::geteuid(), data},
      {"open to others", directory("open", 0755), ::geteuid(), data},
      {"open to the group", directory("group", 0770), ::geteuid(), data},
      {"another user's", own, ::geteuid() + 1, data},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(instanceDirectory(c.path, data, c.user), c.expected) << c.runtime;
  }
}

// Someone holding the old abstract name neither keeps the daemon from starting nor makes a
// window believe a daemon runs (which would switch its place recording off).
TEST_F(LinuxPlatformTest, ASquatterOnTheAbstractNameNeitherBlocksNorFakesTheDaemon) {
  env.runtimeDirectory = root + "/run";
  makeDir(env.runtimeDirectory);
  ::chmod(env.runtimeDirectory.c_str(), 0700);
  auto daemon = create();
  auto window = create();
  const int squatter =
      testing::squatAbstractName(testing::abstractDaemonName(env.documentsDirectory));
  ASSERT_GE(squatter, 0) << std::strerror(errno);
  EXPECT_FALSE(window->daemonRunningElsewhere());
  auto claim = daemon->claimDaemonInstance();
  EXPECT_NE(claim, nullptr);
  EXPECT_TRUE(window->daemonRunningElsewhere());
  ::close(squatter);
}

// A daemon killed without cleaning up leaves its socket file behind: the next daemon takes its
// place, and a window does not take the file for a running daemon. A daemon that ends removes it.
TEST_F(LinuxPlatformTest, ASocketLeftByACrashedDaemonDoesNotBlockTheNextOne) {
  for (const std::string& runtime : {root + "/run", std::string()}) {
    env.runtimeDirectory = runtime;
    if (!runtime.empty()) {
      makeDir(runtime);
      ::chmod(runtime.c_str(), 0700);
    }
    auto daemon = create();
    auto window = create();
    const std::string path = instanceSocketPath(runtime, env.documentsDirectory, "daemon");
    ASSERT_EQ(path.rfind((runtime.empty() ? env.documentsDirectory : runtime) + "/", 0), 0u)
        << path;
    {
      const int crashed = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
      sockaddr_un address{};
      address.sun_family = AF_UNIX;
      std::memcpy(address.sun_path, path.data(), path.size());
      ASSERT_EQ(::bind(crashed, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0)
          << path;
      ::close(crashed);  // the file stays, nobody listens
    }
    EXPECT_FALSE(window->daemonRunningElsewhere()) << path;
    auto claim = daemon->claimDaemonInstance();
    ASSERT_NE(claim, nullptr) << path;
    EXPECT_TRUE(window->daemonRunningElsewhere()) << path;
    claim.reset();
    EXPECT_FALSE(std::filesystem::exists(path)) << path;
  }
}

// The window asks this before watching the position: only one process of a data directory may.
TEST_F(LinuxPlatformTest, AnotherProcessSeesTheDaemonOnlyWhileItRuns) {
  auto daemon = create();
  auto window = create();
  EXPECT_FALSE(window->daemonRunningElsewhere());
  auto claim = daemon->claimDaemonInstance();
  ASSERT_NE(claim, nullptr);
  EXPECT_TRUE(window->daemonRunningElsewhere());
  EXPECT_FALSE(daemon->daemonRunningElsewhere());
  claim.reset();
  EXPECT_FALSE(window->daemonRunningElsewhere());
}

// A change of NetworkManager's setting runs off the caller's thread: its answer (here, that no
// bus answers) comes only through the platform's events, however soon it is ready.
TEST_F(LinuxPlatformTest, AMeteredChangeAnswersThroughTheEvents) {
  const std::string address = "unix:path=" + root + "/no-bus";
  ScopedEnv bus("DBUS_SYSTEM_BUS_ADDRESS", address.c_str());
  auto platform = create();
  ASSERT_TRUE(platform);
  std::optional<MeteredChange> answer;
  platform->setConnectionMeteredLater("u-1", ConnectionMetered::Yes,
                                      [&answer](const MeteredChange& change) { answer = change; });
  EXPECT_FALSE(answer);
  pollfd ready{platform->eventDescriptor(), POLLIN, 0};
  ASSERT_EQ(::poll(&ready, 1, 10000), 1);
  platform->dispatchEvents();
  ASSERT_TRUE(answer);
  EXPECT_FALSE(answer->accepted);
  EXPECT_NE(answer->error.find("no system bus"), std::string::npos) << answer->error;
}

}  // namespace
}  // namespace kestrio
