// The IPv4 neighbour table: GetIpNetTable from /proc/net/arp and
// FlushIpNetTable through rtnetlink.
#include "arp_table.h"
#include "small_text_file.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <linux/neighbour.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <poll.h>
#include <sstream>
#include <unistd.h>

namespace velloran::platform {
namespace {

// NLMSG_OK, without its comparison of the signed length with the unsigned
// message length.
bool MessageFits(const nlmsghdr *h, int left) {
  return left >= static_cast<int>(sizeof(nlmsghdr)) && h->nlmsg_len >= sizeof(nlmsghdr) &&
         h->nlmsg_len <= static_cast<unsigned>(left);
}

// ATF_* flags of /proc/net/arp.
constexpr unsigned kArpComplete = 0x02;
constexpr unsigned kArpPermanent = 0x04;

// How long a netlink answer may take before the flush gives up.
constexpr int kNetlinkReplyMillis = 1000;

bool ParseHardwareAddress(const std::string &text, MIB_IPNETROW &row) {
  row.dwPhysAddrLen = 0;
  std::istringstream in(text);
  std::string part;
  while (std::getline(in, part, ':')) {
    if (row.dwPhysAddrLen == MAXLEN_PHYSADDR || part.empty() || part.size() > 2) return false;
    char *end = nullptr;
    unsigned long value = std::strtoul(part.c_str(), &end, 16);
    if (*end != '\0') return false;
    row.bPhysAddr[row.dwPhysAddrLen++] = static_cast<BYTE>(value);
  }
  return true;
}

// A socket that speaks rtnetlink, or -1.
class NetlinkRoute {
 public:
  NetlinkRoute() : fd_(socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE)) {}
  ~NetlinkRoute() {
    if (fd_ >= 0) close(fd_);
  }
  NetlinkRoute(const NetlinkRoute &) = delete;
  NetlinkRoute &operator=(const NetlinkRoute &) = delete;

  bool ok() const { return fd_ >= 0; }

  bool Send(const nlmsghdr &message) {
    sockaddr_nl kernel{};
    kernel.nl_family = AF_NETLINK;
    return sendto(fd_, &message, message.nlmsg_len, 0, reinterpret_cast<sockaddr *>(&kernel),
                  sizeof kernel) == static_cast<ssize_t>(message.nlmsg_len);
  }

  // One datagram of the answer; empty when none came in time.
  std::vector<char> Receive() {
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, kNetlinkReplyMillis) != 1) return {};
    std::vector<char> buffer(32768);
    ssize_t n = recv(fd_, buffer.data(), buffer.size(), 0);
    buffer.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return buffer;
  }

 private:
  int fd_;
};

struct NeighbourRequest {
  nlmsghdr header;
  ndmsg neighbour;
  rtattr destination_attr;
  in_addr destination;
};

// The IPv4 addresses of the flushable neighbours of one interface; false when
// the dump could not be read.
bool DumpNeighbours(NetlinkRoute &netlink, int if_index, std::vector<in_addr> &out) {
  NeighbourRequest request{};
  request.header.nlmsg_len = NLMSG_LENGTH(sizeof(ndmsg));
  request.header.nlmsg_type = RTM_GETNEIGH;
  request.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
  request.header.nlmsg_seq = 1;
  request.neighbour.ndm_family = AF_INET;
  if (!netlink.Send(request.header)) return false;
  for (;;) {
    std::vector<char> datagram = netlink.Receive();
    if (datagram.empty()) return false;
    int left = static_cast<int>(datagram.size());
    for (auto *h = reinterpret_cast<nlmsghdr *>(datagram.data()); MessageFits(h, left);
         h = NLMSG_NEXT(h, left)) {
      if (h->nlmsg_type == NLMSG_DONE) return true;
      if (h->nlmsg_type == NLMSG_ERROR) return false;
      if (h->nlmsg_type != RTM_NEWNEIGH) continue;
      auto *n = static_cast<ndmsg *>(NLMSG_DATA(h));
      if (n->ndm_family != AF_INET || n->ndm_ifindex != if_index) continue;
      if (n->ndm_state & (NUD_PERMANENT | NUD_NOARP)) continue;
      int attr_left = static_cast<int>(h->nlmsg_len - NLMSG_LENGTH(sizeof(ndmsg)));
      for (auto *a = reinterpret_cast<rtattr *>(reinterpret_cast<char *>(n) + NLMSG_ALIGN(sizeof(ndmsg)));
           RTA_OK(a, attr_left); a = RTA_NEXT(a, attr_left)) {
        if (a->rta_type == NDA_DST && RTA_PAYLOAD(a) == sizeof(in_addr)) {
          in_addr address;
          std::memcpy(&address, RTA_DATA(a), sizeof address);
          out.push_back(address);
        }
      }
    }
  }
}

