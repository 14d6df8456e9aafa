#include "cli/Confirm.h"

#include <algorithm>
#include <cctype>
#include <istream>
#include <ostream>

namespace kestrio::cli {

bool refusesWithoutTerminal(const std::string& command, bool yes, bool interactive,
                            std::ostream& err) {
  if (yes || interactive) return false;
  err << "kestrio: " << command
      << " asks for confirmation, and there is no terminal to ask on; nothing was changed (pass "
         "--yes to go ahead without asking)\n";
  return true;
}

bool askYesNo(const std::string& question, std::istream& in, std::ostream& out) {
  out << question << " [y/N] " << std::flush;
  std::string answer;
  if (!std::getline(in, answer)) {
    out << "\n";
    return false;
  }
  // Spaces around the answer do not change it.
  const auto first = answer.find_first_not_of(" \t\r");
  const auto last = answer.find_last_not_of(" \t\r");
  answer = first == std::string::npos ? "" : answer.substr(first, last - first + 1);
  std::transform(answer.begin(), answer.end(), answer.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return answer == "y" || answer == "yes";
}

}  // namespace kestrio::cli
