// The library's reading of a web server's reply: the HTTP framing fed in pieces of a size
// the input chooses, then the tree, the choice of sensors over two polls and their values.
// The first byte's high bit hands the rest to the tree directly, so that mutations of the
// JSON reach the choice without having to keep an HTTP frame whole.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "web/HttpReply.h"
#include "web/SensorChoice.h"
#include "web/SensorTree.h"
#include "web/WebMapping.h"

namespace {
void choose(qrvl::web::SensorChoice& choice, const std::vector<qrvl::web::WebSensor>& sensors) {
  const std::vector<int> chosen = choice.choose(sensors);
  for (int c = 0; c < qrvl::record::kChannelCount; ++c) {
    if (chosen[c] >= static_cast<int>(sensors.size())) __builtin_trap();
    if (chosen[c] >= 0) qrvl::web::valueFor(sensors[chosen[c]], static_cast<qrvl::record::Channel>(c));
  }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const bool treeOnly = (data[0] & 0x80) != 0;
  const std::size_t piece = 1 + data[0] % 64;
  const char* bytes = reinterpret_cast<const char*>(data + 1);
  std::size_t left = size - 1;
  std::string body;
  if (treeOnly) {
    body.assign(bytes, left);
  } else {
    qrvl::web::HttpReply reply;
    while (left > 0 && reply.state() == qrvl::web::HttpReply::State::Incomplete) {
      const std::size_t n = left < piece ? left : piece;
      reply.feed(bytes, n);
      bytes += n;
      left -= n;
    }
    if (reply.close() != qrvl::web::HttpReply::State::Complete) return 0;
    if (reply.body().size() > qrvl::web::HttpReply::kMaxBody) __builtin_trap();
    body = reply.body();
  }
  std::vector<qrvl::web::WebSensor> sensors;
  std::string why;
  if (!qrvl::web::readSensorTree(body, sensors, why)) return 0;
  const std::string pins[qrvl::record::kChannelCount];
  qrvl::web::SensorChoice choice(pins);
  choose(choice, sensors);
  // The second poll of a tree that lost its last sensor: what was kept must go with it.
  if (!sensors.empty()) sensors.pop_back();
  choose(choice, sensors);
  return 0;
}
