// kestrio: the command line of the data-usage monitor.
#include <malloc.h>
#include <signal.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <string_view>

#include "cli/AppsCommand.h"
#include "cli/Commands.h"
#include "cli/Completion.h"
#include "cli/ConnectionsCommand.h"
#include "cli/CountersCommand.h"
#include "cli/Daemon.h"
#include "cli/HistoryCommands.h"
#include "cli/ListCommands.h"
#include "cli/NamedCommand.h"
#include "cli/PlanCommand.h"
#include "cli/QuotedValue.h"
#include "cli/SettingsCommand.h"
#include "cli/Suggestion.h"
#include "cli/TerminalColour.h"
#include "cli/TerminalText.h"
#include "platform/LinuxPlatform.h"

namespace {

std::unique_ptr<kestrio::LinuxPlatform> openPlatform(bool verbose, bool readOnly,
                                                     bool absentIsEmpty = false) {
  std::string error;
  auto environment = kestrio::LinuxEnvironment::fromProcessEnvironment();
  environment.verbose = verbose;
  environment.readOnly = readOnly;
  environment.absentIsEmpty = absentIsEmpty;
  auto platform = kestrio::LinuxPlatform::create(environment, &error);
  if (!platform) std::cerr << "kestrio: " << error << "\n";
  return platform;
}

// Whether the command was set up and chosen.
bool chosen(const CLI::App* command) {
  return command != nullptr && command->parsed();
}

}  // namespace

