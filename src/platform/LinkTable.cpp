#include "platform/LinkTable.h"

#include <linux/if.h>
#include <linux/if_link.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <string>

namespace kestrio {
namespace {

// Closes the socket on every way out.
class Socket {
 public:
  explicit Socket(int fd) : fd_(fd) {}
  ~Socket() {
    if (fd_ >= 0) ::close(fd_);
  }
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;
  int fd() const { return fd_; }

 private:
  int fd_;
};

// Copies a kernel structure out of a buffer that need not be aligned for it.
template <typename T>
T copyOut(const char* at) {
  T value{};
  std::memcpy(&value, at, sizeof(T));
  return value;
}

// A hardware address in lower-case hex, bytes parted by colons. Nothing for an address of no
// bytes, of more than a link can have, or of zeros only (loopback, links without one): such an
// address tells no link from another.
std::string hardwareAddressText(const char* data, std::size_t size) {
  constexpr std::size_t kLongestAddress = 32;  // MAX_ADDR_LEN
  if (size == 0 || size > kLongestAddress) return {};
  bool zero = true;
  std::string text;
  static constexpr char kDigits[] = "0123456789abcdef";
  for (std::size_t i = 0; i < size; ++i) {
    const auto byte = static_cast<unsigned char>(data[i]);
    zero = zero && byte == 0;
    if (i > 0) text += ':';
    text += kDigits[byte >> 4];
    text += kDigits[byte & 0x0f];
  }
  return zero ? std::string() : text;
}

// One RTM_NEWLINK message: the link, or nothing when a part of it runs past its end.
std::optional<InterfaceCounters> parseLink(const char* payload, std::size_t length) {
  if (length < NLMSG_ALIGN(sizeof(ifinfomsg))) return std::nullopt;
  const auto info = copyOut<ifinfomsg>(payload);
  InterfaceCounters link;
  link.index = static_cast<std::uint32_t>(info.ifi_index);
  link.loopback = (info.ifi_flags & IFF_LOOPBACK) != 0;
  bool named = false;
  bool counted = false;

  std::size_t offset = NLMSG_ALIGN(sizeof(ifinfomsg));
  while (offset + sizeof(rtattr) <= length) {
    const auto attribute = copyOut<rtattr>(payload + offset);
    if (attribute.rta_len < sizeof(rtattr) || offset + attribute.rta_len > length) {
      return std::nullopt;
    }
    const char* data = payload + offset + RTA_LENGTH(0);
    const std::size_t size = attribute.rta_len - RTA_LENGTH(0);
    if (attribute.rta_type == IFLA_IFNAME) {
      link.name.assign(data, strnlen(data, size));
      named = true;
    } else if (attribute.rta_type == IFLA_ADDRESS) {
      link.hardwareAddress = hardwareAddressText(data, size);
    } else if (attribute.rta_type == IFLA_STATS64 && size >= sizeof(rtnl_link_stats64)) {
      const auto stats = copyOut<rtnl_link_stats64>(data);
      link.received = stats.rx_bytes;
      link.sent = stats.tx_bytes;
      counted = true;
    } else if (attribute.rta_type == IFLA_STATS && size >= sizeof(rtnl_link_stats) && !counted) {
      // Only kernels before 2.6.35 lack the 64-bit statistics; IFLA_STATS64 wins when both come.
      const auto stats = copyOut<rtnl_link_stats>(data);
      link.received = stats.rx_bytes;
      link.sent = stats.tx_bytes;
    }
    offset += RTA_ALIGN(attribute.rta_len);
  }
  if (!named || link.name.empty()) return std::nullopt;
  return link;
}

}  // namespace

LinkDumpStatus parseLinkDump(std::string_view buffer, std::uint32_t sequence,
                             std::vector<InterfaceCounters>& links) {
  std::size_t offset = 0;
  while (offset + sizeof(nlmsghdr) <= buffer.size()) {
    const auto header = copyOut<nlmsghdr>(buffer.data() + offset);
    if (header.nlmsg_len < sizeof(nlmsghdr) || offset + header.nlmsg_len > buffer.size()) {
      return LinkDumpStatus::Failed;
    }
    if (header.nlmsg_seq == sequence) {
      // The table changed while the kernel was dumping it: the parts may not agree.
      if ((header.nlmsg_flags & NLM_F_DUMP_INTR) != 0) return LinkDumpStatus::Failed;
      if (header.nlmsg_type == NLMSG_DONE) return LinkDumpStatus::Done;
      if (header.nlmsg_type == NLMSG_ERROR) return LinkDumpStatus::Failed;
      if (header.nlmsg_type == RTM_NEWLINK) {
        auto link =
            parseLink(buffer.data() + offset + NLMSG_HDRLEN, header.nlmsg_len - NLMSG_HDRLEN);
        if (!link) return LinkDumpStatus::Failed;
        links.push_back(std::move(*link));
      }
    }
    offset += NLMSG_ALIGN(header.nlmsg_len);
  }
  // Bytes left over that cannot hold a header are a message cut short.
  return offset >= buffer.size() ? LinkDumpStatus::More : LinkDumpStatus::Failed;
}

namespace {

std::optional<std::vector<InterfaceCounters>> dumpOnce(std::uint32_t sequence) {
  Socket socket(::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE));
  if (socket.fd() < 0) return std::nullopt;
  // A kernel that stops answering must not hang a pass.
  const timeval timeout{2, 0};
  ::setsockopt(socket.fd(), SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof(timeout));

  struct {
    nlmsghdr header;
    ifinfomsg info;
  } request{};
  request.header.nlmsg_len = NLMSG_LENGTH(sizeof(ifinfomsg));
  request.header.nlmsg_type = RTM_GETLINK;
  request.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
  request.header.nlmsg_seq = sequence;
  request.info.ifi_family = AF_UNSPEC;
  sockaddr_nl kernel{};
  kernel.nl_family = AF_NETLINK;
  if (::sendto(socket.fd(), &request, request.header.nlmsg_len, 0,
               reinterpret_cast<const sockaddr*>(&kernel), sizeof(kernel)) < 0) {
    return std::nullopt;
  }

  std::vector<InterfaceCounters> links;
  // Each part of a dump fits in far less; a part cut short is refused below, never guessed at.
  std::vector<char> buffer(65536);
  while (true) {
    iovec part{buffer.data(), buffer.size()};
    msghdr message{};
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    const ssize_t received = ::recvmsg(socket.fd(), &message, 0);
    if (received < 0 && errno == EINTR) continue;
    if (received <= 0 || (message.msg_flags & MSG_TRUNC) != 0) return std::nullopt;
    switch (parseLinkDump(std::string_view(buffer.data(), static_cast<std::size_t>(received)),
                          sequence, links)) {
      case LinkDumpStatus::Done:
        return links;
      case LinkDumpStatus::Failed:
        return std::nullopt;
      case LinkDumpStatus::More:
        break;
    }
  }
}

}  // namespace

std::optional<std::vector<InterfaceCounters>> readLinkTable() {
  // A dump interrupted by a link coming or going is simply asked for again.
  constexpr int kAttempts = 3;
  const auto first = static_cast<std::uint32_t>(::time(nullptr));
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    if (auto links = dumpOnce(first + static_cast<std::uint32_t>(attempt))) return links;
  }
  return std::nullopt;
}

}  // namespace kestrio
