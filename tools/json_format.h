// JSON forms of KIN values for the `kin` command's --json reports.
//
// Lossless and deterministic: reals carry their 32-bit pattern beside the
// value (NaN and infinities as strings), texts that are not UTF-8 carry
// their bytes in hex beside a readable form, and objects keep their keys in
// the order they are written. Safe on any bytes: serialising never throws
// for a text.
#ifndef KIN_TOOLS_JSON_FORMAT_H_
#define KIN_TOOLS_JSON_FORMAT_H_

#include <nlohmann/json.hpp>
#include <string>

#include "reader/issue.h"

namespace kin::tools {

using Json = nlohmann::ordered_json;

// Sets `object[key]` to `bytes` when they are UTF-8. Otherwise sets it to
// the bytes with each byte that is not UTF-8 replaced by U+FFFD, and
// `object[key + "Hex"]` to all the bytes in lower-case hex.
void PutText(Json& object, const std::string& key, const std::string& bytes);

// {"value": v, "bits": "0x3f800000"}: v is the number for a finite real,
// "NaN", "Infinity" or "-Infinity" otherwise.
Json RealJson(float value);

// {"code", "severity", "offset", "path", "message", "found", "expected"}.
Json IssueJson(const reader::Issue& issue);

// The validator report of one file: {"numErrors", "numWarnings",
// "messages": [...], "truncated": bool, "numOmitted"}.
Json ReportJson(const reader::Report& report);

// `value` as text; `indent` < 0 for one line.
std::string DumpJson(const Json& value, int indent);

}  // namespace kin::tools

#endif  // KIN_TOOLS_JSON_FORMAT_H_
