// The history archive as standard property-list tools see it: Python's plistlib reads the file
// our code wrote and prints what it found.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <sstream>

#include "engine/History.h"
#include "platform/LinuxPlatform.h"
#include "platform/PropertyList.h"
#include "support/Process.h"

namespace kestrio {
namespace {

// Prints the archive's layout and each record as key=value pairs, dates as seconds since 1970.
constexpr const char* kReader = R"(
import plistlib, sys, datetime
root = plistlib.load(open(sys.argv[1], 'rb'))
objs = root['$objects']
print(root['$archiver'], root['$version'], objs[0], type(root['$top']['historyLogs']).__name__)
lst = objs[root['$top']['historyLogs'].data]
print(objs[lst['$class'].data]['$classes'])
def value(v):
    if isinstance(v, plistlib.UID):
        if v.data == 0: return 'null'
        v = objs[v.data]
        if isinstance(v, dict):
            return repr(v['NS.time'] + 978307200) + '/' + objs[v['$class'].data]['$classname']
    return repr(v)
for ref in lst['NS.objects']:
    rec = objs[ref.data]
    print(objs[rec['$class'].data]['$classname'],
          ' '.join(k + '=' + value(rec[k]) for k in sorted(rec) if k != '$class'))
)";

// The program's path from PATH (the process runner takes no shell); empty when it is not there.
std::string onPath(const std::string& program) {
  const char* path = std::getenv("PATH");
  std::istringstream dirs(path ? path : "");
  for (std::string dir; std::getline(dirs, dir, ':');) {
    std::string candidate = (dir.empty() ? "." : dir) + "/" + program;
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return {};
}

TEST(ArchiveCompat, PythonPlistlibReadsTheHistoryArchive) {
  testing::TemporaryDirectory dir;
  LinuxEnvironment env;
  env.documentsDirectory = dir.path() + "/home";
  env.zoneId = "UTC";
  env.localeId = "en_US";
  std::string error;
  auto platform = LinuxPlatform::create(env, &error);
  ASSERT_TRUE(platform) << error;

  History day(*platform, Date::fromSecondsSince1970(1767225600),
              Date::fromSecondsSince1970(1767312000), 1.5, 2.5, 4.0, 2, 2);
  day.setUniqueId("Grüße-🙂");
  History period(*platform, Date::fromSecondsSince1970(1767225600.25),
                 Date::fromSecondsSince1970(1769904000), std::nullopt, 1e12, 1e12, 1, 1);
  ASSERT_TRUE(History::addNewHistoryItemLog(*platform, day).ok());
  ASSERT_TRUE(History::addNewHistoryItemLog(*platform, period).ok());

  const std::string python = onPath("python3");
  ASSERT_FALSE(python.empty()) << "python3 is needed on PATH to check the archive with plistlib";
  auto result =
      testing::runProcess({python, "-c", kReader, platform->documentPath(History::kFileName)}, {});
  ASSERT_EQ(result.exitCode, 0) << "python3 (with plistlib) must be installed and on PATH\n"
                                << result.err;
  EXPECT_EQ(result.out,
            "NSKeyedArchiver 100000 $null UID\n"
            "['NSMutableArray', 'NSArray', 'NSObject']\n"
            "History dataReceived=2.5 dataSent=1.5 dataTotal=4.0 dataType=2 "
            "endDate=1767312000.0/NSDate historyType=2 startDate=1767225600.0/NSDate "
            "uniqueId='Grüße-🙂'\n"
            "History dataReceived=1000000000000.0 dataSent=null dataTotal=1000000000000.0 "
            "dataType=1 endDate=1769904000.0/NSDate historyType=1 startDate=1767225600.25/NSDate "
            "uniqueId='" +
                *period.uniqueId() + "'\n");
}

// Names with escape sequences, controls and malformed UTF-8 (a counter's name, a place) must not
// make a usage record that Python's plistlib (expat) refuses as a whole.
TEST(ArchiveCompat, PythonPlistlibReadsXmlWithHostileStrings) {
  testing::TemporaryDirectory dir;
  const std::string path = dir.path() + "/hostile.plist";
  const PlistValue::Dictionary hostile{
      {"escape", PlistValue(std::string("a\x1b[2J\x07z"))},
      {"controls", PlistValue(std::string("\x01\x02\x0b\x0c\x1f"))},
      {"malformed\xff", PlistValue(std::string("K\xC3\xB6ln \xC0\xAF \xED\xA0\x80 \xE2\x82"))},
      {"nonCharacter", PlistValue(std::string("\xEF\xBF\xBE\xEF\xBF\xBF"))}};
  testing::replaceFile(path, plist::toXml(PlistValue(hostile)));

  const std::string python = onPath("python3");
  ASSERT_FALSE(python.empty()) << "python3 is needed on PATH to check the file with plistlib";
  auto result = testing::runProcess({python, "-c",
                                     "import plistlib, sys\n"
                                     "d = plistlib.load(open(sys.argv[1], 'rb'))\n"
                                     "print(ascii(sorted(d.items())))\n",
                                     path},
                                    {});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(result.out,
            "[('controls', '\\ufffd\\ufffd\\ufffd\\ufffd\\ufffd'), "
            "('escape', 'a\\ufffd[2J\\ufffdz'), "
            "('malformed\\ufffd', 'K\\xf6ln \\ufffd\\ufffd \\ufffd\\ufffd\\ufffd "
            "\\ufffd\\ufffd'), "
            "('nonCharacter', '\\ufffd\\ufffd')]\n");
}

}  // namespace
}  // namespace kestrio
