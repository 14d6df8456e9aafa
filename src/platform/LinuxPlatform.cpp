#include "platform/LinuxPlatform.h"

#include <limits.h>
#include <net/if.h>
#include <pwd.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <unicode/timezone.h>
#include <unicode/unistr.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "platform/AccountingClient.h"
#include "platform/LinkTable.h"
#include "platform/LocalTime.h"
#include "platform/NetworkManager.h"
#include "platform/NetworkManagerWatch.h"
#include "platform/SafeText.h"

namespace kestrio {
namespace {

std::string environmentValue(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? std::string() : std::string(value);
}

bool startsWith(std::string_view s, std::string_view prefix) {
  return s.substr(0, prefix.size()) == prefix;
}

std::string_view trimmed(std::string_view s) {
  auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
  while (!s.empty() && blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && blank(s.back())) s.remove_suffix(1);
  return s;
}

std::string withoutTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

// Files are addressed by absolute paths; a relative KESTRIO_HOME means the working directory's.
std::string absolute(std::string path) {
  if (path.empty() || path.front() == '/') return path;
  char cwd[PATH_MAX];
  if (::getcwd(cwd, sizeof cwd) == nullptr) return path;
  return std::string(cwd) + "/" + path;
}

std::string homeDirectory() {
  std::string home = environmentValue("HOME");
  if (!home.empty()) return home;
  if (const passwd* entry = ::getpwuid(::getuid()); entry != nullptr && entry->pw_dir != nullptr) {
    return entry->pw_dir;
  }
  return {};
}

// Whether ICU knows the zone. It answers "Etc/Unknown" for anything else, POSIX rule strings
// such as "CET-1CEST" included, and a calendar in that zone would silently run on UTC.
bool isKnownZone(const std::string& zoneId) {
  if (zoneId.empty()) return false;
  std::unique_ptr<icu::TimeZone> zone(
      icu::TimeZone::createTimeZone(icu::UnicodeString::fromUTF8(zoneId)));
  if (!zone) return false;
  icu::UnicodeString id;
  zone->getID(id);
  return id != icu::UnicodeString(UCAL_UNKNOWN_ZONE_ID);
}

// The zone name in a path to a compiled zone file ("../usr/share/zoneinfo/Europe/Berlin"),
// without the "posix/" or "right/" variants' directory; empty when the path holds none.
std::string zoneFromPath(std::string_view path) {
  constexpr std::string_view kMarker = "zoneinfo/";
  std::size_t at = path.rfind(kMarker);
  if (at == std::string_view::npos) return {};
  std::string_view zone = path.substr(at + kMarker.size());
  if (startsWith(zone, "posix/")) zone.remove_prefix(6);
  if (startsWith(zone, "right/")) zone.remove_prefix(6);
  return std::string(zone);
}

std::string systemZone() {
  char target[PATH_MAX];
  ssize_t n = ::readlink("/etc/localtime", target, sizeof target - 1);
  if (n > 0) {
    std::string zone = zoneFromPath(std::string_view(target, static_cast<std::size_t>(n)));
    if (isKnownZone(zone)) return zone;
  }
  // A copied zone file (as containers have) or /etc/timezone: ICU's own search finds those.
  std::unique_ptr<icu::TimeZone> host(icu::TimeZone::detectHostTimeZone());
  if (host) {
    icu::UnicodeString id;
    host->getID(id);
    std::string zone;
    id.toUTF8String(zone);
    if (isKnownZone(zone)) return zone;
  }
  return "UTC";
}

std::string zoneFromEnvironment() {
  std::string tz = environmentValue("TZ");
  // glibc reads ":Europe/Berlin" as a zone file name, and so may the path of one.
  if (!tz.empty() && tz.front() == ':') tz.erase(0, 1);
  if (!tz.empty() && tz.front() == '/') tz = zoneFromPath(tz);
  if (isKnownZone(tz)) return tz;
  return systemZone();
}

// The locale of dates as the C library would choose it, as an ICU locale id.
std::string localeFromEnvironment() {
  std::string locale;
  for (const char* name : {"LC_ALL", "LC_TIME", "LANG"}) {
    locale = environmentValue(name);
    if (!locale.empty()) break;
  }
  // "de_DE.UTF-8", "de_DE@euro": ICU wants neither the code set nor the modifier.
  locale = locale.substr(0, locale.find_first_of(".@"));
  if (locale.empty() || locale == "C" || locale == "POSIX") return "en_US_POSIX";
  return locale;
}

// Creates each missing directory of the path with mode 0700; existing ones are left as they are.
bool makeDirectories(const std::string& path, int* error) {
  for (std::size_t at = path.find('/', 1);; at = path.find('/', at + 1)) {
    std::string prefix = path.substr(0, at);
    if (!prefix.empty() && prefix.back() != '/' && ::mkdir(prefix.c_str(), 0700) != 0 &&
        errno != EEXIST) {
      *error = errno;
      return false;
    }
    if (at == std::string::npos) return true;
  }
}

// The usage records tell when and where the user was online: nobody else may read them. An
// existing directory open to others (made by hand, or by an older umask) is closed when it is
// ours; another user's directory is only reported. Answers the warning, empty when none.
std::string tightenDirectory(const std::string& directory, const struct stat& info) {
  const mode_t open = info.st_mode & 077;
  if (open == 0) return {};
  char mode[8];
  std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(info.st_mode & 07777));
  const std::string who = (open & 022) != 0 ? "read and written" : "read";
  if (info.st_uid != ::geteuid()) {
    return "warning: data directory " + directory + " (mode " + mode + ") can be " + who +
           " by other users and belongs to another user";
  }
  if (::chmod(directory.c_str(), 0700) != 0) {
    return "warning: data directory " + directory + " (mode " + mode + ") can be " + who +
           " by other users and cannot be made private: " + std::strerror(errno);
  }
  return "warning: data directory " + directory + " (mode " + mode + ") could be " + who +
         " by other users; it is now private (mode 0700)";
}

std::optional<std::int64_t> parseInteger(std::string_view text) {
  std::int64_t value = 0;
  auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || ptr != text.data() + text.size()) return std::nullopt;
  return value;
}

