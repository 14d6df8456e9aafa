#include <gtest/gtest.h>
#include <linux/if.h>
#include <linux/if_link.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>

#include <cstring>
#include <string>

#include "platform/LinkTable.h"

namespace kestrio {
namespace {

constexpr std::uint32_t kSequence = 42;

// Netlink messages as the kernel lays them out, built for the parser.
class Dump {
 public:
  // One RTM_NEWLINK with the given attributes; `statsBits` 64, 32, 0 (none) or 96 (both).
  Dump& link(int index, const std::string& name, std::uint64_t rx, std::uint64_t tx,
             int statsBits = 64, unsigned flags = 0, std::uint32_t sequence = kSequence) {
    std::string body(NLMSG_ALIGN(sizeof(ifinfomsg)), '\0');
    ifinfomsg info{};
    info.ifi_index = index;
    info.ifi_flags = flags;
    std::memcpy(body.data(), &info, sizeof info);
    attribute(body, IFLA_IFNAME, name + '\0');
    if (!address_.empty()) attribute(body, IFLA_ADDRESS, address_);
    address_.clear();
    if (statsBits == 64 || statsBits == 96) {
      rtnl_link_stats64 stats{};
      stats.rx_bytes = rx;
      stats.tx_bytes = tx;
      attribute(body, IFLA_STATS64, bytes(stats));
    }
    if (statsBits == 32 || statsBits == 96) {
      rtnl_link_stats stats{};
      stats.rx_bytes = static_cast<std::uint32_t>(rx);
      stats.tx_bytes = static_cast<std::uint32_t>(tx);
      attribute(body, IFLA_STATS, bytes(stats));
    }
    return message(RTM_NEWLINK, body, sequence);
  }
  // The hardware address (raw bytes) of the next link.
  Dump& address(std::string raw) {
    address_ = std::move(raw);
    return *this;
  }
  Dump& done() { return message(NLMSG_DONE, std::string(4, '\0'), kSequence); }
  Dump& error() { return message(NLMSG_ERROR, std::string(sizeof(nlmsgerr), '\0'), kSequence); }
  Dump& interrupted() {
    flags_ = NLM_F_DUMP_INTR;
    return *this;
  }
  std::string& text() { return text_; }

 private:
  template <typename T>
  static std::string bytes(const T& value) {
    return std::string(reinterpret_cast<const char*>(&value), sizeof value);
  }
  static void attribute(std::string& body, unsigned short type, const std::string& data) {
    rtattr header{};
    header.rta_len = static_cast<unsigned short>(RTA_LENGTH(data.size()));
    header.rta_type = type;
    body += bytes(header) + data;
    body.resize(NLMSG_ALIGN(body.size()), '\0');
  }
  Dump& message(int type, const std::string& body, std::uint32_t sequence) {
    nlmsghdr header{};
    header.nlmsg_len = static_cast<std::uint32_t>(NLMSG_LENGTH(body.size()));
    header.nlmsg_type = static_cast<std::uint16_t>(type);
    header.nlmsg_flags = static_cast<std::uint16_t>(NLM_F_MULTI | flags_);
    header.nlmsg_seq = sequence;
    text_ += bytes(header) + body;
    text_.resize(NLMSG_ALIGN(text_.size()), '\0');
    return *this;
  }
  std::string text_;
  std::string address_;
  int flags_ = 0;
};

TEST(ParseLinkDump, ReadsNameIndexLoopbackAndTheCountersOfEveryLink) {
  Dump dump;
  dump.link(1, "lo", 500, 500, 64, IFF_LOOPBACK)
      .link(7, "wwan0", 8000000000123ULL, 42)
      .link(9, "old0", 300, 200, 32)
      .link(11, "both0", 6000000000ULL, 7, 96)
      .link(3, "other", 1, 1, 64, 0, kSequence + 1)  // another request's answer
      .done();
  std::vector<InterfaceCounters> links;
  ASSERT_EQ(parseLinkDump(dump.text(), kSequence, links), LinkDumpStatus::Done);
  ASSERT_EQ(links.size(), 4u);
  EXPECT_EQ(links[0].name, "lo");
  EXPECT_TRUE(links[0].loopback);
  EXPECT_EQ(links[0].index, 1u);
  EXPECT_EQ(links[1].name, "wwan0");
  EXPECT_FALSE(links[1].loopback);
  EXPECT_EQ(links[1].index, 7u);
  EXPECT_EQ(links[1].received, 8000000000123ULL);
  EXPECT_EQ(links[1].sent, 42u);
  EXPECT_EQ(links[2].received, 300u);           // a kernel without 64-bit statistics
  EXPECT_EQ(links[3].received, 6000000000ULL);  // the 64-bit figure wins over the wrapped one
}

TEST(ParseLinkDump, TheHardwareAddressIsKeptOnlyWhenItNamesTheLink) {
  struct Case {
    const char* name;
    std::string raw;  // empty: the link has no IFLA_ADDRESS
    const char* address;
  };
  const Case cases[] = {
      {"an Ethernet address", std::string("\x02\x00\x5e\x10\xab\xff", 6), "02:00:5e:10:ab:ff"},
      {"no address attribute", "", ""},
      {"an all-zero address", std::string(6, '\0'), ""},
      {"a longer address", std::string("\x80\x00\x00\x48\xfe\x80", 6) + std::string(14, '\x01'),
       "80:00:00:48:fe:80:01:01:01:01:01:01:01:01:01:01:01:01:01:01"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Dump dump;
    dump.address(c.raw).link(4, "veth0", 10, 20).done();
    std::vector<InterfaceCounters> links;
    ASSERT_EQ(parseLinkDump(dump.text(), kSequence, links), LinkDumpStatus::Done);
    ASSERT_EQ(links.size(), 1u);
    EXPECT_EQ(links[0].hardwareAddress, c.address);
    EXPECT_EQ(links[0].received, 10u);
  }
}

TEST(ParseLinkDump, ADumpGoesOnAcrossBuffersAndFailsWhenDamaged) {
  struct Case {
    const char* name;
    std::string buffer;
    LinkDumpStatus status;
  };
  Dump more, error, interrupted, nameless, cut;
  more.link(2, "eth0", 1, 2);
  error.error();
  interrupted.interrupted().link(2, "eth0", 1, 2).done();
  nameless.link(2, "", 1, 2).done();
  cut.link(2, "eth0", 1, 2);
  std::string truncatedAttribute = cut.text();
  // The name attribute claims more bytes than its message holds.
  const std::size_t rtaAt = NLMSG_HDRLEN + NLMSG_ALIGN(sizeof(ifinfomsg));
  truncatedAttribute[rtaAt] = static_cast<char>(0xff);
  const Case cases[] = {
      {"links without the end", more.text(), LinkDumpStatus::More},
      {"an error answer", error.text(), LinkDumpStatus::Failed},
      {"a dump interrupted by a change", interrupted.text(), LinkDumpStatus::Failed},
      {"a link without a name", nameless.text(), LinkDumpStatus::Failed},
      {"an attribute past its message", truncatedAttribute, LinkDumpStatus::Failed},
      {"a message cut short", more.text().substr(0, more.text().size() - 8),
       LinkDumpStatus::Failed},
      {"a header cut short", more.text() + std::string(6, '\0'), LinkDumpStatus::Failed},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<InterfaceCounters> links;
    EXPECT_EQ(parseLinkDump(c.buffer, kSequence, links), c.status);
  }
}

}  // namespace
}  // namespace kestrio
