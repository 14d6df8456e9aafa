#pragma once

#include <string>
#include <vector>

namespace kestrio {

// The window's program: beside the running one once installed (both in PREFIX/bin), or in the
// build tree's src/gui when this is src/cli's kestrio; else whichever one the PATH finds.
std::string windowProgram();

// How a background process brings the window up on `network`.
struct WindowStart {
  // What the user's session passes to the window: the data directory it must show, and the
  // token that lets the compositor give it the focus (empty: none came).
  std::string dataDirectory;
  std::string activationToken;
  // This process is a unit of the user's service manager (the daemon's unit): the window is
  // then started as a unit of its own, with the session's display (which a unit started before
  // the desktop may lack) and a life apart from the daemon's, whose stop would end it.
  bool underServiceManager = false;
  // The transient unit's distinct part, so two windows started at once never share a name.
  std::string instance;
};

// The command that starts the window `program` on `network`.
std::vector<std::string> windowCommand(const std::string& program, const std::string& network,
                                       const WindowStart& start);

// Starts `command`, with `environment` ("NAME=value") added to this process's own, apart from
// this process: in a session of its own, with no signal blocked, never waited for and never left
// behind as a child. False, with the reason in `error`, when the program could not be run.
bool startDetached(const std::vector<std::string>& command,
                   const std::vector<std::string>& environment, std::string* error);

}  // namespace kestrio
