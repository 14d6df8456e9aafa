// libsystemd, loaded the first time a bus or the journal is needed. Most runs of the command line
// need neither: linking the library would load it and the six libraries it needs into every
// process, and relocating them costs more than the whole refresh. Each function Kestrio calls is
// defined here and forwards to the library's own; without the library, a bus cannot be opened
// and the journal refuses the entry, as when the services are not running.
//
// The definitions are hidden, so they never stand in for the library's own functions in another
// library of the process (the Qt D-Bus module loads libsystemd too).
// The journal functions themselves, not the forms that add the caller's source location.
#define SD_JOURNAL_SUPPRESS_LOCATION
#pragma GCC visibility push(hidden)
#include <systemd/sd-bus.h>
#include <systemd/sd-journal.h>
#pragma GCC visibility pop

#include <dlfcn.h>

#include <cerrno>
#include <cstdarg>
#include <cstring>

namespace {

void* library() {
  static void* const handle = ::dlopen("libsystemd.so.0", RTLD_NOW | RTLD_LOCAL);
  return handle;
}

// The library's own function `name`, or nullptr without the library.
template <typename Function>
Function find(const char* name) {
  void* handle = library();
  if (!handle) return nullptr;
  void* symbol = ::dlsym(handle, name);
  Function function = nullptr;
  static_assert(sizeof function == sizeof symbol);
  std::memcpy(&function, &symbol, sizeof function);
  return function;
}

}  // namespace

// Forwards `name` to the library's function of the same name; `otherwise` without the library.
#define KESTRIO_FORWARD(type, name, parameters, arguments, otherwise) \
  extern "C" type name parameters {                                   \
    static const auto own = find<decltype(&name)>(#name);             \
    return own ? own arguments : otherwise;                           \
  }

// The variadic functions forward to the library's va_list forms.
#define KESTRIO_FORWARD_VARIADIC(name, vname, parameters, last, arguments) \
  extern "C" int name parameters {                                         \
    static const auto own = find<decltype(&vname)>(#vname);                \
    if (!own) return -ENOSYS;                                              \
    va_list ap;                                                            \
    va_start(ap, last);                                                    \
    const int result = own arguments;                                      \
    va_end(ap);                                                            \
    return result;                                                         \
  }

KESTRIO_FORWARD(int, sd_bus_open_user, (sd_bus * *bus), (bus), -ENOSYS)
KESTRIO_FORWARD(int, sd_bus_open_system, (sd_bus * *bus), (bus), -ENOSYS)
KESTRIO_FORWARD(int, sd_bus_get_fd, (sd_bus * bus), (bus), -ENOSYS)
KESTRIO_FORWARD(int, sd_bus_process, (sd_bus * bus, sd_bus_message** message), (bus, message),
                -ENOSYS)
KESTRIO_FORWARD(int, sd_bus_set_method_call_timeout, (sd_bus * bus, uint64_t usec), (bus, usec),
                -ENOSYS)
KESTRIO_FORWARD(int, sd_bus_message_new_method_call,
                (sd_bus * bus, sd_bus_message** message, const char* destination, const char* path,
                 const char* interface, const char* member),
                (bus, message, destination, path, interface, member), -ENOSYS)
KESTRIO_FORWARD(int, sd_bus_message_open_container,
                (sd_bus_message * message, char type, const char* contents),
                (message, type, contents), -ENOSYS)
KESTRIO_FORWARD(int, sd_bus_message_close_container, (sd_bus_message * message), (message), -ENOSYS)
KESTRIO_FORWARD(int, sd_bus_match_signal,
                (sd_bus * bus, sd_bus_slot** slot, const char* sender, const char* path,
                 const char* interface, const char* member, sd_bus_message_handler_t callback,
                 void* userdata),
                (bus, slot, sender, path, interface, member, callback, userdata), -ENOSYS)
KESTRIO_FORWARD(int, sd_bus_get_property,
                (sd_bus * bus, const char* destination, const char* path, const char* interface,
                 const char* member, sd_bus_error* error, sd_bus_message** reply, const char* type),
                (bus, destination, path, interface, member, error, reply, type), -ENOSYS)
KESTRIO_FORWARD(int, sd_bus_get_property_trivial,
                (sd_bus * bus, const char* destination, const char* path, const char* interface,
                 const char* member, sd_bus_error* error, char type, void* value),
                (bus, destination, path, interface, member, error, type, value), -ENOSYS)
KESTRIO_FORWARD(int, sd_bus_call,
                (sd_bus * bus, sd_bus_message* message, uint64_t usec, sd_bus_error* error,
                 sd_bus_message** reply),
                (bus, message, usec, error, reply), -ENOSYS)
KESTRIO_FORWARD(int, sd_journal_sendv, (const struct iovec* fields, int count), (fields, count),
                -ENOSYS)

KESTRIO_FORWARD_VARIADIC(sd_bus_message_append, sd_bus_message_appendv,
                         (sd_bus_message * message, const char* types, ...), types,
                         (message, types, ap))
KESTRIO_FORWARD_VARIADIC(sd_bus_message_read, sd_bus_message_readv,
                         (sd_bus_message * message, const char* types, ...), types,
                         (message, types, ap))
KESTRIO_FORWARD_VARIADIC(sd_bus_call_method, sd_bus_call_methodv,
                         (sd_bus * bus, const char* destination, const char* path,
                          const char* interface, const char* member, sd_bus_error* error,
                          sd_bus_message** reply, const char* types, ...),
                         types,
                         (bus, destination, path, interface, member, error, reply, types, ap))
KESTRIO_FORWARD_VARIADIC(sd_bus_set_property, sd_bus_set_propertyv,
                         (sd_bus * bus, const char* destination, const char* path,
                          const char* interface, const char* member, sd_bus_error* error,
                          const char* type, ...),
                         type, (bus, destination, path, interface, member, error, type, ap))
KESTRIO_FORWARD_VARIADIC(sd_bus_emit_signal, sd_bus_emit_signalv,
                         (sd_bus * bus, const char* path, const char* interface, const char* member,
                          const char* types, ...),
                         types, (bus, path, interface, member, types, ap))

// Letting go of nothing needs no library: a process that never had a bus never loads it.
#define KESTRIO_FORWARD_UNREF(type, name)                 \
  extern "C" type* name(type* object) {                   \
    if (!object) return nullptr;                          \
    static const auto own = find<decltype(&name)>(#name); \
    return own ? own(object) : nullptr;                   \
  }

KESTRIO_FORWARD_UNREF(sd_bus, sd_bus_flush_close_unref)
KESTRIO_FORWARD_UNREF(sd_bus_message, sd_bus_message_unref)
KESTRIO_FORWARD_UNREF(sd_bus_slot, sd_bus_slot_unref)

// The error helpers only read or clear the structure Kestrio owns; the library frees what it set.
extern "C" void sd_bus_error_free(sd_bus_error* error) {
  if (!error || (!error->name && !error->message)) return;  // nothing was set
  static const auto own = find<decltype(&sd_bus_error_free)>("sd_bus_error_free");
  if (own) {
    own(error);
  } else {
    *error = SD_BUS_ERROR_NULL;  // nothing can have been set without the library
  }
}

extern "C" int sd_bus_error_is_set(const sd_bus_error* error) {
  return error && error->name ? 1 : 0;
}

extern "C" int sd_bus_error_has_name(const sd_bus_error* error, const char* name) {
  return error && error->name && name && std::strcmp(error->name, name) == 0 ? 1 : 0;
}