// Deletes one neighbour; the kernel's answer as a negative errno, or 0.
int DeleteNeighbour(NetlinkRoute &netlink, int if_index, in_addr address, unsigned sequence) {
  NeighbourRequest request{};
  request.header.nlmsg_len = sizeof request;
  request.header.nlmsg_type = RTM_DELNEIGH;
  request.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_ACK;
  request.header.nlmsg_seq = sequence;
  request.neighbour.ndm_family = AF_INET;
  request.neighbour.ndm_ifindex = if_index;
  request.destination_attr.rta_type = NDA_DST;
  request.destination_attr.rta_len = RTA_LENGTH(sizeof(in_addr));
  request.destination = address;
  if (!netlink.Send(request.header)) return -errno;
  for (;;) {
    std::vector<char> datagram = netlink.Receive();
    if (datagram.empty()) return -ETIMEDOUT;
    int left = static_cast<int>(datagram.size());
    for (auto *h = reinterpret_cast<nlmsghdr *>(datagram.data()); MessageFits(h, left);
         h = NLMSG_NEXT(h, left)) {
      if (h->nlmsg_type == NLMSG_ERROR && h->nlmsg_seq == sequence)
        return static_cast<nlmsgerr *>(NLMSG_DATA(h))->error;
    }
  }
}

}  // namespace

std::vector<MIB_IPNETROW> ParseArpTable(std::istream &text, InterfaceIndexOf index_of) {
  std::vector<MIB_IPNETROW> rows;
  std::string line;
  std::getline(text, line);  // heading
  while (std::getline(text, line)) {
    std::istringstream fields(line);
    std::string ip, hw_type, flags_text, hw_address, mask, device;
    if (!(fields >> ip >> hw_type >> flags_text >> hw_address >> mask >> device)) continue;
    MIB_IPNETROW row{};
    in_addr address{};
    if (inet_pton(AF_INET, ip.c_str(), &address) != 1) continue;
    row.dwAddr = address.s_addr;
    char *end = nullptr;
    unsigned long flags = std::strtoul(flags_text.c_str(), &end, 16);
    if (*end != '\0') continue;
    if (!ParseHardwareAddress(hw_address, row)) continue;
    row.dwIndex = index_of(device.c_str());
    if (row.dwIndex == 0) continue;
    row.dwType = (flags & kArpPermanent)  ? MIB_IPNET_TYPE_STATIC
                 : (flags & kArpComplete) ? MIB_IPNET_TYPE_DYNAMIC
                                          : MIB_IPNET_TYPE_INVALID;
    rows.push_back(row);
  }
  return rows;
}

}  // namespace velloran::platform

using namespace velloran::platform;

DWORD GetIpNetTable(PMIB_IPNETTABLE pIpNetTable, DWORD *pdwSize, BOOL bOrder) {
  if (!pdwSize) return ERROR_INVALID_PARAMETER;
  std::optional<std::string> text = ReadSmallTextFile("/proc/net/arp");
  if (!text) return ERROR_NOT_SUPPORTED;
  std::istringstream lines(*text);
  std::vector<MIB_IPNETROW> rows = ParseArpTable(lines, if_nametoindex);
  if (rows.empty()) return ERROR_NO_DATA;
  if (bOrder) {
    std::stable_sort(rows.begin(), rows.end(), [](const MIB_IPNETROW &a, const MIB_IPNETROW &b) {
      return ntohl(a.dwAddr) < ntohl(b.dwAddr);
    });
  }
  const size_t needed = offsetof(MIB_IPNETTABLE, table) + rows.size() * sizeof(MIB_IPNETROW);
  if (!pIpNetTable || *pdwSize < needed) {
    *pdwSize = static_cast<DWORD>(needed);
    return ERROR_INSUFFICIENT_BUFFER;
  }
  pIpNetTable->dwNumEntries = static_cast<DWORD>(rows.size());
  std::memcpy(pIpNetTable->table, rows.data(), rows.size() * sizeof(MIB_IPNETROW));
  return NO_ERROR;
}

DWORD FlushIpNetTable(DWORD dwIfIndex) {
  char name[IF_NAMESIZE];
  if (dwIfIndex == 0 || !if_indextoname(dwIfIndex, name)) return ERROR_INVALID_PARAMETER;
  NetlinkRoute netlink;
  if (!netlink.ok()) return ERROR_GEN_FAILURE;
  const int if_index = static_cast<int>(dwIfIndex);
  std::vector<in_addr> neighbours;
  if (!DumpNeighbours(netlink, if_index, neighbours)) return ERROR_GEN_FAILURE;
  unsigned sequence = 2;
  for (in_addr address : neighbours) {
    int error = DeleteNeighbour(netlink, if_index, address, sequence++);
    if (error == -EPERM || error == -EACCES) return ERROR_ACCESS_DENIED;
    if (error != 0 && error != -ENOENT) return ERROR_GEN_FAILURE;
  }
  return NO_ERROR;
}
