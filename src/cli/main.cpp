// kestrio: the command line of the data-usage monitor.
#include <CLI/CLI.hpp>
#include <iostream>

#include "cli/Commands.h"
#include "platform/LinuxPlatform.h"

namespace {

std::unique_ptr<kestrio::LinuxPlatform> openPlatform() {
  std::string error;
  auto platform =
      kestrio::LinuxPlatform::create(kestrio::LinuxEnvironment::fromProcessEnvironment(), &error);
  if (!platform) std::cerr << "kestrio: " << error << "\n";
  return platform;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"Kestrio: counts the traffic of your cellular and Wi-Fi networks", "kestrio"};
  app.require_subcommand(0, 1);

  auto* update = app.add_subcommand("update", "Count the traffic since the last update");
  auto* status = app.add_subcommand("status", "Count, then show both usage records");
  bool asJson = false;
  status->add_flag("--json", asJson, "Print every field of both records as JSON");

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    std::cerr << "kestrio: " << e.what() << " (see kestrio --help)\n";
    return 2;
  }

  if (!*update && !*status) {
    std::cerr << "kestrio: a command is needed: update or status (see kestrio --help)\n";
    return 2;
  }
  auto platform = openPlatform();
  if (!platform) return 1;
  if (*update) return kestrio::cli::runUpdate(*platform, std::cerr);
  return kestrio::cli::runStatus(*platform, asJson, std::cout, std::cerr);
}
