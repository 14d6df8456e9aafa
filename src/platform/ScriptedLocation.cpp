#include "platform/ScriptedLocation.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <vector>

namespace kestrio {

namespace {

std::vector<std::string_view> words(std::string_view line) {
  std::vector<std::string_view> result;
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r')) ++i;
    std::size_t start = i;
    while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') ++i;
    if (i > start) result.push_back(line.substr(start, i - start));
  }
  return result;
}

std::optional<double> number(std::string_view word) {
  double value = 0;
  const char* end = word.data() + word.size();
  auto [ptr, ec] = std::from_chars(word.data(), end, value);
  if (ec != std::errc() || ptr != end || !std::isfinite(value)) return std::nullopt;
  return value;
}

}  // namespace

std::optional<Location> parseLocationLine(std::string_view line, Date now, std::string* error) {
  const auto fields = words(line);
  auto fail = [error](const char* why) -> std::optional<Location> {
    if (error) *error = why;
    return std::nullopt;
  };
  if (fields.size() < 2 || fields.size() > 3) {
    return fail("expected a latitude, a longitude and an optional Unix time");
  }
  const auto latitude = number(fields[0]);
  const auto longitude = number(fields[1]);
  if (!latitude || *latitude < -90 || *latitude > 90) return fail("latitude not in -90..90");
  if (!longitude || *longitude < -180 || *longitude > 180) {
    return fail("longitude not in -180..180");
  }
  Location location{*latitude, *longitude, now};
  if (fields.size() == 3) {
    const auto seconds = number(fields[2]);
    if (!seconds) return fail("time is not a number of seconds since 1970");
    location.timestamp = Date::fromSecondsSince1970(*seconds);
  }
  return location;
}

ScriptedLocationManager::ScriptedLocationManager(std::string path,
                                                 LocationManagerDelegate& delegate, EventLoop& loop,
                                                 Clock clock, Logger log)
    : path_(std::move(path)),
      delegate_(delegate),
      loop_(loop),
      clock_(std::move(clock)),
      log_(std::move(log)) {}

ScriptedLocationManager::~ScriptedLocationManager() {
  stopMonitoringSignificantLocationChanges();
}

void ScriptedLocationManager::startMonitoringSignificantLocationChanges() {
  if (timer_ >= 0) return;
  timer_ = ::timerfd_create(CLOCK_MONOTONIC, TFD_CLOEXEC | TFD_NONBLOCK);
  if (timer_ < 0) {
    log_("cannot watch the positions file " + path_);
    return;
  }
  // The first look at once, then one a second.
  itimerspec period{};
  period.it_value.tv_nsec = 1000000;
  period.it_interval.tv_sec = 1;
  ::timerfd_settime(timer_, 0, &period, nullptr);
  if (!loop_.add(timer_, [this] {
        std::uint64_t expirations = 0;
        if (::read(timer_, &expirations, sizeof expirations) < 0) return;
        readNewLines();
      })) {
    log_("cannot watch the positions file " + path_);
    ::close(timer_);
    timer_ = -1;
  }
}

void ScriptedLocationManager::stopMonitoringSignificantLocationChanges() {
  if (timer_ < 0) return;
  loop_.remove(timer_);
  ::close(timer_);
  timer_ = -1;
}

void ScriptedLocationManager::readNewLines() {
  const int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (!toldMissing_) delegate_.didFailWithError(*this, "cannot read " + path_);
    toldMissing_ = true;
    return;
  }
  toldMissing_ = false;
  // A file written anew (shorter than what was read) is read again from its start.
  struct stat info {};
  if (::fstat(fd, &info) == 0 && info.st_size < offset_) {
    offset_ = 0;
    lineNumber_ = 0;
  }
  std::string text;
  char buffer[4096];
  ssize_t got = 0;
  if (::lseek(fd, offset_, SEEK_SET) == offset_) {
    while ((got = ::read(fd, buffer, sizeof buffer)) > 0) text.append(buffer, got);
  }
  ::close(fd);
  std::size_t start = 0;
  while (timer_ >= 0) {
    const std::size_t end = text.find('\n', start);
    if (end == std::string::npos) break;  // an unfinished line waits for its end
    const std::string_view line(text.data() + start, end - start);
    offset_ += static_cast<long long>(end - start + 1);
    start = end + 1;
    ++lineNumber_;
    const auto first = line.find_first_not_of(" \t\r");
    if (first == std::string_view::npos || line[first] == '#') continue;
    std::string error;
    const auto location = parseLocationLine(line, clock_(), &error);
    if (!location) {
      log_(path_ + ":" + std::to_string(lineNumber_) + ": position ignored: " + error);
      continue;
    }
    delegate_.didUpdateToLocation(*this, location);
  }
}

}  // namespace kestrio
