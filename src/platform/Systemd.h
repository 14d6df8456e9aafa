#pragma once

// libsystemd, loaded the first time a bus or the journal is needed. Most runs of the command line
// need neither, and loading the library with the six it needs into every process costs more than
// the whole refresh. Callers ask `load()` for the table of the functions Kestrio calls and treat
// its absence as they treat a bus or a journal that is not running.

// The journal functions themselves, not the forms that add the caller's source location.
#define SD_JOURNAL_SUPPRESS_LOCATION
#include <systemd/sd-bus.h>
#include <systemd/sd-journal.h>

#include <memory>
#include <string>

namespace kestrio::systemd {

// Every function of libsystemd that Kestrio calls, one line each.
// clang-format off
#define KESTRIO_SYSTEMD_FUNCTIONS(X) \
  X(sd_bus_open_user)                \
  X(sd_bus_open_system)              \
  X(sd_bus_get_fd)                   \
  X(sd_bus_process)                  \
  X(sd_bus_set_method_call_timeout)  \
  X(sd_bus_flush_close_unref)        \
  X(sd_bus_message_new_method_call)  \
  X(sd_bus_message_open_container)   \
  X(sd_bus_message_close_container)  \
  X(sd_bus_message_append)           \
  X(sd_bus_message_read)             \
  X(sd_bus_message_enter_container)  \
  X(sd_bus_message_exit_container)   \
  X(sd_bus_message_skip)             \
  X(sd_bus_message_unref)            \
  X(sd_bus_message_get_member)       \
  X(sd_bus_message_copy)             \
  X(sd_bus_message_set_allow_interactive_authorization) \
  X(sd_bus_match_signal)             \
  X(sd_bus_add_match)                \
  X(sd_bus_slot_unref)               \
  X(sd_bus_call)                     \
  X(sd_bus_call_method)              \
  X(sd_bus_get_property)             \
  X(sd_bus_get_property_trivial)     \
  X(sd_bus_set_property)             \
  X(sd_bus_emit_signal)              \
  X(sd_bus_error_free)               \
  X(sd_bus_error_has_name)           \
  X(sd_journal_sendv)
// clang-format on

// The library's functions, each under its own name.
struct Functions {
#define KESTRIO_SYSTEMD_POINTER(name) decltype(&::name) name = nullptr;
  KESTRIO_SYSTEMD_FUNCTIONS(KESTRIO_SYSTEMD_POINTER)
#undef KESTRIO_SYSTEMD_POINTER
};

// The system's libsystemd, loaded once; nullptr when it is missing or lacks one of the functions.
const Functions* load();

// Loads the library `soname` into a table of its own; nullptr, with `why` set, when the library
// or one of the functions is missing. The handle stays open for the life of the process.
std::unique_ptr<Functions> loadFrom(const char* soname, std::string* why);

}  // namespace kestrio::systemd
