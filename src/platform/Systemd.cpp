#include "platform/Systemd.h"

#include <dlfcn.h>

#include <cstring>

namespace kestrio::systemd {

namespace {

template <typename Function>
Function symbol(void* handle, const char* name) {
  void* found = ::dlsym(handle, name);
  Function function = nullptr;
  static_assert(sizeof function == sizeof found);
  std::memcpy(&function, &found, sizeof function);
  return function;
}

}  // namespace

std::unique_ptr<Functions> loadFrom(const char* soname, std::string* why) {
  void* handle = ::dlopen(soname, RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    if (why != nullptr) *why = ::dlerror();
    return nullptr;
  }
  auto functions = std::make_unique<Functions>();
  // A library without one of them is an older or another one: none of it is used then.
#define KESTRIO_SYSTEMD_FIND(name)                                                \
  functions->name = symbol<decltype(&::name)>(handle, #name);                     \
  if (functions->name == nullptr) {                                               \
    if (why != nullptr) *why = std::string(soname) + " has no function " + #name; \
    ::dlclose(handle);                                                            \
    return nullptr;                                                               \
  }
  KESTRIO_SYSTEMD_FUNCTIONS(KESTRIO_SYSTEMD_FIND)
#undef KESTRIO_SYSTEMD_FIND
  return functions;
}

const Functions* load() {
  static const std::unique_ptr<Functions> functions = loadFrom("libsystemd.so.0", nullptr);
  return functions.get();
}

}  // namespace kestrio::systemd