int main(int argc, char** argv) {
  // Before anything else: a stop request that comes while the daemon is still starting stays
  // pending until the daemon takes it, so even a SIGTERM in its first milliseconds gets the last
  // pass. Other commands get the mask they started with back once they are known.
  sigset_t stopSignals;
  sigset_t startMask;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGHUP);
  sigprocmask(SIG_BLOCK, &stopSignals, &startMask);

  // Names from files and the user never reach the terminal as escape sequences.
  kestrio::cli::TerminalTextGuard safeOut(std::cout);
  kestrio::cli::TerminalTextGuard safeErr(std::cerr);

  // Whole files (the history archive is megabytes) are read and written as single buffers: give
  // each its own mapping, returned at once when freed, so a refresh's memory stays that of the
  // buffers alive together instead of growing with every one it has used.
  mallopt(M_MMAP_THRESHOLD, 256 * 1024);
  CLI::App app{"Kestrio: counts the traffic of your cellular and Wi-Fi networks", "kestrio"};
  app.require_subcommand(0, 1);
  app.footer("Without a command, kestrio shows the status summary, as kestrio status does.");
  kestrio::cli::GlobalOptions globals;
  kestrio::cli::addGlobalOptions(app, globals);

  // What the commands' arguments and options are read into.
  kestrio::cli::StatusOptions statusOptions;
  bool statusCached = false;
  std::string adjustNetwork;
  std::string amount;
  std::string resetNetwork;
  bool resetYes = false;
  std::string interval = "15";
  std::string planWhat;
  std::vector<std::string> planArgs;
  bool planWifi = false;
  bool settingsJson = false;
  std::string key;
  std::string value;
  kestrio::cli::HistoryQuery query;
  bool historyJson = false;
  kestrio::cli::HistoryExportOptions exportOptions;
  bool csvFlag = false;
  kestrio::cli::HistoryDeleteOptions deleteOptions;
  bool clearYes = false;
  bool countersJson = false;
  kestrio::cli::CounterCommand counterCommand;
  bool notificationsJson = false;
  kestrio::cli::ConnectionsCommand connectionsCommand;
  kestrio::cli::AppsCommand appsCommand;

  const std::optional<std::string_view> only = kestrio::cli::namedCommand(argc, argv);
  const auto wanted = [&](std::string_view command) { return !only || *only == command; };
  const auto networks = kestrio::cli::oneOf({"cellular", "wifi"});

  CLI::App* update = nullptr;
  if (wanted("update")) {
    update = app.add_subcommand("update", "Count the traffic since the last update");
  }

  CLI::App* status = nullptr;
  if (wanted("status")) {
    status = app.add_subcommand("status",
                                "Count, then show each network's period usage against its quota");
    auto* statusJson =
        status->add_flag("--json", statusOptions.asJson, "Print the screens and records as JSON");
    auto* statusDetail =
        status->add_flag("--detail", statusOptions.detail,
                         "Also show the fourteen rows of each screen, the badge and both records");
    status
        ->add_flag("--oneline", statusOptions.oneline,
                   "One line for status bars and scripts: 1, then per network "
                   "NETWORK;STATUS;USED;QUOTA;UNIT;PERCENT;DAYS ELAPSED;DAYS, all ';'-separated "
                   "(QUOTA and PERCENT empty without a quota)")
        ->excludes(statusJson)
        ->excludes(statusDetail);
    statusJson->excludes(statusDetail);
    status->add_option("--network", statusOptions.network, "Show only cellular or wifi")
        ->check(networks);
    status->add_flag("--cached", statusCached,
                     "Store nothing: show what is stored with the traffic since the last update "
                     "counted in memory, sharing the data with other readers (for status bars "
                     "that ask every few seconds)");
    status
        ->add_option("--alert", statusOptions.alert,
                     "Exit with status 1 when a network's period usage has reached PERCENT of "
                     "its quota (0 when not, 2 on an error); a network without a quota never "
                     "alerts. Prints the networks that reached it")
        ->type_name("PERCENT");
  }

  CLI::App* adjust = nullptr;
  if (wanted("adjust")) {
    adjust = app.add_subcommand("adjust", "Set the current period's usage of a network");
    adjust->add_option("NETWORK", adjustNetwork, "cellular or wifi")->required()->check(networks);
    adjust->add_option("AMOUNT", amount, "The usage in the display unit, as your locale writes it")
        ->required();
  }

  CLI::App* reset = nullptr;
  if (wanted("reset")) {
    reset = app.add_subcommand("reset", "Start a network's period usage again from zero");
    reset->add_option("NETWORK", resetNetwork, "cellular or wifi")->required()->check(networks);
    reset->add_flag("--yes", resetYes, "Reset without asking");
  }

  CLI::App* daemon = nullptr;
  if (wanted("daemon")) {
    daemon = app.add_subcommand("daemon", "Keep counting in the background");
    daemon->add_option("--interval", interval,
                       "Minutes between two updates, 0.05 to 1440 (default 15)");
  }

  CLI::App* plan = nullptr;
  if (wanted("plan")) {
    plan = app.add_subcommand(
        "plan",
        "Show both plans, or set the cellular plan (the Wi-Fi one with --wifi): type "
        "monthly|weekly, start-day DAY|WEEKDAY, every N, custom-start DATE [HH:MM], quota N "
        "MB|GB, daily-cap N KB|MB|GB (0 for none); usage N MB|GB (cellular)");
    plan->add_option("WHAT", planWhat,
                     "type, start-day, every, custom-start, quota, daily-cap or usage; without "
                     "it, the plans are shown");
    plan->add_option("VALUE", planArgs, "The new value and its unit (5 GB, 1.5GB)");
    plan->add_flag("--wifi", planWifi, "Show or set the Wi-Fi plan instead of the cellular one");
  }

  CLI::App* settings = nullptr;
  CLI::App* settingsSet = nullptr;
  if (wanted("settings")) {
    settings = app.add_subcommand("settings", "List the settings, or change one");
    settings->add_flag("--json", settingsJson, "Print the settings as JSON");
    settingsSet = settings->add_subcommand("set", "Store one setting and apply the settings");
    settingsSet->add_option("KEY", key, "The setting's key (see kestrio settings)")->required();
    settingsSet->add_option("VALUE", value, "Its new value")->required();
  }

  CLI::App* history = nullptr;
  CLI::App* historyExport = nullptr;
  CLI::App* historyMail = nullptr;
  CLI::App* historyDelete = nullptr;
  CLI::App* historyClear = nullptr;
  if (wanted("history")) {
    history = app.add_subcommand("history", "List the closed billing periods or days");
    history->add_flag("--json", historyJson, "Print the records as JSON");
    history->add_flag("--days", query.days, "List the day records instead");
    history
        ->add_option("--network", query.network, "cellular or wifi (with --days; both without it)")
        ->check(networks);
    history->add_option("--from", query.from, "First day, YYYY-MM-DD (default: 30 days ago)");
    history->add_option("--to", query.to, "Last day, YYYY-MM-DD (default: today)");
    history->require_subcommand(0, 1);
    historyExport = history->add_subcommand("export", "Write the CSV file or the HTML table");
    historyMail = history->add_subcommand("mail", "Send the CSV file or the HTML table");
    for (auto* sub : {historyExport, historyMail}) {
      auto* csv = sub->add_flag("--csv", csvFlag, "The CSV file (the default)");
      sub->add_flag("--html", exportOptions.html, "The HTML table instead")->excludes(csv);
      sub->add_flag("--days", exportOptions.query.days, "The day records instead");
      sub->add_option("--network", exportOptions.query.network,
                      "cellular or wifi (with --days; both without it)")
          ->check(networks);
      sub->add_option("--from", exportOptions.query.from, "First day, YYYY-MM-DD");
      sub->add_option("--to", exportOptions.query.to, "Last day, YYYY-MM-DD");
    }
    historyExport->add_option("-o,--output", exportOptions.output,
                              "The file to write (standard output without it)");
    historyDelete = history->add_subcommand("delete", "Delete one record, after asking");
    historyDelete
        ->add_option("RECORD", deleteOptions.record,
                     "Its position as kestrio history lists it (from 1; with the same --days, "
                     "--network, --from and --to), or its uniqueId (see kestrio history --json)")
        ->required();
    historyDelete->add_flag("--days", deleteOptions.query.days, "Count in the day records");
    historyDelete->add_option("--network", deleteOptions.query.network, "cellular or wifi")
        ->check(networks);
    historyDelete->add_option("--from", deleteOptions.query.from, "First day, YYYY-MM-DD");
    historyDelete->add_option("--to", deleteOptions.query.to, "Last day, YYYY-MM-DD");
    historyDelete->add_flag("--yes", deleteOptions.yes, "Delete without asking");
    historyClear = history->add_subcommand("clear", "Delete every record, days included");
    historyClear->add_flag("--yes", clearYes, "Clear without asking");
  }

  CLI::App* counters = nullptr;
  if (wanted("counters")) {
    counters = app.add_subcommand("counters", "List, add and change the custom counters");
    counters->add_flag("--json", countersJson, "Print the counters as JSON");
    kestrio::cli::addCounterSubcommands(*counters, counterCommand);
  }

  // The shell's completion asks for the words only the data and the schema know; not listed in
  // the help.
  CLI::App* complete = nullptr;
  std::vector<std::string> completeRequest;
  if (wanted("__complete")) {
    complete = app.add_subcommand("__complete", "");
    complete->group("");
    complete->add_option("REQUEST", completeRequest)->required();
  }

  CLI::App* notifications = nullptr;
  if (wanted("notifications")) {
    notifications = app.add_subcommand("notifications", "List the scheduled notifications");
    notifications->add_flag("--json", notificationsJson, "Print the notifications as JSON");
  }

  CLI::App* connections = nullptr;
  if (wanted("connections")) {
    connections = app.add_subcommand(
        "connections", "List each network's usage per connection, or mark one metered or not");
    kestrio::cli::addConnectionsOptions(*connections, connectionsCommand);
  }

  CLI::App* apps = nullptr;
  if (wanted("apps")) {
    apps = app.add_subcommand("apps", "List each network's usage per application");
    kestrio::cli::addAppsOptions(*apps, appsCommand);
  }

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    std::cerr << "kestrio: " << kestrio::cli::explainParseError(app, e) << "\n";
    return 2;
  }

  if (chosen(complete)) {
    // Only reads: a Tab never creates the data directory or writes a file.
    auto reader = openPlatform(false, true, true);
    return reader ? kestrio::cli::runComplete(*reader, completeRequest, std::cout) : 1;
  }

  std::optional<double> intervalMinutes;
  if (chosen(daemon)) {
    intervalMinutes = kestrio::cli::parseInterval(interval);
    if (!intervalMinutes) {
      std::cerr << "kestrio: --interval takes a number of minutes from "
                << kestrio::cli::kMinIntervalMinutes << " to " << kestrio::cli::kMaxIntervalMinutes
                << ", not " << kestrio::cli::quotedValue(interval) << "\n";
      return 2;
    }
  } else {
    // Ctrl-C ends any other command at once; a file it stores is replaced whole or not at all.
    sigprocmask(SIG_SETMASK, &startMask, nullptr);
  }

  auto platform = openPlatform(globals.verbose, statusCached && chosen(status));
  // A failure to start is an error whatever the command; with --alert, 1 would read "reached".
  if (!platform) return statusOptions.alert && chosen(status) ? 2 : 1;
  statusOptions.colour =
      kestrio::cli::useColour(*kestrio::cli::parseColourChoice(globals.colour),
                              isatty(STDOUT_FILENO) != 0, std::getenv("NO_COLOR"));
  namespace cli = kestrio::cli;
  if (chosen(update)) return cli::runUpdate(*platform, std::cerr);
  // The program alone shows the summary, as `kestrio status` does.
  if (chosen(status) || app.get_subcommands().empty())
    return cli::runStatus(*platform, statusOptions, std::cout, std::cerr);
  if (chosen(adjust)) return cli::runAdjust(*platform, adjustNetwork, amount, std::cout, std::cerr);
  if (chosen(reset)) {
    return cli::runReset(*platform, resetNetwork, resetYes, isatty(STDIN_FILENO) != 0, std::cin,
                         std::cout, std::cerr);
  }
  if (chosen(daemon)) return cli::runDaemon(*platform, *intervalMinutes, std::cerr);
  if (chosen(plan))
    return cli::runPlan(*platform, planWhat, planArgs, planWifi, std::cout, std::cerr);
  if (chosen(settingsSet)) return cli::runSettingsSet(*platform, key, value, std::cout, std::cerr);
  if (chosen(settings)) return cli::runSettingsList(*platform, settingsJson, std::cout);
  if (chosen(historyExport))
    return cli::runHistoryExport(*platform, exportOptions, std::cout, std::cerr);
  if (chosen(historyMail))
    return cli::runHistoryMail(*platform, exportOptions, std::cout, std::cerr);
  if (chosen(historyDelete)) {
    return cli::runHistoryDelete(*platform, deleteOptions, isatty(STDIN_FILENO) != 0, std::cin,
                                 std::cout, std::cerr);
  }
  if (chosen(historyClear)) {
    return cli::runHistoryClear(*platform, clearYes, isatty(STDIN_FILENO) != 0, std::cin, std::cout,
                                std::cerr);
  }
  if (chosen(history)) return cli::runHistory(*platform, query, historyJson, std::cout, std::cerr);
  if (chosen(counters) && !counterCommand.action.empty()) {
    return cli::runCounterCommand(*platform, counterCommand, isatty(STDIN_FILENO) != 0, std::cin,
                                  std::cout, std::cerr);
  }
  if (chosen(counters)) return cli::runCounters(*platform, countersJson, std::cout);
  if (chosen(notifications)) return cli::runNotifications(*platform, notificationsJson, std::cout);
  if (chosen(connections)) {
    return cli::runConnectionsCommand(*platform, connectionsCommand, std::cout, std::cerr);
  }
  if (chosen(apps)) return cli::runAppsCommand(*platform, appsCommand, std::cout);
  return 2;  // parsing above leaves no other case
}
