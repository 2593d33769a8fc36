#include "support/TestSupport.h"

#include <atomic>
#include <stdexcept>

#include "framework/Handles.h"
#include "removal/DiagnosticLog.h"

namespace testing_support {

namespace {

std::string UniqueName(const char* stem) {
  static std::atomic<unsigned> counter{0};
  return std::string(stem) + std::to_string(::GetCurrentProcessId()) + "_" +
         std::to_string(::GetTickCount()) + "_" + std::to_string(counter++);
}

}  // namespace

ScratchDir::ScratchDir() {
  char temp[MAX_PATH] = {};
  ::GetTempPathA(MAX_PATH, temp);
  std::string base = temp;
  if (!base.empty() && base.back() == '\\') base.pop_back();
  path_ = base + "\\qx" + UniqueName("");
  if (!::CreateDirectoryA(path_.c_str(), nullptr))
    throw std::runtime_error("cannot create scratch folder " + path_);
}

ScratchDir::~ScratchDir() { RemoveTree(path_); }

void RemoveTree(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return;
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    WIN32_FIND_DATAA fd;
    UniqueFind find(::FindFirstFileA((path + "\\*").c_str(), &fd));
    if (find) {
      do {
        const std::string name = fd.cFileName;
        if (name != "." && name != "..") RemoveTree(path + "\\" + name);
      } while (::FindNextFileA(find.get(), &fd));
    }
    find.reset();
    ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    ::RemoveDirectoryA(path.c_str());
  } else if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
    ::RemoveDirectoryA(path.c_str());  // a link: only the link goes
  } else {
    ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    ::DeleteFileA(path.c_str());
  }
}

void MakeDirs(const std::string& path) {
  for (size_t pos = path.find('\\', 3); ; pos = path.find('\\', pos + 1)) {
    ::CreateDirectoryA(path.substr(0, pos).c_str(), nullptr);
    if (pos == std::string::npos) break;
  }
}

void WriteFileText(const std::string& path, const std::string& content) {
  UniqueFile file(::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) throw std::runtime_error("cannot write " + path);
  DWORD written = 0;
  ::WriteFile(file.get(), content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
}

std::string ReadFileText(const std::string& path) {
  UniqueFile file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return std::string();
  std::string content;
  char buffer[4096];
  DWORD read = 0;
  while (::ReadFile(file.get(), buffer, sizeof(buffer), &read, nullptr) && read > 0)
    content.append(buffer, read);
  return content;
}

bool Exists(const std::string& path) {
  return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

LogCapture::LogCapture() : path_(dir_ / "log2.txt"), saved_(g_DiagnosticLogPath) {
  g_DiagnosticLogPath = path_;
}

LogCapture::~LogCapture() { g_DiagnosticLogPath = saved_; }

std::string LogCapture::Text() const { return ReadFileText(path_); }

std::vector<std::string> LogCapture::Messages() const {
  // Entries are "date CR LF message CR LF"; split on CR LF and keep every
  // second line.
  const std::string text = Text();
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t pos; (pos = text.find("\r\n", start)) != std::string::npos; start = pos + 2)
    lines.push_back(text.substr(start, pos - start));
  std::vector<std::string> messages;
  for (size_t i = 1; i < lines.size(); i += 2) messages.push_back(lines[i]);
  return messages;
}

ScratchKey::ScratchKey() : path_("Software\\QuellixTests\\" + UniqueName("k")) {
  HKEY key = nullptr;
  if (::RegCreateKeyExA(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &key, nullptr) != ERROR_SUCCESS)
    throw std::runtime_error("cannot create scratch key " + path_);
  ::RegCloseKey(key);
}

ScratchKey::~ScratchKey() { ::RegDeleteTreeA(HKEY_CURRENT_USER, path_.c_str()); }

}  // namespace testing_support
