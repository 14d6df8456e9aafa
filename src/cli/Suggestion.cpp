#include "cli/Suggestion.h"

#include <algorithm>
#include <cstddef>

namespace kestrio::cli {

namespace {

// Edits from one word to the other, a swap of two neighbouring letters counting as one.
std::size_t editDistance(std::string_view a, std::string_view b) {
  std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
  for (std::size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
  for (std::size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t change = a[i - 1] == b[j - 1] ? 0 : 1;
      d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + change});
      if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1]) {
        d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
      }
    }
  }
  return d[a.size()][b.size()];
}

// The chain of commands the parser chose, the program first.
std::vector<const CLI::App*> chosenChain(const CLI::App& program) {
  std::vector<const CLI::App*> chain{&program};
  for (;;) {
    const CLI::App* next = nullptr;
    for (const CLI::App* sub :
         chain.back()->get_subcommands([](const CLI::App*) { return true; })) {
      if (sub->parsed()) next = sub;
    }
    if (!next) return chain;
    chain.push_back(next);
  }
}

std::string pathOf(const std::vector<const CLI::App*>& chain) {
  std::string path;
  for (std::size_t i = 1; i < chain.size(); ++i) {
    path += (path.empty() ? "" : " ") + chain[i]->get_name();
  }
  return path;
}

std::string helpOf(const std::string& path) {
  return " (see kestrio " + (path.empty() ? std::string() : path + " ") + "--help)";
}

// Every spelling of the options `command` and the commands above it take.
std::vector<std::string> optionNames(const std::vector<const CLI::App*>& chain) {
  std::vector<std::string> names;
  for (const CLI::App* command : chain) {
    for (const CLI::Option* option : command->get_options()) {
      for (const std::string& name : option->get_lnames()) names.push_back("--" + name);
      for (const std::string& name : option->get_snames()) names.push_back("-" + name);
    }
  }
  return names;
}

}  // namespace

std::vector<std::string> nearestWords(std::string_view word,
                                      const std::vector<std::string>& candidates) {
  std::vector<std::string> found;
  // A beginning long enough to mean something: "hist" for history, "--js" for --json.
  const std::size_t letters = word.size() - std::min(word.find_first_not_of('-'), word.size());
  if (letters >= 2) {
    for (const std::string& c : candidates) {
      if (c.size() > word.size() && c.compare(0, word.size(), word) == 0) found.push_back(c);
    }
  }
  if (!found.empty()) return found;
  // A short word is near only one edit away: two edits turn "ls" into almost anything.
  const std::size_t allowed = letters <= 3 ? 1 : 2;
  std::size_t best = allowed + 1;
  for (const std::string& c : candidates) {
    const std::size_t d = editDistance(word, c);
    if (d < best) {
      best = d;
      found.clear();
    }
    if (d == best) found.push_back(c);
  }
  return found;
}

std::string alternatives(const std::vector<std::string>& words) {
  std::string text;
  for (std::size_t i = 0; i < words.size(); ++i) {
    if (i > 0) text += i + 1 == words.size() ? " or " : ", ";
    text += words[i];
  }
  return text;
}

CLI::Validator oneOf(std::vector<std::string> words) {
  std::string listed;
  for (const std::string& w : words) listed += (listed.empty() ? "" : ",") + w;
  return CLI::Validator(
      [words](std::string& value) -> std::string {
        if (std::find(words.begin(), words.end(), value) != words.end()) return {};
        const std::vector<std::string> near = nearestWords(value, words);
        return "\"" + value + "\" is not " + alternatives(words) +
               (near.empty() ? "" : "; did you mean " + alternatives(near) + "?");
      },
      "{" + listed + "}");
}

std::string commandPath(const CLI::App& program) {
  return pathOf(chosenChain(program));
}

std::string explainParseError(const CLI::App& program, const CLI::ParseError& error) {
  const std::vector<const CLI::App*> chain = chosenChain(program);
  const std::string path = pathOf(chain);
  const std::vector<std::string> extras = program.remaining(true);
  if (dynamic_cast<const CLI::ExtrasError*>(&error) == nullptr || extras.empty()) {
    return error.what() + helpOf(path);
  }
  const std::string& word = extras.front();
  const CLI::App& command = *chain.back();
  const std::string commandName = path.empty() ? "kestrio" : "kestrio " + path;
  if (word.size() > 1 && word[0] == '-') {
    // "--json=x" is looked up as --json.
    const std::string name = word.substr(0, word.find('='));
    const std::vector<std::string> near = nearestWords(name, optionNames(chain));
    if (near.empty()) return "unknown option " + word + helpOf(path);
    return "unknown option " + word + "; did you mean " + alternatives(near) + "?" + helpOf(path);
  }
  std::vector<std::string> commands;
  // A command kept out of the help (the shell's completion helper) is never suggested.
  for (const CLI::App* sub : command.get_subcommands([](const CLI::App*) { return true; })) {
    if (!sub->get_group().empty()) commands.push_back(sub->get_name());
  }
  if (commands.empty()) {
    return commandName + " takes no further argument \"" + word + "\"" + helpOf(path);
  }
  const std::vector<std::string> near = nearestWords(word, commands);
  const std::string unknown = "\"" + word + "\" is not a " + commandName + " command";
  if (near.empty()) return unknown + helpOf(path);
  // The help of the command that was meant, when there is one.
  const std::string meant = near.size() == 1 ? (path.empty() ? "" : path + " ") + near[0] : path;
  return unknown + "; did you mean " + alternatives(near) + "?" + helpOf(meant);
}

}  // namespace kestrio::cli
