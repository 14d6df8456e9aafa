#pragma once

#include <sys/types.h>

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/EventLoop.h"
#include "platform/Location.h"

namespace kestrio {

// One line of a positions file: "LATITUDE LONGITUDE [UNIX_TIMESTAMP]", numbers written with a
// point. Without a timestamp the position is taken `now`. Nothing, with `error` set, for a line
// that is not one (a latitude beyond ±90, a longitude beyond ±180, anything after the
// timestamp).
std::optional<Location> parseLocationLine(std::string_view line, Date now, std::string* error);

// Positions read from a file (KESTRIO_LOCATION), for demonstrations and tests: while monitoring,
// every line in the file and every line appended later becomes one location event, the file
// being looked at once a second. Blank lines and lines starting with '#' are skipped; bad lines
// are logged and skipped.
//
// The file is not trusted to be small or well made: only a regular file is read (anything else,
// a FIFO or a device, is refused with one log line and never opened for long), a line longer
// than kMaxLineLength is skipped with one log line, and one look reads at most kMaxBytesPerLook
// bytes and hands on at most kMaxPositionsPerLook lines. A backlog is worked off in one look
// after another, each a separate event, so whoever serves the event loop answers its signals
// between two of them.
class ScriptedLocationManager final : public LocationManager {
 public:
  using Clock = std::function<Date()>;
  using Logger = std::function<void(std::string_view)>;

  static constexpr std::size_t kMaxLineLength = 1024;
  static constexpr std::size_t kMaxBytesPerLook = 16 * 1024;
  static constexpr int kMaxPositionsPerLook = 8;

  ScriptedLocationManager(std::string path, LocationManagerDelegate& delegate, EventLoop& loop,
                          Clock clock, Logger log);
  ~ScriptedLocationManager() override;
  ScriptedLocationManager(const ScriptedLocationManager&) = delete;
  ScriptedLocationManager& operator=(const ScriptedLocationManager&) = delete;

  void startMonitoringSignificantLocationChanges() override;
  void stopMonitoringSignificantLocationChanges() override;
  bool monitoring() const override { return timer_ >= 0; }

 private:
  // Delivers the complete lines added since the last look, within the bounds of one look.
  void readNewLines();
  // True for a regular file's mode; logs the refusal of anything else once.
  bool isRegularFile(mode_t mode);
  // The next look at once rather than in a second, when more is waiting.
  void lookAgainSoon();

  std::string path_;
  LocationManagerDelegate& delegate_;
  EventLoop& loop_;
  Clock clock_;
  Logger log_;
  int timer_ = -1;
  long long offset_ = 0;  // bytes of the file already read
  int lineNumber_ = 0;
  bool skippingLongLine_ = false;  // inside a line too long to read, up to its end
  bool toldMissing_ = false;
  bool toldNotRegular_ = false;
};

}  // namespace kestrio
