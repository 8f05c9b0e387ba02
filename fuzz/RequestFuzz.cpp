// The daemon's checks of a datagram from any source, and the answer it builds: an answer
// only for a valid request from an admitted source, and never larger than the request.
// Input: 16 bytes of source address, 1 byte of clock step, then the datagram.
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "net/AllowList.h"
#include "net/RateLimiter.h"
#include "net/RequestGate.h"
#include "qrvl/Record.h"
#include "qrvl/Wire.h"

using namespace qrvld;
namespace wire = qrvl::wire;

namespace {
AllowList makeAllowList() {
  AllowList list;
  std::string error;
  for (const char* entry : {"10.0.0.0/8", "127.0.0.1", "2001:db8::/32", "::1"}) list.add(entry, error);
  return list;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const AllowList allow = makeAllowList();
  static RateLimiter limiter(20, 10, 1, 64);
  static std::uint64_t nowMs = 0;
  static RequestGate gate(allow, limiter, true, [] { return nowMs; });
  if (size < 17) return 0;

  sockaddr_in6 from{};
  from.sin6_family = AF_INET6;
  std::memcpy(&from.sin6_addr, data, 16);
  const IpAddress source = IpAddress::fromSockaddr(reinterpret_cast<const sockaddr*>(&from));
  nowMs += data[16];
  // A buffer of exactly the datagram's size, so any read beyond it is caught.
  const std::vector<std::uint8_t> datagram(data + 17, data + size);

  gate.startBatch();
  const RequestCheck check = gate.check(source, datagram.data(), datagram.size());
  const bool valid = wire::checkRequest(datagram.data(), datagram.size()) == RequestCheck::Valid;
  if (check == RequestCheck::Valid) {
    if (!valid || !allow.admits(source)) std::abort();
    std::uint8_t record[wire::kRecordSize];
    qrvl::record::Reading reading{};
    qrvl::record::encode(reading, nowMs, record);
    std::uint8_t response[wire::kResponseSize];
    const std::uint32_t sequence = wire::requestSequence(datagram.data());
    wire::encodeResponse(sequence, wire::kStatusReading, record, response);
    if (sizeof response >= datagram.size()) std::abort();
    if (wire::checkResponse(response, sizeof response, sequence) != wire::ResponseCheck::Reading) std::abort();
  } else if (valid && check != RequestCheck::NotAllowed && check != RequestCheck::RateLimited) {
    std::abort();
  }
  return 0;
}
