#include <gtest/gtest.h>

#include <windows.h>
#include <wininet.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "PeerSupport.h"
#include "framework/Seam.h"
#include "reporting/Reporting.h"

namespace {

using reporting_test::HeaderValue;
using reporting_test::Peer;
using reporting_test::TraceCapture;
using Lines = std::vector<std::string>;

const char kServiceHeaders[] =
    "Content-Type: application/json\r\n"
    "X-Parse-Application-Id: Qb7tLm2XwPz9Kd4RnVc8HsYe3JfGuA6oTi1NqEhM\r\n"
    "X-Parse-REST-API-Key: Wd5pRa8ZkNm2VbXc7LqTe4YsHu9GjFo3Ki6PwEtD\r\n";

// --- seam stand-ins -----------------------------------------------------------

int g_opens = 0;
int g_openFailuresLeft = 0;
HINTERNET WINAPI FlakyOpen(LPCSTR agent, DWORD access, LPCSTR proxy, LPCSTR bypass, DWORD flags) {
  ++g_opens;
  if (g_openFailuresLeft > 0) {
    --g_openFailuresLeft;
    ::SetLastError(ERROR_INTERNET_OUT_OF_HANDLES);
    return nullptr;
  }
  return ::InternetOpenA(agent, access, proxy, bypass, flags);
}

std::vector<DWORD> g_sleeps;
VOID WINAPI CountedSleep(DWORD ms) { g_sleeps.push_back(ms); }

int g_sends = 0;
bool g_forwardSend = false;
std::string g_sentToUrl;
BOOL WINAPI WatchedSend(HINTERNET request, LPCSTR headers, DWORD headersLength, LPVOID body,
                        DWORD bodyLength) {
  ++g_sends;
  char url[512] = {};
  DWORD size = sizeof(url);
  g_sentToUrl = ::InternetQueryOptionA(request, INTERNET_OPTION_URL, url, &size) ? url : "";
  if (g_forwardSend) return ::HttpSendRequestA(request, headers, headersLength, body, bodyLength);
  ::SetLastError(ERROR_INTERNET_CANNOT_CONNECT);
  return FALSE;
}

class ExecuteJson : public ::testing::Test {
 protected:
  void SetUp() override {
    g_opens = 0;
    g_openFailuresLeft = 0;
    g_sleeps.clear();
    g_sends = 0;
    g_forwardSend = false;
    g_sentToUrl.clear();
  }
  ScopedSeam<decltype(&::InternetOpenA)> open_{Seam().InternetOpenA, &FlakyOpen};
  ScopedSeam<decltype(&::Sleep)> sleep_{Seam().Sleep, &CountedSleep};
  ScopedSeam<decltype(&::HttpSendRequestA)> send_{Seam().HttpSendRequestA, &WatchedSend};
};

// Offline: the opens fail or the send goes to a stand-in.

TEST_F(ExecuteJson, AnEmptyUrlReturnsAtOnce) {
  TraceCapture trace;
  EXPECT_EQ(ExecuteJSON("", "{}"), -1);
  EXPECT_EQ(trace.lines, Lines{"No sServer in ExecuteJSON"});
  EXPECT_EQ(g_opens, 0);
  EXPECT_EQ(g_sends, 0);
  EXPECT_TRUE(g_sleeps.empty());
}

TEST_F(ExecuteJson, TenFailedOpensThenOneSendOnTheUnopenedRequest) {
  g_openFailuresLeft = 1000;
  g_forwardSend = true;  // the platform's own answer for a request never opened
  TraceCapture trace;
  EXPECT_EQ(ExecuteJSON("https://localhost/1/events/AppOpened", "{}"), -1);
  EXPECT_EQ(g_opens, 10);
  EXPECT_EQ(g_sleeps, std::vector<DWORD>(10, 200));
  EXPECT_EQ(g_sends, 1);

  ASSERT_EQ(trace.lines.size(), 3u + 10u + 2u);
  EXPECT_EQ(trace.lines[0], "Starting ExecuteJSON to: https://localhost/1/events/AppOpened");
  EXPECT_EQ(trace.lines[1], "Server Name: localhost");
  EXPECT_EQ(trace.lines[2], "Param: /1/events/AppOpened");
  for (int i = 3; i < 13; ++i)
    EXPECT_EQ(trace.lines[i], "ConnectToHttpsServer failed: Cannot open internet Code: 12001");
  EXPECT_EQ(trace.lines[13].rfind("Cannot perform http request Code: ", 0), 0u) << trace.lines[13];
  EXPECT_NE(trace.lines[13], "Cannot perform http request Code: 0");
  EXPECT_EQ(trace.lines[14], "") << "nothing to read";
}

TEST_F(ExecuteJson, OpeningStopsAtTheFirstSuccessAndAFailedSendGivesMinusOne) {
  g_openFailuresLeft = 2;
  TraceCapture trace;
  EXPECT_EQ(ExecuteJSON("https://localhost/x", "{}"), -1);
  EXPECT_EQ(g_opens, 3);
  EXPECT_EQ(g_sleeps, std::vector<DWORD>(2, 200));
  EXPECT_EQ(g_sends, 1);
  EXPECT_EQ(trace.lines, (Lines{"Starting ExecuteJSON to: https://localhost/x",
                                "Server Name: localhost", "Param: /x",
                                "ConnectToHttpsServer failed: Cannot open internet Code: 12001",
                                "ConnectToHttpsServer failed: Cannot open internet Code: 12001",
                                "Cannot perform http request Code: 12029", ""}));
}

TEST_F(ExecuteJson, UrlsSplitIntoServerAndPath) {
  const struct {
    const char* url;
    const char* server;
    const char* path;
  } cases[] = {
      {"https://api.example.net/1/events/AppOpened", "api.example.net", "/1/events/AppOpened"},
      {"http://api.example.net/a/b", "api.example.net", "/a/b"},
      {"api.example.net/a", "api.example.net", "/a"},
      {"https://api.example.net", "api.example.net", ""},
      {"https://api.example.net/", "api.example.net", "/"},
      // Exact case only; the one scheme does not hide the other.
      {"HTTPS://api.example.net/a", "HTTPS:", "//api.example.net/a"},
      {"Https://h/a", "Https:", "//h/a"},
      {"http://https://h/a", "h", "/a"},
      {"https://http://h/a", "http:", "//h/a"},
      {"https:/h/a", "https:", "/h/a"},
      // A port stays in the name.
      {"https://api.example.net:8443/a", "api.example.net:8443", "/a"},
      {"https://h/a/b?c=/d", "h", "/a/b?c=/d"},
      {"http://", "", ""},
      {"/only/path", "", "/only/path"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.url);
    const EventUrl url = SplitEventUrl(c.url);
    EXPECT_EQ(url.server, c.server);
    EXPECT_EQ(url.path, c.path);
  }
}

TEST_F(ExecuteJson, EventValuesAreEscapedForJson) {
  const struct {
    const char* value;
    const char* escaped;
  } cases[] = {
      {"Quellix", "Quellix"},
      {"", ""},
      {"say \"hi\"", "say \\\"hi\\\""},
      {"C:\\Quellix", "C:\\\\Quellix"},
      {"a\r\nb\tc", "a\\r\\nb\\tc"},
      {"\x01\x1f", "\\u0001\\u001f"},
      {"/<>'", "/<>'"},
      // ANSI code page 1252 under Wine: e acute and the euro sign.
      {"caf\xe9 \x80", "caf\\u00e9 \\u20ac"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    EXPECT_EQ(JsonEscape(c.value), c.escaped);
  }
}

// --- against the HTTPS peer ---------------------------------------------------

class ExecuteJsonHttps : public ::testing::Test {
 protected:
  void SetUp() override {
    g_sends = 0;
    g_forwardSend = true;
    g_sentToUrl.clear();
    peer_ = Peer::Get();
    ASSERT_NE(peer_, nullptr);
    ASSERT_EQ(peer_->trustedPort, 443);
    peer_->Forget();
  }
  const Peer* peer_ = nullptr;
};

TEST_F(ExecuteJsonHttps, TheStartEventArrivesOnceWithTheServiceHeaders) {
  ASSERT_STREQ(AnalyticsHost, "localhost") << "the test build points the service at loopback";
  TraceCapture trace;
  EXPECT_TRUE(SendAppOpenedEvent());

  const auto requests = peer_->Requests();
  ASSERT_EQ(requests.size(), 1u);
  const auto& r = requests[0];
  EXPECT_EQ(r.port, 443);
  EXPECT_EQ(r.line, "POST /1/events/AppOpened HTTP/1.1");
  EXPECT_EQ(r.body, "{}");
  EXPECT_EQ(HeaderValue(r, "User-Agent"), "Mozilla/4.0");
  EXPECT_EQ(HeaderValue(r, "Content-Length"), "2");
  EXPECT_NE(r.headers.find(kServiceHeaders), std::string::npos) << r.headers;

  EXPECT_EQ(trace.lines, (Lines{"Starting ExecuteJSON to: https://localhost/1/events/AppOpened",
                                "Server Name: localhost", "Param: /1/events/AppOpened",
                                "Successful Connect!", "{\"result\":\"ok\"}"}));
}

TEST_F(ExecuteJsonHttps, UrlFormsAndStatusesThatStillCountAsSent) {
  ScopedSeam<decltype(&::HttpSendRequestA)> send(Seam().HttpSendRequestA, &WatchedSend);
  const struct {
    const char* url;
    const char* requestLine;
    const char* sentTo;
    const char* response;
  } cases[] = {
      {"https://localhost/status/404", "POST /status/404 HTTP/1.1", "https://localhost/status/404",
       "status 404"},
      {"https://localhost/status/500", "POST /status/500 HTTP/1.1", "https://localhost/status/500",
       "status 500"},
      {"https://localhost/status/400", "POST /status/400 HTTP/1.1", "https://localhost/status/400",
       "status 400"},
      // Plain http is sent over TLS to 443 all the same.
      {"http://localhost/plain", "POST /plain HTTP/1.1", "https://localhost/plain",
       "{\"result\":\"ok\"}"},
      {"localhost/bare", "POST /bare HTTP/1.1", "https://localhost/bare", "{\"result\":\"ok\"}"},
      // No path at all: the platform asks for "/".
      {"https://localhost", "POST / HTTP/1.1", "https://localhost/", "{\"result\":\"ok\"}"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.url);
    peer_->Forget();
    TraceCapture trace;
    EXPECT_EQ(ExecuteJSON(c.url, "{}"), 1);
    EXPECT_EQ(g_sentToUrl, c.sentTo);
    const auto requests = peer_->Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].port, 443);
    EXPECT_EQ(requests[0].line, c.requestLine);
    ASSERT_FALSE(trace.lines.empty());
    EXPECT_EQ(trace.lines.back(), c.response);
  }
}

