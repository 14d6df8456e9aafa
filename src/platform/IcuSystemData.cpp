// ICU's data for a program with ICU's code built in. The code is linked statically so the command
// line starts without relocating ICU's libraries, but the 30 MB of locale and time-zone data stay
// in the system's shared data library: this file stands in an empty data package for the
// linked-in one, and before main hands ICU the system library's package instead.
#include <dlfcn.h>
#include <unicode/udata.h>
#include <unicode/uversion.h>
#include <unistd.h>

#include <cstdint>
#include <string>

#define KESTRIO_STRINGIFY2(x) #x
#define KESTRIO_STRINGIFY(x) KESTRIO_STRINGIFY2(x)

namespace {

// The layout of an ICU common data package whose table of contents is empty.
struct EmptyDataPackage {
  uint16_t headerSize;
  uint8_t magic1;
  uint8_t magic2;
  UDataInfo info;
  char padding[8];
  uint32_t count;
  uint32_t reserved;
  int32_t table[4];
};

}  // namespace

// ICU's code refers to its data package by this name; with no entries, ICU goes on to the package
// set below.
extern "C" alignas(16) const EmptyDataPackage U_ICUDATA_ENTRY_POINT = {
    32,
    0xda,
    0x27,
    {sizeof(UDataInfo),
     0,
     U_IS_BIG_ENDIAN,
     U_CHARSET_FAMILY,
     sizeof(char16_t),
     0,
     {0x54, 0x6f, 0x43, 0x50},  // "ToCP": a table of contents
     {1, 0, 0, 0},
     {0, 0, 0, 0}},
    {},
    0,
    0,
    {0, 0, 0, 0}};

namespace {

// Runs before main, so before the first date or number is formatted.
__attribute__((constructor)) void useSystemIcuData() {
  const std::string library = "libicudata.so." KESTRIO_STRINGIFY(U_ICU_VERSION_MAJOR_NUM);
  // Kept for the life of the process: ICU reads from it until the end.
  void* handle = ::dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
  const void* package =
      handle ? ::dlsym(handle, KESTRIO_STRINGIFY(U_ICUDATA_ENTRY_POINT)) : nullptr;
  UErrorCode status = U_ZERO_ERROR;
  if (package) udata_setCommonData(package, &status);
  if (!package || U_FAILURE(status)) {
    // Dates and numbers would come out in the root locale's forms, or not at all.
    const std::string line =
        "kestrio: ICU's data cannot be loaded from " + library + "; is libicu installed?\n";
    (void)!::write(STDERR_FILENO, line.data(), line.size());
  }
}

}  // namespace
