#include "tools/text_format.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace kin::tools {
namespace {

void AppendHexByte(std::string& out, unsigned char byte) {
  static const char kHex[] = "0123456789abcdef";
  out += "\\x";
  out += kHex[byte >> 4];
  out += kHex[byte & 0xF];
}

}  // namespace

size_t Utf8SequenceLength(const std::string& bytes, size_t at) {
  const auto byte = [&](size_t i) {
    return static_cast<unsigned char>(bytes[i]);
  };
  const unsigned char lead = byte(at);
  if (lead < 0x80) return 1;
  size_t length;
  uint32_t point;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    point = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    point = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    point = lead & 0x07;
  } else {
    return 0;
  }
  if (length > bytes.size() - at) return 0;
  for (size_t i = 1; i < length; ++i) {
    const unsigned char next = byte(at + i);
    if ((next & 0xC0) != 0x80) return 0;
    point = point << 6 | (next & 0x3F);
  }
  if ((length == 3 && point < 0x800) || (length == 4 && point < 0x10000) ||
      point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF)) {
    return 0;
  }
  return length;
}

bool IsUtf8(const std::string& bytes) {
  for (size_t at = 0; at < bytes.size();) {
    const size_t length = Utf8SequenceLength(bytes, at);
    if (length == 0) return false;
    at += length;
  }
  return true;
}

std::string QuoteText(const std::string& bytes) {
  std::string out = "\"";
  for (size_t at = 0; at < bytes.size();) {
    const unsigned char byte = static_cast<unsigned char>(bytes[at]);
    const size_t length = Utf8SequenceLength(bytes, at);
    if (length == 0 || byte == 0x7F) {
      AppendHexByte(out, byte);
      ++at;
      continue;
    }
    if (length > 1) {
      out.append(bytes, at, length);
      at += length;
      continue;
    }
    switch (byte) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\r':
        out += "\\r";
        break;
      default:
        if (byte < 0x20) {
          AppendHexByte(out, byte);
        } else {
          out += static_cast<char>(byte);
        }
    }
    ++at;
  }
  return out + "\"";
}

std::string FileLabel(const std::string& path) {
  const std::string quoted = QuoteText(path);
  return quoted == "\"" + path + "\"" ? path : quoted;
}

std::string Hex32(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08x", value);
  return text;
}

uint32_t RealBits(float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, 4);
  return bits;
}

std::string RealText(float value) {
  if (std::isnan(value)) return "nan(" + Hex32(RealBits(value)) + ")";
  if (std::isinf(value)) return value > 0 ? "inf" : "-inf";
  char text[32];
  std::snprintf(text, sizeof text, "%.9g", static_cast<double>(value));
  return text;
}

}  // namespace kin::tools