TEST_F(ExecuteJsonHttps, ASchemeInCapitalsOrAPortStaysInTheServerName) {
  if (!peer_->isolated)
    GTEST_SKIP() << "needs the private network namespace: these names would go to DNS";
  ScopedSeam<decltype(&::HttpSendRequestA)> send(Seam().HttpSendRequestA, &WatchedSend);
  const struct {
    const char* url;
    const char* server;
    const char* path;
    const char* sentTo;  // a port other than 443 would follow the name
  } cases[] = {
      {"HTTPS://localhost/x", "HTTPS:", "//localhost/x", "https://HTTPS://localhost/x"},
      {"https://localhost:8443/x", "localhost:8443", "/x", "https://localhost:8443/x"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.url);
    TraceCapture trace;
    EXPECT_EQ(ExecuteJSON(c.url, "{}"), -1);
    EXPECT_EQ(g_sentToUrl, c.sentTo);
    ASSERT_EQ(trace.lines.size(), 5u);
    EXPECT_EQ(trace.lines[1], std::string("Server Name: ") + c.server);
    EXPECT_EQ(trace.lines[2], std::string("Param: ") + c.path);
    // The whole text is taken as a host name, which does not resolve.
    EXPECT_EQ(trace.lines[3], "Cannot perform http request Code: 12007");
  }
  EXPECT_TRUE(peer_->Requests().empty());
}

