#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Notifications.h"

namespace kestrio {

// How a message reaches the user's mail client: the arguments of `xdg-email`, and the HTML file
// to write first when the body is HTML (in a private temporary directory, removed once the mail
// client has been handed the message). A mailto: link carries only plain text, so an HTML body
// travels as an attached file beside its text without the tags.
struct MailClientCall {
  std::vector<std::string> arguments;          // starts with "xdg-email"
  std::optional<std::string> htmlFileContent;  // to be written at the HTML path, then attached
};

// Builds the call for a message. Every text is a separate argument (no shell ever sees it);
// recipients go through "--to", which xdg-email percent-encodes, so an address cannot add
// fields of its own to the mailto: link. Empty texts and empty addresses are left out, as
// xdg-email refuses an option without a value.
MailClientCall xdgEmailCall(const MailMessage& message, const std::string& htmlPath);

// The text of an HTML fragment: tags removed, line breaks at paragraphs, block ends and rows,
// cells of a row separated by tabs, entities decoded, runs of blanks folded into one except in
// preformatted text, which keeps its blanks and line breaks.
std::string plainTextFromHtml(std::string_view html);

// Runs a program found on PATH without a shell and waits for it. Its standard input is
// /dev/null; its standard output is collected into `output` when given, else discarded. Answers
// the exit code, or -1 when it could not be started or did not exit normally.
int runProgram(const std::vector<std::string>& arguments, std::string* output);

// Whether an executable of that name is on PATH.
bool isOnPath(std::string_view program);

}  // namespace kestrio
