#pragma once

#include <sys/types.h>

#include <string>
#include <string_view>
#include <vector>

#include "platform/AccountingProtocol.h"

namespace kestrio::accountd {

// The whole answer to what one client sent: the counters of the cgroups the caller may read
// (see visibleTo), or an error line for a request the service does not take.
std::string answerRequest(uid_t caller, std::string_view request,
                          const std::vector<accounting::Entry>& entries);

}  // namespace kestrio::accountd
