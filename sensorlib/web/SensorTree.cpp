#include "web/SensorTree.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "rapidjson/error/en.h"
#include "rapidjson/memorystream.h"
#include "rapidjson/reader.h"

namespace qrvl::web {

namespace {
// What the handler is inside of: a tree node, a node's Children array, or anything else
// (the value of a key the reader does not use), whose content is passed over.
enum class Frame { Node, Children, Other };

enum class Field { None, SensorId, Text, Type, Value, RawValue, Children, Other };

Field fieldOf(const char* key, std::size_t length) {
  const std::string_view k(key, length);
  if (k == "SensorId") return Field::SensorId;
  if (k == "Text") return Field::Text;
  if (k == "Type") return Field::Type;
  if (k == "Value") return Field::Value;
  if (k == "RawValue") return Field::RawValue;
  if (k == "Children") return Field::Children;
  return Field::Other;
}

class TreeHandler : public rapidjson::BaseReaderHandler<rapidjson::UTF8<>, TreeHandler> {
 public:
  TreeHandler(std::vector<WebSensor>& sensors, const std::function<bool()>& giveUp)
      : sensors_(sensors), giveUp_(giveUp) {}

  std::string why;
  bool gaveUp = false;
  // The root node has its Children list, as every LibreHardwareMonitor tree has.
  bool rootHasChildren = false;

  bool StartObject() {
    if (!enter()) return false;
    const bool node = stack_.empty() || stack_.back() == Frame::Children;
    if (!stack_.empty() && stack_.back() == Frame::Node && field_ == Field::Children) {
      return wrong("Children is not a list");
    }
    if (node) {
      nodes_.emplace_back();
    } else if (!stack_.empty() && stack_.back() == Frame::Node && isSensorField()) {
      return wrong(fieldName() + " is an object");
    }
    stack_.push_back(node ? Frame::Node : Frame::Other);
    field_ = Field::None;
    return true;
  }

  bool Key(const char* key, rapidjson::SizeType length, bool) {
    if (stack_.back() == Frame::Node) field_ = fieldOf(key, length);
    return true;
  }

  bool EndObject(rapidjson::SizeType) {
    const Frame frame = stack_.back();
    stack_.pop_back();
    --depth_;
    if (frame != Frame::Node) return true;
    WebSensor sensor = std::move(nodes_.back());
    nodes_.pop_back();
    if (!sensor.id.empty()) {
      if (sensors_.size() == kMaxSensors) return wrong("more than 20000 sensors");
      sensors_.push_back(std::move(sensor));
    }
    field_ = Field::Other;
    return true;
  }

  bool StartArray() {
    if (!enter()) return false;
    if (stack_.empty()) return wrong("the tree is a list, not a node");
    Frame frame = Frame::Other;
    if (stack_.back() == Frame::Node) {
      if (field_ == Field::Children) {
        frame = Frame::Children;
        rootHasChildren = rootHasChildren || stack_.size() == 1;
      } else if (isSensorField()) {
        return wrong(fieldName() + " is a list");
      }
    } else if (stack_.back() == Frame::Children) {
      return wrong("a child that is not a node");
    }
    stack_.push_back(frame);
    return true;
  }

  bool EndArray(rapidjson::SizeType) {
    stack_.pop_back();
    --depth_;
    field_ = Field::Other;
    return true;
  }

  bool String(const char* text, rapidjson::SizeType length, bool) {
    if (!scalarAllowed()) return false;
    if (stack_.back() != Frame::Node) return true;
    WebSensor& node = nodes_.back();
    switch (field_) {
      case Field::SensorId:
        node.id.assign(text, length);
        break;
      case Field::Text:
        node.name.assign(text, length);
        break;
      case Field::Type:
        node.type.assign(text, length);
        break;
      case Field::Value:
        node.value.assign(text, length);
        break;
      case Field::RawValue:
        node.raw = WebSensor::Raw::Text;
        node.rawText.assign(text, length);
        break;
      case Field::Children:
        return wrong("Children is not a list");
      default:
        break;
    }
    return true;
  }

  bool Double(double d) { return number(d); }
  bool Int(int i) { return number(i); }
  bool Uint(unsigned u) { return number(u); }
  bool Int64(std::int64_t i) { return number(static_cast<double>(i)); }
  bool Uint64(std::uint64_t u) { return number(static_cast<double>(u)); }

