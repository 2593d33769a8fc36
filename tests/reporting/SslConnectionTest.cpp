#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "PeerSupport.h"
#include "framework/Seam.h"
#include "reporting/SslConnection.h"

namespace {

using reporting_test::Peer;

const char kNoClientCertificate[] =
    "Cannot perform http request, client authentication needed but couldnt detect required "
    "client certificate";
const char kInvalidCertificate[] =
    "Cannot perform http request, client authentication needed, invalid client certificate is "
    "used";

// --- seam stand-ins -----------------------------------------------------------

struct OpenCall {
  bool agentIsNull;
  std::string agent;
  DWORD accessType;
  bool proxyIsNull, bypassIsNull;
  DWORD flags;
};
std::vector<OpenCall> g_opens;
int g_openFailuresLeft = 0;

HINTERNET WINAPI RecordingOpen(LPCSTR agent, DWORD access, LPCSTR proxy, LPCSTR bypass,
                               DWORD flags) {
  g_opens.push_back({agent == nullptr, agent ? agent : "", access, proxy == nullptr,
                     bypass == nullptr, flags});
  if (g_openFailuresLeft > 0) {
    --g_openFailuresLeft;
    ::SetLastError(ERROR_INTERNET_OUT_OF_HANDLES);
    return nullptr;
  }
  return ::InternetOpenA(agent, access, proxy, bypass, flags);
}

int g_sends = 0;
DWORD g_sendError = 0;

BOOL WINAPI FailingSend(HINTERNET, LPCSTR, DWORD, LPVOID, DWORD) {
  ++g_sends;
  ::SetLastError(g_sendError);
  return FALSE;
}

// Scripted pieces for InternetReadFile; "!fail" makes that call fail.
std::vector<std::string> g_pieces;
size_t g_nextPiece = 0;
std::vector<DWORD> g_requested;
bool g_bufferWasZeroed = true;

BOOL WINAPI ScriptedRead(HINTERNET, LPVOID buffer, DWORD toRead, LPDWORD read) {
  g_requested.push_back(toRead);
  const char* bytes = static_cast<const char*>(buffer);
  for (DWORD i = 0; i < toRead; ++i) g_bufferWasZeroed = g_bufferWasZeroed && bytes[i] == 0;
  if (g_nextPiece == g_pieces.size()) {
    *read = 0;
    return TRUE;
  }
  const std::string piece = g_pieces[g_nextPiece++];
  if (piece == "!fail") {
    ::SetLastError(ERROR_INTERNET_CONNECTION_RESET);
    return FALSE;
  }
  memcpy(buffer, piece.data(), piece.size());
  *read = static_cast<DWORD>(piece.size());
  return TRUE;
}

// Passes through, counting the pieces that brought data.
int g_dataReads = 0;
BOOL WINAPI CountingRead(HINTERNET h, LPVOID buffer, DWORD toRead, LPDWORD read) {
  g_requested.push_back(toRead);
  const BOOL ok = ::InternetReadFile(h, buffer, toRead, read);
  if (ok && *read > 0) ++g_dataReads;
  return ok;
}

std::string QueryText(HINTERNET h, DWORD option) {
  char text[512] = {};
  DWORD size = sizeof(text);
  if (!::InternetQueryOptionA(h, option, text, &size)) return "<error " + std::to_string(::GetLastError()) + ">";
  return text;
}

DWORD_PTR QueryContext(HINTERNET h) {
  DWORD_PTR context = 0;
  DWORD size = sizeof(context);
  ::InternetQueryOptionA(h, INTERNET_OPTION_CONTEXT_VALUE, &context, &size);
  return context;
}

bool IsLiveHandle(HINTERNET h) {
  DWORD type = 0;
  DWORD size = sizeof(type);
  return ::InternetQueryOptionA(h, INTERNET_OPTION_HANDLE_TYPE, &type, &size) != FALSE;
}

void ResetStandIns() {
  g_opens.clear();
  g_openFailuresLeft = 0;
  g_sends = 0;
  g_sendError = 0;
  g_pieces.clear();
  g_nextPiece = 0;
  g_requested.clear();
  g_bufferWasZeroed = true;
  g_dataReads = 0;
}

class SslConnection : public ::testing::Test {
 protected:
  void SetUp() override { ResetStandIns(); }
};

// None of these reach the network: opening touches nothing, and every send
// goes to a stand-in.

TEST_F(SslConnection, OpensWithTheAgentAsTextThePresetProxyAndTheRequestContext) {
  ScopedSeam<decltype(&::InternetOpenA)> open(Seam().InternetOpenA, &RecordingOpen);
  const struct {
    const char* agent;
    int32_t context;
  } cases[] = {{"", 0}, {"Mozilla/4.0", 41}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.agent);
    g_opens.clear();
    CSslConnection connection;
    connection.SetAgent(c.agent);
    connection.SetServerName("localhost");
    connection.SetObjectName("/1/events/AppOpened");
    connection.SetRequestContext(c.context);
    ASSERT_TRUE(connection.ConnectToHttpsServer("POST")) << connection.GetErrorText();

    ASSERT_EQ(g_opens.size(), 1u);
    EXPECT_FALSE(g_opens[0].agentIsNull) << "an empty agent goes as an empty text";
    EXPECT_EQ(g_opens[0].agent, c.agent);
    EXPECT_EQ(g_opens[0].accessType, DWORD(INTERNET_OPEN_TYPE_PRECONFIG));
    EXPECT_TRUE(g_opens[0].proxyIsNull);
    EXPECT_TRUE(g_opens[0].bypassIsNull);
    EXPECT_EQ(g_opens[0].flags, 0u);
    // Secure, default port 443, the object name as given.
    EXPECT_EQ(QueryText(connection.GetRequestHandle(), INTERNET_OPTION_URL),
              "https://localhost/1/events/AppOpened");
    EXPECT_EQ(QueryContext(connection.GetRequestHandle()), DWORD_PTR(c.context));
    EXPECT_EQ(connection.GetRequestContext(), c.context + 1);
  }
}

