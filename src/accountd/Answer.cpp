#include "accountd/Answer.h"

#include "accountd/Access.h"

namespace kestrio::accountd {

std::string answerRequest(uid_t caller, std::string_view request,
                          const std::vector<accounting::Entry>& entries) {
  const accounting::Request parsed = accounting::parseRequest(request);
  if (!parsed.command) return accounting::errorLine(parsed.error);
  std::string answer = accounting::answerHeader();
  for (const accounting::Entry& entry : entries) {
    if (visibleTo(caller, entry.cgroup)) answer += accounting::entryLine(entry);
  }
  return answer + accounting::answerEnd();
}

}  // namespace kestrio::accountd
