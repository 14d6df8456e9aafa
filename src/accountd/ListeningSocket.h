#pragma once

#include <string>

namespace kestrio::accountd {

// The service's socket at `path`, listening, non-blocking, open to every local user (each
// request is checked by its caller's credentials). Its directory must be this process's own
// and writable by nobody else; one is made when missing. A socket an earlier run left there is
// replaced; anything else that is there is left alone, and the service does not start. -1, with
// the reason in `error`, when the socket cannot be made.
int openListeningSocket(const std::string& path, std::string& error);

}  // namespace kestrio::accountd
