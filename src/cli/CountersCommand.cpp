#include "cli/CountersCommand.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <functional>
#include <istream>
#include <ostream>

#include "cli/Confirm.h"
#include "cli/QuotedValue.h"
#include "cli/Suggestion.h"
#include "counters/CounterChange.h"
#include "engine/CustomCounter.h"
#include "platform/MoveAside.h"
#include "platform/Transaction.h"
#include "services/StringFormatter.h"

namespace kestrio::cli {

namespace {

constexpr int kBadInput = 2;
constexpr int kNotStored = 1;

// Raised inside a command for input that changes nothing; caught at its top.
struct BadInput {
  std::string line;
};

std::string positionText(std::size_t index) {
  return std::to_string(index + 1);
}

// The counter named by a position (from 1) or an identifier.
std::size_t resolve(const std::vector<CustomCounter>& list, const std::string& id) {
  const bool digits = !id.empty() && std::all_of(id.begin(), id.end(), [](unsigned char c) {
    return std::isdigit(c) != 0;
  });
  if (digits && id.size() < 10) {
    const std::size_t position = std::stoul(id);
    if (position >= 1 && position <= list.size()) return position - 1;
  }
  for (std::size_t i = 0; i < list.size(); ++i) {
    if (!id.empty() && list[i].uniqueId().size() == id.size() &&
        std::equal(
            id.begin(), id.end(), list[i].uniqueId().begin(),
            [](unsigned char a, unsigned char b) { return std::tolower(a) == std::tolower(b); })) {
      return i;
    }
  }
  const std::string count = list.empty() ? "there are no counters"
                            : list.size() == 1
                                ? "there is 1 counter"
                                : "there are " + std::to_string(list.size()) + " counters";
  throw BadInput{"no counter " + quotedValue(id) + " (" + count +
                 "; name one by its position or its uniqueId, as kestrio counters --json shows "
                 "them)"};
}

// The settings an add or an edit asks for, applied to a counter.
void applyOptions(Platform& platform, const CounterCommand& command, CustomCounter& counter) {
  if (command.network) {
    counter.setTrackCellular(*command.network != "wifi");
    counter.setTrackWiFi(*command.network != "cellular");
  }
  if (command.direction) {
    counter.setDirection(*command.direction == "sent"       ? CustomCounter::kDirectionSent
                         : *command.direction == "received" ? CustomCounter::kDirectionReceived
                                                            : CustomCounter::kDirectionBoth);
  }
  if (command.ends && command.noEnd) throw BadInput{"--ends and --no-end cannot go together"};
  if (command.alert && command.noAlert) throw BadInput{"--alert and --no-alert cannot go together"};
  if (command.roaming && command.noRoaming) {
    throw BadInput{"--roaming and --no-roaming cannot go together"};
  }
  if (command.roaming && command.network == "wifi") {
    throw BadInput{"--roaming counts cellular traffic: it cannot go with --network wifi"};
  }
  if (command.ends) {
    auto end = parseEndDate(platform, *command.ends);
    if (!end) {
      throw BadInput{"not a date: " + quotedValue(*command.ends) +
                     " (write the end as YYYY-MM-DD HH:MM, such as 2026-12-11 18:00)"};
    }
    // The screens never let an end be picked in the past: such a counter would stop at once.
    if (*end <= platform.now()) {
      throw BadInput{"the end " +
                     StringFormatter::getLocalizedShortDateShortTimeStringFromDate(platform, *end) +
                     " has already passed"};
    }
    counter.setEndDate(end);
  }
  if (command.noEnd) counter.setEndDate(std::nullopt);
  if (command.newName) counter.setName(CustomCounter::storableName(*command.newName));
  if (command.alert) counter.setNotifyOnEnd(true);
  if (command.noAlert) counter.setNotifyOnEnd(false);
  if (command.roaming) counter.setRoamingOnly(true);
  if (command.noRoaming) counter.setRoamingOnly(false);
}

std::string describe(Platform& platform, const CustomCounter& c) {
  std::string text = "\"" + c.name() + "\": ";
  text += c.trackCellular() && c.trackWiFi() ? "cellular and Wi-Fi"
          : c.trackWiFi()                    ? "Wi-Fi"
          : c.trackCellular()                ? "cellular"
                                             : "no network";
  text += c.direction() == CustomCounter::kDirectionSent       ? ", sent"
          : c.direction() == CustomCounter::kDirectionReceived ? ", received"
                                                               : ", sent and received";
  if (c.endDate()) {
    text += ", ends " +
            StringFormatter::getLocalizedShortDateShortTimeStringFromDate(platform, *c.endDate());
    text += c.notifyOnEnd() ? " with an alert" : " without an alert";
  } else {
    text += ", no end date";
  }
  if (c.roamingOnly()) text += ", roaming only";
  if (c.isPaused()) text += ", paused";
  return text;
}

const CustomCounter* findById(const std::vector<CustomCounter>& list, const std::string& id) {
  for (const CustomCounter& c : list) {
    if (c.uniqueId() == id) return &c;
  }
  return nullptr;
}

}  // namespace

std::optional<Date> parseEndDate(Platform& platform, const std::string& text) {
  int y = 0, mo = 0, d = 0, h = 0, mi = 0;
  char sep = 0, extra = 0;
  const int read =
      std::sscanf(text.c_str(), "%4d-%2d-%2d%c%2d:%2d%c", &y, &mo, &d, &sep, &h, &mi, &extra);
  if (read == 3 || (read == 6 && (sep == ' ' || sep == 'T'))) {
    if (h > 23 || mi > 59 || h < 0 || mi < 0) return std::nullopt;
    const Date date = platform.calendar().date(DateComponents{y, mo, d, h, mi, 0, 0});
    const DateComponents back = platform.calendar().components(date);
    // A day the month lacks, or an hour the clock skips, does not read back.
    if (back.year != y || back.month != mo || back.day != d || back.hour != h ||
        back.minute != mi) {
      return std::nullopt;
    }
    return date;
  }
  return StringFormatter::getLocalizedDateFromShortDateShortTimeString(platform, text);
}

void addCounterSubcommands(CLI::App& counters, CounterCommand& command) {
  counters.require_subcommand(0, 1);
  const auto networks = oneOf({"cellular", "wifi", "both"});
  const auto directions = oneOf({"sent", "received", "both"});
  const auto settingOptions = [&](CLI::App* sub) {
    sub->add_option("--network", command.network, "cellular, wifi or both (default both)")
        ->check(networks);
    sub->add_option("--direction", command.direction,
                    "The figures shown: sent, received or both (default both)")
        ->check(directions);
    sub->add_option("--ends", command.ends,
                    "When it stops counting: YYYY-MM-DD HH:MM, in the future");
    sub->add_flag("--alert", command.alert, "Announce the end with a notification");
    sub->add_flag("--roaming", command.roaming, "Count cellular traffic only while roaming");
  };
  const auto chosen = [&](CLI::App* sub) {
    sub->callback([&command, sub] { command.action = sub->get_name(); });
  };

  auto* add = counters.add_subcommand("add", "Add a counter that starts counting now");
  add->add_option("NAME", command.name, "The counter's name")->required();
  settingOptions(add);
  chosen(add);

  auto* edit = counters.add_subcommand("edit", "Change a counter's settings; it keeps its figures");
  edit->add_option("ID", command.id, "Its position (from 1) or its uniqueId")->required();
  settingOptions(edit);
  edit->add_option("--name", command.newName, "A new name");
  edit->add_flag("--no-end", command.noEnd, "Count without an end date");
  edit->add_flag("--no-alert", command.noAlert, "No notification at the end");
  edit->add_flag("--no-roaming", command.noRoaming, "Count cellular traffic at home too");
  chosen(edit);

  for (const char* name : {"pause", "resume"}) {
    auto* sub = counters.add_subcommand(name, std::string(name) == "pause"
                                                  ? "Stop counting, keeping the figures"
                                                  : "Count again from now on");
    sub->add_option("ID", command.id, "Its position (from 1) or its uniqueId")->required();
    chosen(sub);
  }
  auto* reset = counters.add_subcommand("reset", "Set a counter's figures to zero");
  reset->add_option("ID", command.id, "Its position (from 1) or its uniqueId")->required();
  reset->add_flag("--yes", command.yes, "Reset without asking");
  chosen(reset);
  auto* remove = counters.add_subcommand("remove", "Delete a counter and its end notification");
  remove->alias("delete");
  remove->add_option("ID", command.id, "Its position (from 1) or its uniqueId")->required();
  remove->add_flag("--yes", command.yes, "Delete without asking");
  chosen(remove);
  auto* move = counters.add_subcommand("move", "Move a counter to another position");
  move->add_option("FROM", command.id, "Its position (from 1) or its uniqueId")->required();
  move->add_option("TO", command.to, "Its new position (from 1)")->required();
  chosen(move);
}

int runCounterCommand(Platform& platform, const CounterCommand& command, bool interactive,
                      std::istream& in, std::ostream& out, std::ostream& err) {
  // Nobody to ask: refused before anything is read or written.
  const bool asks = command.action == "reset" || command.action == "remove";
  if (asks && refusesWithoutTerminal("counters " + command.action, command.yes, interactive, err))
    return kRefusedStatus;
  // One transaction from the first read to the last write: no pass or other command can come
  // between reading the list and changing it.
  Transaction tx(platform);
  if (!tx.locked()) {
    err << "kestrio: not stored: " << tx.commit().reason() << "\n";
    return kNotStored;
  }
  const auto asideBefore = filesMovedAside(platform.files(), platform.documentsDirectory());
  const auto list = CustomCounter::getAllCustomCounters(platform);
  const auto asideAfter = filesMovedAside(platform.files(), platform.documentsDirectory());
  if (asideAfter.size() > asideBefore.size()) {
    std::string moved;
    for (const std::string& name : asideAfter) {
      if (std::find(asideBefore.begin(), asideBefore.end(), name) == asideBefore.end()) {
        moved = name;
      }
    }
    // Keep it aside: the next command starts from an empty list, and the old file stays for
    // the user.
    (void)tx.commit();
    err << "kestrio: " << CustomCounter::kFileName << " could not be read; it was set aside as "
        << moved << "; nothing changed\n";
    return kBadInput;
  }

  std::function<Stored()> change;
  std::function<bool(const std::vector<CustomCounter>&)> verify;
  std::string done;
  try {
    if (command.action == "add") {
      CustomCounter counter(platform, command.name);
      applyOptions(platform, command, counter);
      change = [&platform, counter] { return CustomCounter::addCustomCounter(platform, counter); };
      verify = [counter](const std::vector<CustomCounter>& after) {
        const CustomCounter* c = findById(after, counter.uniqueId());
        return c && *c == counter;
      };
      done = "Added counter " + std::to_string(list.size() + 1) + " " +
             describe(platform, counter) + " (uniqueId " + counter.uniqueId() + ")";
      if (counter.notifyOnEnd() && !counter.endDate()) {
        done += "; without an end date no alert will be shown";
      }
    } else if (command.action == "edit" || command.action == "reset") {
      const std::size_t index = resolve(list, command.id);
      CustomCounter counter = list[index];
      if (command.action == "edit") {
        applyOptions(platform, command, counter);
        done = "Counter " + positionText(index) + " is now " + describe(platform, counter);
      } else {
        if (!command.yes &&
            !askYesNo("Reset data usage for counter \"" + counter.name() + "\" to zero?", in,
                      out)) {
          out << "Nothing changed.\n";
          return 0;
        }
        counter.reset();
        done =
            "Counter " + positionText(index) + " \"" + counter.name() + "\" starts again from zero";
      }
      change = [&platform, counter] { return CustomCounter::saveCustomCounter(platform, counter); };
      verify = [counter](const std::vector<CustomCounter>& after) {
        const CustomCounter* c = findById(after, counter.uniqueId());
        return c && *c == counter;
      };
    } else if (command.action == "pause" || command.action == "resume") {
      const std::size_t index = resolve(list, command.id);
      const bool paused = command.action == "pause";
      // As the list's switch does: the whole list written with the one flag changed.
      auto changed = list;
      changed[index].setIsPaused(paused);
      const std::string id = list[index].uniqueId();
      change = [&platform, changed] {
        return CustomCounter::saveCustomCounterData(platform, changed);
      };
      verify = [id, paused](const std::vector<CustomCounter>& after) {
        const CustomCounter* c = findById(after, id);
        return c && c->isPaused() == paused;
      };
      done = "Counter " + positionText(index) + " \"" + list[index].name() + "\" " +
             (paused ? "is paused; its figures stay as they are"
                     : "counts again from the next update");
      if (!paused && list[index].endDate() && *list[index].endDate() <= platform.now()) {
        done += " (its end has passed: the next update stops it again)";
      }
    } else if (command.action == "remove") {
      const std::size_t index = resolve(list, command.id);
      const CustomCounter counter = list[index];
      if (!command.yes && !askYesNo("Delete counter \"" + counter.name() + "\"?", in, out)) {
        out << "Nothing changed.\n";
        return 0;
      }
      change = [&platform, counter] {
        return CustomCounter::removeCustomCounter(platform, counter);
      };
      verify = [counter](const std::vector<CustomCounter>& after) {
        return findById(after, counter.uniqueId()) == nullptr;
      };
      done = "Deleted counter \"" + counter.name() + "\"";
    } else if (command.action == "move") {
      const std::size_t from = resolve(list, command.id);
      const bool digits = !command.to.empty() && command.to.size() < 10 &&
                          std::all_of(command.to.begin(), command.to.end(),
                                      [](unsigned char c) { return std::isdigit(c) != 0; });
      const std::size_t to = digits ? std::stoul(command.to) : 0;
      if (to < 1 || to > list.size()) {
        throw BadInput{"the new position must be from 1 to " + std::to_string(list.size())};
      }
      const std::string id = list[from].uniqueId();
      change = [&platform, from, to] {
        return CustomCounter::reorderCustomCounterFromIndex(platform, from, to - 1);
      };
      verify = [id, to](const std::vector<CustomCounter>& after) {
        return after.size() >= to && after[to - 1].uniqueId() == id;
      };
      done = "Counter \"" + list[from].name() + "\" is now at position " + std::to_string(to);
    } else {
      throw BadInput{"unknown counters command " + quotedValue(command.action)};
    }
  } catch (const BadInput& bad) {
    err << "kestrio: " << bad.line << "; nothing changed\n";
    return kBadInput;
  }

  if (const Stored changed = storeCounterChange(platform, change); !changed.ok()) {
    err << "kestrio: not stored: " << changed.reason() << "\n";
    return kNotStored;
  }
  if (const Stored stored = tx.commit(); !stored.ok()) {
    err << "kestrio: not stored: " << stored.reason() << "\n";
    return kNotStored;
  }
  // Read back what was stored: a change that did not reach the archive is never reported done.
  if (!verify(CustomCounter::getAllCustomCounters(platform))) {
    err << "kestrio: not stored: " << CustomCounter::kFileName
        << " does not hold the change after writing it\n";
    return kNotStored;
  }
  out << done << ".\n";
  return 0;
}

}  // namespace kestrio::cli
