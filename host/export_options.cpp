#include "host/export_options.h"

#include <limits>
#include <nlohmann/json.hpp>

namespace kin::host {
namespace {

bool ParseUnsigned(const std::string& digits, int base, uint64_t limit,
                   uint64_t* value) {
  if (digits.empty() || digits.size() > 20) return false;
  uint64_t result = 0;
  for (char c : digits) {
    int digit;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (base == 16 && c >= 'a' && c <= 'f') {
      digit = c - 'a' + 10;
    } else if (base == 16 && c >= 'A' && c <= 'F') {
      digit = c - 'A' + 10;
    } else {
      return false;
    }
    if (result > (limit - digit) / base) return false;
    result = result * base + digit;
  }
  *value = result;
  return true;
}

}  // namespace

bool ParseWord(const std::string& text, uint32_t* value, std::string* error) {
  uint64_t result = 0;
  const bool hex =
      text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  const bool ok = hex ? ParseUnsigned(text.substr(2), 16, UINT32_MAX, &result)
                      : ParseUnsigned(text, 10, UINT32_MAX, &result);
  if (!ok) {
    *error = "'" + text +
             "' is not a 32-bit word: expected 0 to 4294967295, in decimal "
             "or as 0x followed by up to 8 hex digits";
    return false;
  }
  *value = static_cast<uint32_t>(result);
  return true;
}

bool ParseFrame(const std::string& text, int32_t* frame, std::string* error) {
  const bool negative = !text.empty() && text[0] == '-';
  const uint64_t limit = negative ? uint64_t{1} << 31 : uint64_t{INT32_MAX};
  uint64_t magnitude = 0;
  if (!ParseUnsigned(negative ? text.substr(1) : text, 10, limit, &magnitude)) {
    *error = "'" + text +
             "' is not a frame number: expected a whole number "
             "from -2147483648 to 2147483647";
    return false;
  }
  *frame = negative ? static_cast<int32_t>(-static_cast<int64_t>(magnitude))
                    : static_cast<int32_t>(magnitude);
  return true;
}

bool ParseRange(const std::string& text, FrameRange* range,
                std::string* error) {
  // The separator is the first ':' after the first character, so that a
  // negative first frame ("-5:10") parses.
  const size_t colon = text.find(':', 1);
  if (colon == std::string::npos) {
    *error = "'" + text + "' is not a frame range: expected FIRST:LAST";
    return false;
  }
  FrameRange parsed;
  if (!ParseFrame(text.substr(0, colon), &parsed.first, error) ||
      !ParseFrame(text.substr(colon + 1), &parsed.last, error)) {
    *error = "in frame range '" + text + "': " + *error;
    return false;
  }
  if (parsed.first > parsed.last) {
    *error = "frame range '" + text + "' ends before it starts";
    return false;
  }
  if (parsed.last == std::numeric_limits<int32_t>::max()) {
    *error = "frame range '" + text +
             "' ends on the largest frame number, "
             "which cannot be exported";
    return false;
  }
  *range = parsed;
  return true;
}

bool ParseEvent(const std::string& text, EventSpec* event, std::string* error) {
  const size_t first = text.find(':', 1);
  if (first == std::string::npos) {
    *error = "'" + text + "' is not an event: expected FRAME:NAME[:VALUE]";
    return false;
  }
  EventSpec parsed;
  const size_t second = text.find(':', first + 1);
  if (!ParseFrame(text.substr(0, first), &parsed.frame, error)) {
    *error = "in event '" + text + "': " + *error;
    return false;
  }
  parsed.name =
      text.substr(first + 1, second == std::string::npos ? std::string::npos
                                                         : second - first - 1);
  if (second != std::string::npos &&
      !ParseWord(text.substr(second + 1), &parsed.value, error)) {
    *error = "in event '" + text + "': " + *error;
    return false;
  }
  *event = std::move(parsed);
  return true;
}

bool ParseEventsJson(const std::string& text, const std::string& source,
                     std::vector<EventSpec>* events, std::string* error) {
  nlohmann::json document = nlohmann::json::parse(text, nullptr, false);
  if (document.is_discarded()) {
    *error = source + ": not valid JSON";
    return false;
  }
  if (document.is_object() && document.contains("events")) {
    document = document["events"];
  }
  if (!document.is_array()) {
    *error = source + ": expected an array of events (or {\"events\": [...]})";
    return false;
  }
  std::vector<EventSpec> parsed;
  for (size_t i = 0; i < document.size(); ++i) {
    const nlohmann::json& item = document[i];
    const std::string where = source + ": event " + std::to_string(i);
    if (!item.is_object()) {
      *error = where + " is not an object";
      return false;
    }
    EventSpec event;
    const auto frame = item.find("frame");
    if (frame == item.end() || !frame->is_number_integer() ||
        frame->get<int64_t>() < std::numeric_limits<int32_t>::min() ||
        frame->get<int64_t>() > std::numeric_limits<int32_t>::max()) {
      *error = where +
               ": \"frame\" must be a whole number from -2147483648 "
               "to 2147483647";
      return false;
    }
    event.frame = static_cast<int32_t>(frame->get<int64_t>());
    const auto name = item.find("name");
    if (name == item.end() || !name->is_string()) {
      *error = where + ": \"name\" must be a text";
      return false;
    }
    event.name = name->get<std::string>();
    const auto value = item.find("value");
    if (value != item.end()) {
      if (value->is_number_unsigned() && value->get<uint64_t>() <= UINT32_MAX) {
        event.value = static_cast<uint32_t>(value->get<uint64_t>());
      } else if (value->is_string()) {
        if (!ParseWord(value->get<std::string>(), &event.value, error)) {
          *error = where + ": \"value\" " + *error;
          return false;
        }
      } else if (!(value->is_number_integer() && value->get<int64_t>() == 0)) {
        *error = where +
                 ": \"value\" must be 0 to 4294967295 or a text such "
                 "as \"0x2A\"";
        return false;
      }
    }
    parsed.push_back(std::move(event));
  }
  events->insert(events->end(), parsed.begin(), parsed.end());
  return true;
}

}  // namespace kin::host