TEST_F(SslConnection, OnlyASuccessfulOpenCountsTheRequestContextUp) {
  ScopedSeam<decltype(&::InternetOpenA)> open(Seam().InternetOpenA, &RecordingOpen);
  CSslConnection connection;
  connection.SetServerName("localhost");
  connection.SetRequestContext(7);
  g_openFailuresLeft = 2;
  for (int attempt = 0; attempt < 2; ++attempt) {
    EXPECT_FALSE(connection.ConnectToHttpsServer("POST"));
    EXPECT_EQ(connection.GetErrorText(), "Cannot open internet");
    EXPECT_EQ(connection.GetErrorCode(), ERROR_INTERNET_OUT_OF_HANDLES);
    EXPECT_EQ(connection.GetInternetHandle(), nullptr);
    EXPECT_EQ(connection.GetConnectionHandle(), nullptr);
    EXPECT_EQ(connection.GetRequestHandle(), nullptr);
    EXPECT_EQ(connection.GetRequestContext(), 7);
  }
  EXPECT_TRUE(connection.ConnectToHttpsServer("POST"));
  EXPECT_EQ(connection.GetRequestContext(), 8);
  EXPECT_EQ(QueryContext(connection.GetRequestHandle()), DWORD_PTR(7));
  // A success leaves the last failure in place.
  EXPECT_EQ(connection.GetErrorText(), "Cannot open internet");
}

