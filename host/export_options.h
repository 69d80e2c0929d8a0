// The options of one `kin export` run, and parsers for their text forms.
//
// Every parser is safe on any text: it returns false and sets `*error` to a
// sentence naming what was expected, never throws, never reads past the text.
#ifndef KIN_HOST_EXPORT_OPTIONS_H_
#define KIN_HOST_EXPORT_OPTIONS_H_

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "host/host_scene.h"
#include "host/pose_sampler.h"

namespace kin::host {

struct FrameRange {
  int32_t first = 0;
  int32_t last = 0;  // inclusive
};

struct ExportOptions {
  std::vector<std::string> inputs;
  std::string output;     // a file, a directory, or empty for the current one
  bool list = false;      // list each input's animations, export nothing
  std::string animation;  // name or index; empty for the first
  std::optional<double> fps;
  std::optional<FrameRange> range;
  std::optional<std::string> name;
  std::vector<EventSpec> events;
  uint32_t valueA = 0;
  uint32_t valueB = 0;
  Space space = Space::kParent;
  unsigned jobs = 0;  // 0: one per core
  bool quiet = false;
  std::string pluginPath;
};

// An opaque 32-bit word: decimal ("42") or hexadecimal ("0x2A"), from 0 to
// 4294967295.
bool ParseWord(const std::string& text, uint32_t* value, std::string* error);

// A 32-bit signed frame number in decimal, optionally with a leading '-'.
bool ParseFrame(const std::string& text, int32_t* frame, std::string* error);

// "A:B" with A <= B; B may not be the largest int32 value, past which no
// frame loop can step.
bool ParseRange(const std::string& text, FrameRange* range, std::string* error);

// "FRAME:NAME" or "FRAME:NAME:VALUE"; NAME may be empty but holds no ':'.
bool ParseEvent(const std::string& text, EventSpec* event, std::string* error);

// Events from JSON text: an array of objects (or an object whose "events"
// member is one), each {"frame": int, "name": text, "value": int or text as
// for ParseWord (optional, default 0)}. `source` names the text in errors.
bool ParseEventsJson(const std::string& text, const std::string& source,
                     std::vector<EventSpec>* events, std::string* error);

}  // namespace kin::host

#endif  // KIN_HOST_EXPORT_OPTIONS_H_
