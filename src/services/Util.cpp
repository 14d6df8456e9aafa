#include "services/Util.h"

#include <uuid/uuid.h>

namespace kestrio {

std::string Util::GetUUID() {
  uuid_t id;
  uuid_generate_random(id);
  char text[37];
  uuid_unparse_upper(id, text);
  return text;
}

bool Util::isBetweenDate(Date date, Date start, Date end) {
  return start <= date && date <= end;
}

bool Util::isSameAsThisDate(Platform& platform, Date a, Date b) {
  return platform.calendar().isSameDay(a, b);
}

}  // namespace kestrio