// Interface names come from the kernel's table or from callers; only a real name may become a
// path under /sys ("../x" must not).
bool isSafeName(const std::string& name) {
  return !name.empty() && name.size() < IFNAMSIZ && name != "." && name != ".." &&
         name.find('/') == std::string::npos && name.find('\0') == std::string::npos;
}

}  // namespace

LinuxEnvironment LinuxEnvironment::fromProcessEnvironment() {
  LinuxEnvironment env;
  std::string home = environmentValue("KESTRIO_HOME");
  std::string xdg = environmentValue("XDG_DATA_HOME");
  if (!home.empty()) {
    env.documentsDirectory = absolute(home);
  } else if (!xdg.empty() && xdg.front() == '/') {
    // Relative XDG_DATA_HOME values are invalid and ignored, as the base-directory rules say.
    env.documentsDirectory = xdg + "/kestrio";
  } else if (std::string user = homeDirectory(); !user.empty()) {
    env.documentsDirectory = withoutTrailingSlashes(user) + "/.local/share/kestrio";
  }
  env.documentsDirectory = withoutTrailingSlashes(env.documentsDirectory);
  if (std::string config = environmentValue("XDG_CONFIG_HOME");
      !config.empty() && config[0] == '/') {
    env.configDirectory = withoutTrailingSlashes(config);
  } else if (std::string user = homeDirectory(); !user.empty()) {
    env.configDirectory = withoutTrailingSlashes(user) + "/.config";
  }
  env.zoneId = zoneFromEnvironment();
  env.localeId = localeFromEnvironment();
  env.timeProblem = localTimeProblem(env.zoneId, std::time(nullptr));
  if (std::string counters = environmentValue("KESTRIO_COUNTERS"); !counters.empty()) {
    env.paths.procNetDev = counters;
  } else {
    env.kernelLinkTable = true;
  }
  if (std::string socket = environmentValue("KESTRIO_ACCOUNTD_SOCKET"); !socket.empty()) {
    env.paths.accountingSocket = socket;
  }
  env.runtimeDirectory = withoutTrailingSlashes(environmentValue("XDG_RUNTIME_DIR"));
  env.locationFile = environmentValue("KESTRIO_LOCATION");
  if (std::string timeout = environmentValue("KESTRIO_LOCK_TIMEOUT"); !timeout.empty()) {
    double seconds = 0;
    auto [ptr, ec] = std::from_chars(timeout.data(), timeout.data() + timeout.size(), seconds);
    if (ec == std::errc() && ptr == timeout.data() + timeout.size() && std::isfinite(seconds) &&
        seconds >= 0) {
      env.lockTimeoutSeconds = seconds;
    }
  }
  return env;
}