TEST_F(ExecuteJsonHttps, AnExceptionAfterTheSendStillGivesOne) {
  Lines lines;
  bool thrown = false;
  const TraceSink saved = SetTraceSink([&](const std::string& line) {
    lines.push_back(line);
    if (line == "Successful Connect!" && !thrown) {
      thrown = true;
      throw std::runtime_error("trace failed");
    }
  });
  const int32_t result = ExecuteJSON("https://localhost/after", "{}");
  SetTraceSink(saved);
  EXPECT_EQ(result, 1);
  EXPECT_EQ(lines, (Lines{"Starting ExecuteJSON to: https://localhost/after",
                          "Server Name: localhost", "Param: /after", "Successful Connect!",
                          "Catch in ExecuteJSON"}));
  EXPECT_EQ(peer_->Requests().size(), 1u);
}

TEST_F(ExecuteJsonHttps, InstallAndUninstallEventsCarryTheEscapedValue) {
  const struct {
    bool (*send)(const std::string&);
    const char* line;
    const char* body;
  } cases[] = {
      {&SendInstallEvent, "POST /1/events/Install HTTP/1.1",
       "{ \"dimensions\": {\"install\": \"Quel\\\"lix\\\\v1 \\u00e9\"}}"},
      {&SendUninstallEvent, "POST /1/events/Uninstall HTTP/1.1",
       "{ \"dimensions\": {\"uninstall\": \"Quel\\\"lix\\\\v1 \\u00e9\"}}"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    peer_->Forget();
    EXPECT_TRUE(c.send("Quel\"lix\\v1 \xe9"));
    const auto requests = peer_->Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].line, c.line);
    EXPECT_EQ(requests[0].body, c.body);
    EXPECT_NE(requests[0].headers.find(kServiceHeaders), std::string::npos);
  }
}

}  // namespace
