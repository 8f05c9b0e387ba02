#include "qrvl/WebSensorList.h"

#include "transport/CancelFlag.h"
#include "transport/Deadline.h"
#include "web/SensorChoice.h"
#include "web/WebAddress.h"
#include "web/WebMapping.h"
#include "web/WebSource.h"

namespace qrvl::web {

ListResult listSensors(const char* url, unsigned timeoutMs, SensorList& list, std::string& why) {
  list = SensorList();
  WebAddress address;
  if (!parseWebAddress(url, address, why)) return ListResult::BadAddress;
  // Nothing cancels a listing; it ends with its time-out.
  CancelFlag cancelled{0};
  WebSource source(address, cancelled);
  std::vector<WebSensor> sensors;
  int error = 0;
  if (!source.connect()) {
    why = source.lastFailure();
    return ListResult::Failed;
  }
  if (!source.fetch(Deadline(timeoutMs), timeoutMs, sensors, why, error)) return ListResult::Failed;
  const std::vector<int> chosen = SensorChoice(address.pins).choose(sensors);
  for (std::size_t i = 0; i < sensors.size(); ++i) {
    ListedSensor listed{sensors[i].id, sensors[i].type, sensors[i].value, {}};
    for (int c = 0; c < record::kChannelCount; ++c) {
      if (chosen[c] != static_cast<int>(i)) continue;
      const auto channel = static_cast<record::Channel>(c);
      listed.feeds.push_back({channel, valueFor(sensors[i], channel).has_value()});
    }
    list.sensors.push_back(std::move(listed));
  }
  for (int c = 0; c < record::kChannelCount; ++c) {
    if (chosen[c] < 0) continue;
    list.pinQuery += (list.pinQuery.empty() ? "?" : "&") + std::string(queryKey(static_cast<record::Channel>(c))) +
                     "=" + queryValue(sensors[static_cast<std::size_t>(chosen[c])].id);
  }
  return ListResult::Listed;
}

}  // namespace qrvl::web
