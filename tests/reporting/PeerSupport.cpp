#include "PeerSupport.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <sstream>

#include "framework/Handles.h"
#include "support/TestSupport.h"

namespace reporting_test {

namespace {

std::map<std::string, std::string> ReadSettings(const std::string& path) {
  std::map<std::string, std::string> settings;
  std::istringstream in(testing_support::ReadFileText(path));
  std::string line;
  while (std::getline(in, line)) {
    const size_t eq = line.find('=');
    if (eq != std::string::npos) settings[line.substr(0, eq)] = line.substr(eq + 1);
  }
  return settings;
}

RecordedRequest Parse(int port, std::string raw) {
  RecordedRequest r;
  r.port = port;
  r.raw = std::move(raw);
  const size_t lineEnd = r.raw.find("\r\n");
  const size_t headersEnd = r.raw.find("\r\n\r\n");
  if (lineEnd == std::string::npos || headersEnd == std::string::npos) return r;
  r.line = r.raw.substr(0, lineEnd);
  r.headers = r.raw.substr(lineEnd + 2, headersEnd + 2 - (lineEnd + 2));
  r.body = r.raw.substr(headersEnd + 4);
  return r;
}

}  // namespace

const Peer* Peer::Get() {
  static const Peer* peer = []() -> const Peer* {
    const char* settingsPath = std::getenv("QUELLIX_REPORTING_SERVER");
    if (settingsPath == nullptr) return nullptr;
    auto settings = ReadSettings(settingsPath);
    if (settings["requests"].empty()) return nullptr;
    auto* p = new Peer;
    p->trustedPort = std::atoi(settings["trusted_port"].c_str());
    p->untrustedPort = std::atoi(settings["untrusted_port"].c_str());
    p->isolated = settings["isolated"] == "1";
    p->requestsDir_ = settings["requests"];
    return p;
  }();
  if (peer == nullptr)
    ADD_FAILURE() << "no HTTPS peer: run this suite through tests/reporting/https_server.py "
                     "(ctest test_reporting.<Suite>)";
  return peer;
}

void Peer::Forget() const {
  WIN32_FIND_DATAA fd;
  UniqueFind find(::FindFirstFileA((requestsDir_ + "\\*.req").c_str(), &fd));
  if (!find) return;
  do {
    ::DeleteFileA((requestsDir_ + "\\" + fd.cFileName).c_str());
  } while (::FindNextFileA(find.get(), &fd));
}

std::vector<RecordedRequest> Peer::Requests() const {
  std::vector<std::string> names;
  WIN32_FIND_DATAA fd;
  UniqueFind find(::FindFirstFileA((requestsDir_ + "\\*.req").c_str(), &fd));
  if (find) {
    do names.push_back(fd.cFileName);
    while (::FindNextFileA(find.get(), &fd));
  }
  // "<sequence>-<port>.req", the sequence zero-padded.
  std::sort(names.begin(), names.end());
  std::vector<RecordedRequest> requests;
  for (const std::string& name : names) {
    const int port = std::atoi(name.substr(name.find('-') + 1).c_str());
    requests.push_back(Parse(port, testing_support::ReadFileText(requestsDir_ + "\\" + name)));
  }
  return requests;
}

TraceCapture::TraceCapture()
    : saved_(SetTraceSink([this](const std::string& line) { lines.push_back(line); })) {}

TraceCapture::~TraceCapture() { SetTraceSink(saved_); }

std::string HeaderValue(const RecordedRequest& request, const std::string& name) {
  const std::string key = "\r\n" + name + ": ";
  const std::string text = "\r\n" + request.headers;
  const size_t at = text.find(key);
  if (at == std::string::npos) return std::string();
  if (text.find(key, at + 1) != std::string::npos) return "<twice>";
  const size_t start = at + key.size();
  return text.substr(start, text.find("\r\n", start) - start);
}

}  // namespace reporting_test