std::unique_ptr<LinuxPlatform> LinuxPlatform::create(const LinuxEnvironment& env,
                                                     std::string* error) {
  auto report = [&](std::string reason) {
    if (error != nullptr) *error = std::move(reason);
    return nullptr;
  };
  if (!env.timeProblem.empty()) return report(env.timeProblem);
  const std::string& directory = env.documentsDirectory;
  if (directory.empty() || directory.front() != '/') {
    return report("cannot determine the data directory (set KESTRIO_HOME or HOME)");
  }
  int failure = 0;
  if (env.readOnly) {
    struct stat existing {};
    const bool absent = ::stat(directory.c_str(), &existing) != 0 && errno == ENOENT;
    if (absent && env.absentIsEmpty) return std::unique_ptr<LinuxPlatform>(new LinuxPlatform(env));
    if (absent || !S_ISDIR(existing.st_mode)) {
      return report("nothing is stored in " + directory + " yet: run kestrio update first");
    }
    return std::unique_ptr<LinuxPlatform>(new LinuxPlatform(env));
  }
  if (!makeDirectories(directory, &failure)) {
    return report("cannot create data directory " + directory + ": " + std::strerror(failure));
  }
  struct stat info {};
  if (::stat(directory.c_str(), &info) != 0) {
    return report("cannot create data directory " + directory + ": " + std::strerror(errno));
  }
  if (!S_ISDIR(info.st_mode)) {
    return report("data directory " + directory + " is not a directory");
  }
  if (::access(directory.c_str(), W_OK | X_OK) != 0) {
    return report("data directory " + directory + " is not writable: " + std::strerror(errno));
  }
  auto platform = std::unique_ptr<LinuxPlatform>(new LinuxPlatform(env));
  if (std::string warning = tightenDirectory(directory, info); !warning.empty()) {
    platform->systemLog_.tell(warning);
  }
  return platform;
}

LinuxPlatform::LinuxPlatform(LinuxEnvironment env)
    : env_(std::move(env)),
      systemLog_(SystemLog::system(), env_.verbose),
      calendar_(env_.zoneId, env_.localeId),
      files_(PosixIo::real(),
             [this](std::string_view line) {
               // A wait for another process's lock is why a command seems to hang: the user
               // hears of it, not only the log.
               if (line.starts_with("waiting for another Kestrio process") ||
                   line.starts_with("gave up waiting for another Kestrio process")) {
                 systemLog_.tell(line);
               } else {
                 warn(line);  // the file system logs only what failed
               }
             }),
      scratch_(files_),
      transactional_(env_.readOnly ? static_cast<FileSystem&>(scratch_) : files_,
                     env_.documentsDirectory,
                     env_.documentsDirectory + "/" + std::string(kLockFileName),
                     [this](std::string_view line) { warn(line); }),
      defaults_(
          transactional_, env_.documentsDirectory + "/" + std::string(kDefaultsFileName),
          env_.documentsDirectory + "/" + std::string(kLockFileName),
          [this](std::string_view line) { warn(line); }, [this] { return now(); }) {
  files_.setLockPatience({1, env_.lockTimeoutSeconds});
}

Date LinuxPlatform::now() {
  timespec ts{};
  ::clock_gettime(CLOCK_REALTIME, &ts);
  return Date::fromSecondsSince1970(static_cast<double>(ts.tv_sec) +
                                    static_cast<double>(ts.tv_nsec) / 1e9);
}

std::optional<std::vector<InterfaceCounters>> LinuxPlatform::readInterfaceCounters() {
  countersFailure_.clear();
  if (!env_.kernelLinkTable) return readCountersFile(true);
  if (auto links = readLinkTable()) {
    if (!withinInterfaceLimit(links->size(), "the kernel's link table")) return std::nullopt;
    return links;
  }
  if (!toldLinkTableFallback_) {
    toldLinkTableFallback_ = true;
    log("the kernel's link table cannot be read over netlink; reading " + env_.paths.procNetDev);
  }
  return readCountersFile(false);
}

bool LinuxPlatform::withinInterfaceLimit(std::size_t count, const std::string& table) {
  if (count <= kMaxInterfaces) return true;
  countersFailure_ = table + " lists " + std::to_string(count) + " interfaces, more than the " +
                     std::to_string(kMaxInterfaces) + " Kestrio reads";
  warn(countersFailure_);
  return false;
}