TEST_F(SslConnection, AFailedConnectReleasesAllAndTheNextCallOpensAfresh) {
  ScopedSeam<decltype(&::InternetOpenA)> open(Seam().InternetOpenA, &RecordingOpen);
  CSslConnection connection;
  connection.SetServerName("");  // the platform refuses an empty host name
  EXPECT_FALSE(connection.ConnectToHttpsServer("POST"));
  EXPECT_EQ(connection.GetErrorText(), "Cannot connect to internet");
  EXPECT_EQ(connection.GetErrorCode(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(connection.GetInternetHandle(), nullptr);
  EXPECT_EQ(connection.GetConnectionHandle(), nullptr);
  EXPECT_EQ(connection.GetRequestContext(), 0);

  connection.SetServerName("localhost");
  EXPECT_TRUE(connection.ConnectToHttpsServer("POST"));
  EXPECT_EQ(g_opens.size(), 2u) << "each call opens its own internet handle";
  EXPECT_TRUE(IsLiveHandle(connection.GetInternetHandle()));
  EXPECT_TRUE(IsLiveHandle(connection.GetConnectionHandle()));
  EXPECT_TRUE(IsLiveHandle(connection.GetRequestHandle()));
  EXPECT_EQ(connection.GetRequestContext(), 1);
}

TEST_F(SslConnection, ASendFailureIsNamedByItsErrorCodeAndTriedOnce) {
  ScopedSeam<decltype(&::HttpSendRequestA)> send(Seam().HttpSendRequestA, &FailingSend);
  const struct {
    DWORD error;
    const char* text;
  } cases[] = {
      {ERROR_INTERNET_CLIENT_AUTH_CERT_NEEDED, kNoClientCertificate},
      {ERROR_INTERNET_INVALID_CA, kInvalidCertificate},
      {ERROR_INTERNET_CANNOT_CONNECT, "Cannot perform http request"},
      {ERROR_INTERNET_SEC_CERT_DATE_INVALID, "Cannot perform http request"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.error);
    g_sends = 0;
    g_sendError = c.error;
    CSslConnection connection;
    connection.SetServerName("localhost");
    ASSERT_TRUE(connection.ConnectToHttpsServer("POST"));
    EXPECT_FALSE(connection.SendRequest("X-A: b", 6, "{}", 2));
    EXPECT_EQ(g_sends, 1);
    EXPECT_EQ(connection.GetErrorText(), c.text);
    EXPECT_EQ(connection.GetErrorCode(), static_cast<int32_t>(c.error));
    EXPECT_TRUE(IsLiveHandle(connection.GetRequestHandle())) << "a failed send keeps the handles";
  }
}

TEST_F(SslConnection, AnObjectThatNeverOpenedFailsToSendAndReadsNothing) {
  for (const int failedOpens : {0, 10}) {
    SCOPED_TRACE(failedOpens);
    ScopedSeam<decltype(&::InternetOpenA)> open(Seam().InternetOpenA, &RecordingOpen);
    g_openFailuresLeft = failedOpens;
    CSslConnection connection;
    connection.SetServerName("localhost");
    for (int i = 0; i < failedOpens; ++i) ASSERT_FALSE(connection.ConnectToHttpsServer("POST"));
    EXPECT_FALSE(connection.SendRequest("X-A: b", 6, "{}", 2));
    EXPECT_EQ(connection.GetErrorText(), "Cannot perform http request");
    EXPECT_NE(connection.GetErrorCode(), 0);
    EXPECT_EQ(connection.ReadResponse(), "");
  }
}

TEST_F(SslConnection, ReadsPiecesOf1023AndCutsAPieceAtItsZeroByte) {
  ScopedSeam<decltype(&::InternetReadFile)> read(Seam().InternetReadFile, &ScriptedRead);
  using namespace std::string_literals;
  const struct {
    std::vector<std::string> pieces;
    std::string expected;
  } cases[] = {
      {{}, ""},
      {{"abc"s, "def"s}, "abcdef"},
      {{"abc\0hidden"s, "def"s}, "abcdef"},
      {{"\0all hidden"s, "def"s}, "def"},
      {{std::string(1023, 'x'), "y"s}, std::string(1023, 'x') + "y"},
      // A failing read ends it with what came so far.
      {{"abc"s, "!fail"s, "never"s}, "abc"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.expected);
    g_pieces = c.pieces;
    g_nextPiece = 0;
    g_requested.clear();
    g_bufferWasZeroed = true;
    CSslConnection connection;
    EXPECT_EQ(connection.ReadResponse(), c.expected);
    EXPECT_TRUE(g_bufferWasZeroed) << "every read starts on a zeroed buffer";
    ASSERT_FALSE(g_requested.empty());
    for (const DWORD size : g_requested) EXPECT_EQ(size, 1023u);
  }
}

TEST_F(SslConnection, CloseReleasesEachHandleOnceOnly) {
  CSslConnection first;
  first.SetServerName("localhost");
  ASSERT_TRUE(first.ConnectToHttpsServer("POST"));
  const HINTERNET internet = first.GetInternetHandle();
  const HINTERNET request = first.GetRequestHandle();
  const HINTERNET connection = first.GetConnectionHandle();
  first.Close();
  EXPECT_EQ(first.GetInternetHandle(), nullptr);
  EXPECT_EQ(first.GetRequestHandle(), nullptr);
  EXPECT_EQ(first.GetConnectionHandle(), nullptr);
  EXPECT_FALSE(IsLiveHandle(internet));
  EXPECT_FALSE(IsLiveHandle(request));
  EXPECT_FALSE(IsLiveHandle(connection));

  // The platform hands the released values out again; a second Close that
  // released anything would take the new owner's handles away.
  CSslConnection second;
  second.SetServerName("localhost");
  ASSERT_TRUE(second.ConnectToHttpsServer("POST"));
  ASSERT_EQ(second.GetInternetHandle(), internet) << "precondition: handle values are reused";
  first.Close();
  EXPECT_TRUE(IsLiveHandle(second.GetInternetHandle()));
  EXPECT_TRUE(IsLiveHandle(second.GetConnectionHandle()));
  EXPECT_TRUE(IsLiveHandle(second.GetRequestHandle()));
}

// --- against the HTTPS peer ---------------------------------------------------

class SslConnectionHttps : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetStandIns();
    peer_ = Peer::Get();
    ASSERT_NE(peer_, nullptr);
    peer_->Forget();
  }

  struct Outcome {
    bool sent = false;
    std::string errorText;
    int32_t errorCode = 0;
    std::string response;
  };

  Outcome Exchange(const std::string& path, const std::string& server = "localhost",
                   int port = -1) {
    CSslConnection connection;
    connection.SetAgent("Mozilla/4.0");
    connection.SetServerName(server);
    connection.SetObjectName(path);
    connection.SetPort(static_cast<INTERNET_PORT>(port < 0 ? peer_->trustedPort : port));
    Outcome outcome;
    if (!connection.ConnectToHttpsServer("POST")) {
      ADD_FAILURE() << connection.GetErrorText();
      return outcome;
    }
    outcome.sent = connection.SendRequest("X-A: b", 6, "{}", 2);
    outcome.errorText = connection.GetErrorText();
    outcome.errorCode = connection.GetErrorCode();
    outcome.response = connection.ReadResponse();
    return outcome;
  }

  const Peer* peer_ = nullptr;
};

