#include "reporting/Reporting.h"

#include <windows.h>

#include <cstdio>
#include <utility>
#include <vector>

#include "framework/Seam.h"
#include "reporting/SslConnection.h"

#ifndef QUELLIX_ANALYTICS_HOST
#error "QUELLIX_ANALYTICS_HOST names the analytics host; the build defines it"
#endif

namespace {

// Content type, application id and REST key: CR LF between the lines, none
// after the last.
const char kHeaders[] =
    "Content-Type: application/json\r\n"
    "X-Parse-Application-Id: Qb7tLm2XwPz9Kd4RnVc8HsYe3JfGuA6oTi1NqEhM\r\n"
    "X-Parse-REST-API-Key: Wd5pRa8ZkNm2VbXc7LqTe4YsHu9GjFo3Ki6PwEtD";
constexpr int32_t kHeadersLength = 160;
static_assert(sizeof(kHeaders) - 1 == kHeadersLength, "the header block is 160 characters");

constexpr int kOpenAttempts = 10;
constexpr DWORD kOpenRetryDelayMs = 200;

TraceSink& Sink() {
  static TraceSink sink;
  return sink;
}

bool SendDimensionEvent(const char* path, const char* key, const std::string& value) {
  try {
    const std::string body =
        std::string("{ \"dimensions\": {\"") + key + "\": \"" + JsonEscape(value) + "\"}}";
    return ExecuteJSON(std::string("https://") + AnalyticsHost + path, body) == 1;
  } catch (...) {
    return false;
  }
}

}  // namespace

const char* const AnalyticsHost = QUELLIX_ANALYTICS_HOST;

void TraceLine(const std::string& line) {
  if (Sink()) Sink()(line);
}

TraceSink SetTraceSink(TraceSink sink) { return std::exchange(Sink(), std::move(sink)); }

EventUrl SplitEventUrl(const std::string& url) {
  EventUrl result{url, std::string()};
  std::string& server = result.server;
  if (server.compare(0, 7, "http://") == 0) server.erase(0, 7);
  if (server.compare(0, 8, "https://") == 0) server.erase(0, 8);
  const size_t slash = server.find('/');
  if (slash != std::string::npos) {
    result.path = server.substr(slash);
    server.erase(slash);
  }
  return result;
}

int32_t ExecuteJSON(const std::string& sServer, const std::string& body) {
  if (sServer.empty()) {
    TraceLine("No sServer in ExecuteJSON");
    return -1;
  }
  int32_t result = -1;
  try {
    TraceLine("Starting ExecuteJSON to: " + sServer);
    const EventUrl url = SplitEventUrl(sServer);
    TraceLine("Server Name: " + url.server);
    TraceLine("Param: " + url.path);

    CSslConnection connection;
    connection.SetAgent("Mozilla/4.0");
    connection.SetObjectName(url.path);
    connection.SetPort(INTERNET_DEFAULT_HTTPS_PORT);
    connection.SetServerName(url.server);
    connection.SetRequestContext(0);

    for (int attempt = 0; attempt < kOpenAttempts; ++attempt) {
      if (connection.ConnectToHttpsServer("POST")) break;
      TraceLine("ConnectToHttpsServer failed: " + connection.GetErrorText() +
                " Code: " + std::to_string(connection.GetErrorCode()));
      Seam().Sleep(kOpenRetryDelayMs);
    }

    // Tried even when no open succeeded: it then fails on the unopened request.
    if (connection.SendRequest(kHeaders, kHeadersLength, body.data(),
                               static_cast<int32_t>(body.size()))) {
      result = 1;  // before anything else can throw: the event is out
      TraceLine("Successful Connect!");
    } else {
      TraceLine(connection.GetErrorText() + " Code: " +
                std::to_string(connection.GetErrorCode()));
    }
    TraceLine(connection.ReadResponse());
  } catch (...) {
    TraceLine("Catch in ExecuteJSON");
  }
  return result;
}

bool SendAppOpenedEvent() {
  try {
    return ExecuteJSON(std::string("https://") + AnalyticsHost + "/1/events/AppOpened", "{}") == 1;
  } catch (...) {
    return false;
  }
}

bool SendInstallEvent(const std::string& value) {
  return SendDimensionEvent("/1/events/Install", "install", value);
}

bool SendUninstallEvent(const std::string& value) {
  return SendDimensionEvent("/1/events/Uninstall", "uninstall", value);
}

std::string JsonEscape(const std::string& text) {
  std::string out;
  if (text.empty()) return out;
  // Through UTF-16, so that a byte beyond ASCII becomes the character it
  // stands for in the ANSI code page rather than a stray byte in the JSON.
  const int wideLength =
      ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::vector<wchar_t> wide(static_cast<size_t>(wideLength > 0 ? wideLength : 0));
  if (!wide.empty())
    ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                          wideLength);
  for (const wchar_t c : wide) {
    switch (c) {
      case L'"': out += "\\\""; break;
      case L'\\': out += "\\\\"; break;
      case L'\b': out += "\\b"; break;
      case L'\f': out += "\\f"; break;
      case L'\n': out += "\\n"; break;
      case L'\r': out += "\\r"; break;
      case L'\t': out += "\\t"; break;
      default:
        if (c < 0x20 || c > 0x7E) {
          char escape[8];
          std::snprintf(escape, sizeof(escape), "\\u%04x", static_cast<unsigned>(c));
          out += escape;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out;
}
