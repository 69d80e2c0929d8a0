// Text forms of KIN values for the `kin` command's plain-text reports.
//
// Every form is lossless and deterministic: names are quoted with any byte
// that is not printable UTF-8 escaped, reals are printed so that they read
// back to the same 32-bit pattern. Safe on any bytes.
#ifndef KIN_TOOLS_TEXT_FORMAT_H_
#define KIN_TOOLS_TEXT_FORMAT_H_

#include <cstddef>
#include <cstdint>
#include <string>

namespace kin::tools {

// True when `bytes` is well-formed UTF-8 (no overlong forms, surrogates or
// code points past U+10FFFF).
bool IsUtf8(const std::string& bytes);

// The length (1 to 4) of the well-formed UTF-8 sequence starting at
// `bytes[at]`, or 0 when none starts there. `at` must be inside `bytes`.
size_t Utf8SequenceLength(const std::string& bytes, size_t at);

// `bytes` in double quotes: valid UTF-8 printable characters as they are,
// \" \\ \n \t \r for those, \xNN for every other byte (control characters
// and bytes that are not UTF-8).
std::string QuoteText(const std::string& bytes);

// A file name for a report line: as it is when it needs no escaping,
// otherwise `QuoteText(path)`.
std::string FileLabel(const std::string& path);

// "0x" and eight lower-case hex digits.
std::string Hex32(uint32_t value);

// The 32-bit pattern of `value`.
uint32_t RealBits(float value);

// A real that reads back to the same bits: "%.9g" for finite values
// ("-0" for negative zero), "inf", "-inf", and "nan(0x7fc00000)" with the
// pattern of a NaN.
std::string RealText(float value);

}  // namespace kin::tools

#endif  // KIN_TOOLS_TEXT_FORMAT_H_