TEST_F(SslConnectionHttps, ResponsesComeBackWholeWhateverTheStatus) {
  ScopedSeam<decltype(&::InternetReadFile)> read(Seam().InternetReadFile, &CountingRead);
  std::string pattern;
  for (int i = 0; i < 2500; ++i) pattern += static_cast<char>('a' + i % 26);
  const struct {
    const char* path;
    std::string expected;
    int minimumReads;
  } cases[] = {
      {"/size/2500", pattern, 3},
      {"/empty", "", 0},
      {"/status/404", "status 404", 1},
      {"/status/500", "status 500", 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    g_dataReads = 0;
    g_requested.clear();
    const Outcome outcome = Exchange(c.path);
    EXPECT_TRUE(outcome.sent) << outcome.errorText << " " << outcome.errorCode;
    EXPECT_EQ(outcome.response, c.expected);
    EXPECT_GE(g_dataReads, c.minimumReads);
    for (const DWORD size : g_requested) EXPECT_EQ(size, 1023u);
  }
}

TEST_F(SslConnectionHttps, AZeroByteCutsOnlyThePieceItIsIn) {
  // The peer sends "0123456789", a zero byte, 1012 "z" and "tail": the first
  // piece (at most 1023 bytes) loses what follows the zero byte, the pieces
  // after it arrive as usual.
  const Outcome outcome = Exchange("/zero");
  ASSERT_TRUE(outcome.sent);
  const std::string& text = outcome.response;
  ASSERT_GE(text.size(), 14u);
  EXPECT_EQ(text.substr(0, 10), "0123456789");
  EXPECT_EQ(text.substr(text.size() - 4), "tail");
  EXPECT_EQ(text.find('\0'), std::string::npos);
  const std::string between = text.substr(10, text.size() - 14);
  EXPECT_EQ(between.find_first_not_of('z'), std::string::npos) << between;
  EXPECT_LT(between.size(), 1012u) << "the rest of the first piece is dropped";
}

TEST_F(SslConnectionHttps, ACertificateForAnotherHostNameIsAccepted) {
  // The peer's certificate names peer.quellix.test only.
  for (const char* server : {"localhost", "127.0.0.1"}) {
    SCOPED_TRACE(server);
    peer_->Forget();
    const Outcome outcome = Exchange("/name", server);
    EXPECT_TRUE(outcome.sent) << outcome.errorText << " " << outcome.errorCode;
    EXPECT_EQ(peer_->Requests().size(), 1u);
  }
}

TEST_F(SslConnectionHttps, AnUntrustedCertificateFailsWithTheInvalidCertificateText) {
  const Outcome outcome = Exchange("/self", "localhost", peer_->untrustedPort);
  EXPECT_FALSE(outcome.sent);
  EXPECT_EQ(outcome.errorText, kInvalidCertificate);
  EXPECT_EQ(outcome.errorCode, ERROR_INTERNET_INVALID_CA);
  EXPECT_EQ(outcome.response, "");
  EXPECT_TRUE(peer_->Requests().empty()) << "no request may follow a refused certificate";
}

}  // namespace