std::optional<std::vector<InterfaceCounters>> LinuxPlatform::readCountersFile(bool scripted) {
  // Read once per call: a script may replace the file between two reads.
  std::optional<std::string> text = files_.read(env_.paths.procNetDev);
  if (!text) {
    countersFailure_ = "cannot read interface counters from " + env_.paths.procNetDev;
    warn(countersFailure_);
    return std::nullopt;
  }
  auto counters = scripted ? parseScriptedCounters(*text) : parseProcNetDev(*text);
  text.reset();
  if (!counters) {
    countersFailure_ =
        "interface counters in " + env_.paths.procNetDev + " are not in the kernel's format";
    warn(countersFailure_);
    return std::nullopt;
  }
  if (!withinInterfaceLimit(counters->size(), "the interface table " + env_.paths.procNetDev)) {
    return std::nullopt;
  }
  for (InterfaceCounters& interface : *counters) {
    if (auto flags = interfaceFlags(interface.name)) {
      interface.loopback = (*flags & IFF_LOOPBACK) != 0;
    }
    // A scripted file names its own indexes; this machine's would belong to other links.
    if (!scripted) interface.index = interfaceIndex(interface.name);
  }
  return counters;
}

std::uint32_t LinuxPlatform::interfaceIndex(const std::string& name) {
  if (!isSafeName(name)) return 0;
  std::optional<std::string> text = files_.read(env_.paths.sysClassNet + "/" + name + "/ifindex");
  if (!text) return 0;
  const std::string_view digits = trimmed(*text);
  std::uint32_t index = 0;
  auto [ptr, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), index);
  return ec == std::errc() && ptr == digits.data() + digits.size() ? index : 0;
}

std::optional<std::uint64_t> LinuxPlatform::interfaceFlags(const std::string& name) {
  if (!isSafeName(name)) return std::nullopt;
  std::optional<std::string> text = files_.read(env_.paths.sysClassNet + "/" + name + "/flags");
  if (!text) return std::nullopt;
  std::string_view digits = trimmed(*text);
  if (startsWith(digits, "0x") || startsWith(digits, "0X")) digits.remove_prefix(2);
  std::uint64_t flags = 0;
  auto [ptr, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), flags, 16);
  if (digits.empty() || ec != std::errc() || ptr != digits.data() + digits.size()) {
    return std::nullopt;
  }
  return flags;
}

bool LinuxPlatform::systemBusMayRun() const {
  const char* address = std::getenv("DBUS_SYSTEM_BUS_ADDRESS");
  return (address != nullptr && *address != '\0') ||
         ::access(env_.paths.systemBusSocket.c_str(), F_OK) == 0;
}

ApplicationCounters LinuxPlatform::readApplicationCounters() {
  return kestrio::readApplicationCounters(env_.paths.accountingSocket, systemInterfaceNamer());
}

// $XDG_DATA_HOME (else ~/.local/share), then each of $XDG_DATA_DIRS (else /usr/local/share and
// /usr/share); relative entries are ignored, as the base-directory rules say.
std::vector<std::string> LinuxPlatform::dataDirectories() {
  std::vector<std::string> directories;
  if (std::string home = environmentValue("XDG_DATA_HOME"); startsWith(home, "/")) {
    directories.push_back(withoutTrailingSlashes(home));
  } else if (std::string user = homeDirectory(); !user.empty()) {
    directories.push_back(withoutTrailingSlashes(user) + "/.local/share");
  }
  std::string system = environmentValue("XDG_DATA_DIRS");
  if (system.empty()) system = "/usr/local/share:/usr/share";
  std::string_view rest = system;
  while (!rest.empty()) {
    const std::size_t colon = rest.find(':');
    const std::string_view item = rest.substr(0, colon);
    rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
    if (startsWith(item, "/")) directories.push_back(withoutTrailingSlashes(std::string(item)));
  }
  return directories;
}

ConnectionSnapshot LinuxPlatform::activeConnections() {
  // Without a system bus there is no NetworkManager, and libsystemd need not be loaded to learn it.
  std::string why = "no system bus";
  const ConnectionSnapshot snapshot =
      systemBusMayRun() ? readNetworkManagerConnections(&why) : ConnectionSnapshot{};
  // Told once each time NetworkManager goes away or comes back during a run, not on every pass.
  if (networkManagerKnown_ && *networkManagerKnown_ != snapshot.known) {
    if (snapshot.known) {
      log("NetworkManager answers again: metered connections count as cellular");
    } else {
      warn("NetworkManager stopped answering (" + why + "): interfaces count by their kind");
    }
  }
  networkManagerKnown_ = snapshot.known;
  return snapshot;
}

std::unique_ptr<ConnectionWatch> LinuxPlatform::watchConnections(std::function<void()> changed) {
  if (!systemBusMayRun()) return nullptr;
  std::string why;
  auto watch = NetworkManagerWatch::open(
      events_, [this] { return activeConnections(); }, std::move(changed),
      [this](const std::string& reason) {
        warn(reason + ": NetworkManager's changes wait for the next update");
      },
      &why);
  if (!watch) warn("NetworkManager's changes cannot be followed (" + why + ")");
  return watch;
}

