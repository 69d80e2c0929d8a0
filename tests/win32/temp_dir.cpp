#include "tests/win32/temp_dir.h"

#include <windows.h>

#include <fstream>
#include <iterator>

namespace win32_host {

TempDir::TempDir() {
  char base[MAX_PATH];
  const DWORD length = GetTempPathA(MAX_PATH, base);
  if (length == 0 || length >= MAX_PATH) return;
  for (unsigned attempt = 0; attempt < 100; ++attempt) {
    const std::string candidate = std::string(base, length) + "kin-win32-" +
                                  std::to_string(GetCurrentProcessId()) + "-" +
                                  std::to_string(attempt);
    if (CreateDirectoryA(candidate.c_str(), nullptr)) {
      path_ = candidate;
      return;
    }
  }
}

TempDir::~TempDir() {
  if (path_.empty()) return;
  for (const std::string& file : files_) DeleteFileA(file.c_str());
  RemoveDirectoryA(path_.c_str());
}

std::string TempDir::File(const std::string& name) {
  files_.push_back(path_ + "\\" + name);
  return files_.back();
}

bool ReadBytes(const std::string& path, std::string& content) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  content.assign(std::istreambuf_iterator<char>(in),
                 std::istreambuf_iterator<char>());
  return !in.bad();
}

bool WriteBytes(const std::string& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(content.data(), static_cast<std::streamsize>(content.size()));
  out.close();
  return !out.fail();
}

bool PathExists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace win32_host
