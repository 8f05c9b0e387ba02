// The client's check of a datagram received while waiting: only an exact reading for the
// awaited sequence passes, and its six text fields are safe to read as C strings.
// Input: 4 bytes of awaited sequence number, then the datagram.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "QRVLPLUG.h"
#include "qrvl/Record.h"
#include "qrvl/Wire.h"

namespace wire = qrvl::wire;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 4) return 0;
  const std::uint32_t sequence = wire::loadLe32(data);
  const std::vector<std::uint8_t> datagram(data + 4, data + size);
  const auto check = wire::checkResponse(datagram.data(), datagram.size(), sequence);
  if (check != wire::ResponseCheck::Reading) return 0;

  if (datagram.size() != wire::kResponseSize || std::memcmp(datagram.data(), wire::kMagic, 4) != 0 ||
      datagram[4] != wire::kVersion || datagram[5] != wire::kTypeReading || datagram[6] != wire::kStatusReading ||
      wire::loadLe32(datagram.data() + 8) != sequence) {
    std::abort();
  }
  // What the library then hands the monitor, read the way the monitor reads it.
  LMDATA* record = new LMDATA;
  std::memcpy(record, datagram.data() + wire::kRecordOffset, sizeof *record);
  const char* fields[] = {record->CpuTemp, record->PwrTemp, record->SysTemp, record->Vcore, record->Vtt, record->Vio};
  std::size_t total = 0;
  for (const char* field : fields) total += std::strlen(field);
  delete record;
  if (total > 6 * 7) std::abort();
  return 0;
}