MeteredChange LinuxPlatform::setConnectionMetered(const std::string& uuid,
                                                  ConnectionMetered value) {
  if (!systemBusMayRun()) return {false, std::nullopt, "there is no system bus"};
  MeteredChange change = writeNetworkManagerMetered(uuid, value);
  if (!change.accepted)
    warn("NetworkManager did not change connection " + uuid + ": " + change.error);
  return change;
}

namespace {

// A change asked on a worker thread: its answer, and the descriptor that tells the loop it came.
// Shared by the thread and the loop, so either may outlive the other.
struct MeteredAnswer {
  std::mutex mutex;
  std::optional<MeteredChange> change;
  int ready = -1;
  ~MeteredAnswer() {
    if (ready >= 0) ::close(ready);
  }
};

}  // namespace

void LinuxPlatform::setConnectionMeteredLater(const std::string& uuid, ConnectionMetered value,
                                              std::function<void(const MeteredChange&)> done) {
  auto answer = std::make_shared<MeteredAnswer>();
  answer->ready = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (!systemBusMayRun() || answer->ready < 0 || !events_.add(answer->ready, [this, answer, done] {
        std::optional<MeteredChange> change;
        {
          std::lock_guard<std::mutex> lock(answer->mutex);
          std::uint64_t count = 0;
          [[maybe_unused]] const ssize_t got = ::read(answer->ready, &count, sizeof count);
          change = answer->change;
        }
        if (!change) return;
        events_.remove(answer->ready);
        if (!change->accepted) warn("NetworkManager did not change connection: " + change->error);
        if (done) done(*change);
      })) {
    Platform::setConnectionMeteredLater(uuid, value, std::move(done));
    return;
  }
  // Only the answer is shared with the thread: the platform may be gone when polkit returns.
  std::thread([answer, uuid, value] {
    MeteredChange change = writeNetworkManagerMetered(uuid, value);
    std::lock_guard<std::mutex> lock(answer->mutex);
    answer->change = std::move(change);
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t told = ::write(answer->ready, &one, sizeof one);
  }).detach();
}

InterfaceKind LinuxPlatform::interfaceKind(const std::string& name) {
  if (auto cached = kinds_.find(name); cached != kinds_.end()) return cached->second;

  InterfaceFacts facts;
  if (isSafeName(name)) {
    std::string directory = env_.paths.sysClassNet + "/" + name;
    struct stat info {};
    facts.known = ::stat(directory.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
    if (facts.known) {
      if (auto flags = interfaceFlags(name)) facts.loopback = (*flags & IFF_LOOPBACK) != 0;
      std::string uevent = files_.read(directory + "/uevent").value_or("");
      std::string_view rest = uevent;
      while (!rest.empty()) {
        std::size_t end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        if (startsWith(line, "DEVTYPE=")) facts.devtype = std::string(trimmed(line.substr(8)));
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
      }
      facts.wireless =
          files_.exists(directory + "/phy80211") || files_.exists(directory + "/wireless");
      facts.physicalDevice = files_.exists(directory + "/device");
    }
  }
  InterfaceKind kind = classifyInterface(name, facts);
  kinds_.emplace(name, kind);
  return kind;
}

std::int64_t LinuxPlatform::bootInstant() {
  std::optional<std::string> text = files_.read(env_.paths.procStat);
  if (!text) return -1;
  std::string_view rest = *text;
  while (!rest.empty()) {
    std::size_t end = rest.find('\n');
    std::string_view line = rest.substr(0, end);
    if (startsWith(line, "btime ")) {
      if (auto seconds = parseInteger(trimmed(line.substr(6))); seconds && *seconds >= 0) {
        return *seconds;
      }
      return -1;
    }
    rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
  }
  return -1;
}

std::string LinuxPlatform::bootId() {
  std::optional<std::string> text = files_.read(env_.paths.bootId);
  if (!text) return {};
  std::string_view first = *text;
  first = first.substr(0, first.find('\n'));
  return std::string(trimmed(first));
}

std::string LinuxPlatform::machineName() {
  utsname names{};
  if (::uname(&names) != 0) return {};
  return names.machine;
}

void LinuxPlatform::log(std::string_view line) {
  // A status bar may look every few seconds: its routine lines would bury the log.
  if (env_.readOnly && !env_.verbose) return;
  systemLog_.log(line);
}

void LinuxPlatform::warn(std::string_view line) {
  systemLog_.log(line, LogPriority::Warning);
}

}  // namespace kestrio