  bool Null() {
    if (!scalarAllowed()) return false;
    if (stack_.back() != Frame::Node) return true;
    if (field_ == Field::RawValue) nodes_.back().raw = WebSensor::Raw::Null;
    if (field_ == Field::SensorId || field_ == Field::Text || field_ == Field::Type || field_ == Field::Children) {
      return wrong(fieldName() + " is null");
    }
    return true;
  }

  bool Bool(bool) {
    if (!scalarAllowed()) return false;
    if (stack_.back() == Frame::Node && isSensorField()) return wrong(fieldName() + " is true or false");
    return true;
  }

 private:
  bool enter() {
    if (++depth_ > kMaxTreeDepth) return wrong("nested deeper than 64 levels");
    return goOn();
  }

  // Asked every so many values, so a tree's reading stays within the poll's time-out.
  bool goOn() {
    if (++events_ % 4096 != 0 || !giveUp_ || !giveUp_()) return true;
    gaveUp = true;
    return false;
  }

  bool wrong(const std::string& text) {
    if (why.empty()) why = text;
    return false;
  }

  bool isSensorField() const { return field_ != Field::None && field_ != Field::Other; }

  std::string fieldName() const {
    switch (field_) {
      case Field::SensorId:
        return "SensorId";
      case Field::Text:
        return "Text";
      case Field::Type:
        return "Type";
      case Field::Value:
        return "Value";
      case Field::RawValue:
        return "RawValue";
      case Field::Children:
        return "Children";
      default:
        return "a field";
    }
  }

  bool scalarAllowed() {
    if (stack_.empty()) return wrong("the tree is a single value, not a node");
    if (stack_.back() == Frame::Children) return wrong("a child that is not a node");
    return goOn();
  }

  bool number(double d) {
    if (!scalarAllowed()) return false;
    if (stack_.back() != Frame::Node) return true;
    WebSensor& node = nodes_.back();
    switch (field_) {
      case Field::RawValue:
        node.raw = WebSensor::Raw::Number;
        node.rawNumber = d;
        return true;
      case Field::Value:
        // A number instead of the display text stands for the value when nothing raw does.
        if (node.raw == WebSensor::Raw::Absent) {
          node.raw = WebSensor::Raw::Number;
          node.rawNumber = d;
        }
        return true;
      case Field::SensorId:
      case Field::Text:
      case Field::Type:
      case Field::Children:
        return wrong(fieldName() + " is a number");
      default:
        return true;
    }
  }

  std::vector<WebSensor>& sensors_;
  const std::function<bool()>& giveUp_;
  unsigned events_ = 0;
  std::vector<Frame> stack_;
  std::vector<WebSensor> nodes_;
  Field field_ = Field::None;
  int depth_ = 0;
};
}  // namespace

bool readSensorTree(const std::string& json, std::vector<WebSensor>& sensors, std::string& why,
                    const std::function<bool()>& giveUp) {
  sensors.clear();
  // The reader takes a NUL for the end of its input; one inside is not JSON either.
  if (std::memchr(json.data(), '\0', json.size()) != nullptr) {
    why = "not JSON: a NUL byte in the reply";
    return false;
  }
  TreeHandler handler(sensors, giveUp);
  rapidjson::MemoryStream stream(json.data(), json.size());
  rapidjson::Reader reader;
  const rapidjson::ParseResult result = reader.Parse<rapidjson::kParseIterativeFlag>(stream, handler);
  if (result.IsError()) {
    sensors.clear();
    if (handler.gaveUp) {
      why.clear();
      return false;
    }
    why = !handler.why.empty() ? handler.why
                               : std::string("not JSON: ") + rapidjson::GetParseError_En(result.Code()) + " at byte " +
                                     std::to_string(result.Offset());
    return false;
  }
  // Another program's JSON on the port is no reading with every channel empty.
  if (!handler.rootHasChildren) {
    why = "not a LibreHardwareMonitor sensor tree: no Children at its root";
    sensors.clear();
    return false;
  }
  std::vector<const std::string*> ids;
  ids.reserve(sensors.size());
  for (const WebSensor& s : sensors) ids.push_back(&s.id);
  std::sort(ids.begin(), ids.end(), [](const std::string* a, const std::string* b) { return *a < *b; });
  const auto twin =
      std::adjacent_find(ids.begin(), ids.end(), [](const std::string* a, const std::string* b) { return *a == *b; });
  if (twin != ids.end()) {
    // The failure is one line, whatever the id holds.
    std::string id = **twin;
    std::replace_if(id.begin(), id.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; }, '?');
    why = "two sensors have the id " + id;
    sensors.clear();
    return false;
  }
  return true;
}

}  // namespace qrvl::web
