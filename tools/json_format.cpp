#include "tools/json_format.h"

#include <cmath>

#include "tools/text_format.h"

namespace kin::tools {

void PutText(Json& object, const std::string& key, const std::string& bytes) {
  if (IsUtf8(bytes)) {
    object[key] = bytes;
    return;
  }
  // Keep every well-formed sequence, replace each stray byte.
  std::string readable;
  std::string hex;
  static const char kHex[] = "0123456789abcdef";
  for (size_t at = 0; at < bytes.size(); ++at) {
    const unsigned char byte = static_cast<unsigned char>(bytes[at]);
    hex += kHex[byte >> 4];
    hex += kHex[byte & 0xF];
  }
  for (size_t at = 0; at < bytes.size();) {
    const size_t length = Utf8SequenceLength(bytes, at);
    if (length == 0) {
      readable += "\xEF\xBF\xBD";
      ++at;
    } else {
      readable.append(bytes, at, length);
      at += length;
    }
  }
  object[key] = readable;
  object[key + "Hex"] = hex;
}

Json RealJson(float value) {
  Json out = Json::object();
  if (std::isnan(value)) {
    out["value"] = "NaN";
  } else if (std::isinf(value)) {
    out["value"] = value > 0 ? "Infinity" : "-Infinity";
  } else {
    out["value"] = static_cast<double>(value);
  }
  out["bits"] = Hex32(RealBits(value));
  return out;
}

Json IssueJson(const reader::Issue& issue) {
  Json out = Json::object();
  out["code"] = reader::CodeName(issue.code);
  out["severity"] = reader::SeverityName(issue.severity);
  out["offset"] = issue.offset;
  PutText(out, "path", issue.path);
  PutText(out, "message", issue.message);
  PutText(out, "found", issue.found);
  PutText(out, "expected", issue.expected);
  return out;
}

Json ReportJson(const reader::Report& report) {
  Json out = Json::object();
  out["numErrors"] = report.errorCount();
  out["numWarnings"] = report.warningCount();
  Json messages = Json::array();
  for (const reader::Issue& issue : report.issues()) {
    messages.push_back(IssueJson(issue));
  }
  out["messages"] = std::move(messages);
  out["truncated"] = report.omittedCount() > 0;
  out["numOmitted"] = report.omittedCount();
  return out;
}

std::string DumpJson(const Json& value, int indent) {
  return value.dump(indent, ' ', false, Json::error_handler_t::replace);
}

}  // namespace kin::tools
