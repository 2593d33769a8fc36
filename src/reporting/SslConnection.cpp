#include "reporting/SslConnection.h"

#include <cstring>

#include "framework/Seam.h"

namespace {

const char kCannotOpen[] = "Cannot open internet";
const char kCannotConnect[] = "Cannot connect to internet";
const char kCannotRequest[] = "Cannot perform http request";
const char kNoClientCertificate[] =
    "Cannot perform http request, client authentication needed but couldnt detect required "
    "client certificate";
const char kInvalidCertificate[] =
    "Cannot perform http request, client authentication needed, invalid client certificate is "
    "used";
const char kMemoryException[] = "Memory Exception occured";

// One piece is at most this long, so that a zero byte always follows it in
// the buffer.
constexpr DWORD kReadBufferSize = 1024;
constexpr DWORD kReadPiece = kReadBufferSize - 1;

// Connecting, sending and each wait for an answer give up after this long,
// so that one exchange ends within about half a minute even behind a proxy
// that takes the connection and never answers: left to the platform, such a
// wait had no end, and the setup that waits for "/postins" with it.
constexpr DWORD kTimeoutMs = 10000;
const DWORD kTimeoutOptions[] = {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT,
                                 INTERNET_OPTION_RECEIVE_TIMEOUT};

}  // namespace

CSslConnection::~CSslConnection() { Close(); }

void CSslConnection::Fail(const char* text) {
  ErrorText = text;
  ErrorCode = static_cast<int32_t>(::GetLastError());
}

bool CSslConnection::ConnectToHttpsServer(const std::string& verb) {
  try {
    // Whatever an earlier call left open goes first: a handle value released
    // later could by then belong to one of the new handles.
    Close();
    InternetHandle.reset(Seam().InternetOpenA(Agent.c_str(), INTERNET_OPEN_TYPE_PRECONFIG,
                                              nullptr, nullptr, 0));
    if (!InternetHandle) {
      Fail(kCannotOpen);
      return false;
    }
    // Empty user name and password go as empty texts, never as null.
    ConnectionHandle.reset(late::InternetConnectA(InternetHandle.get(), ServerName.c_str(), Port,
                                                  UserName.c_str(), Password.c_str(),
                                                  INTERNET_SERVICE_HTTP, 0, 0));
    if (!ConnectionHandle) {
      Fail(kCannotConnect);
      Close();
      return false;
    }
    // On the connection, whose requests take them over (Wine ignores send
    // and receive time-outs given to the internet handle). Should one be
    // refused, the exchange still goes ahead with the platform's own.
    for (const DWORD option : kTimeoutOptions) {
      DWORD timeout = kTimeoutMs;
      late::InternetSetOptionA(ConnectionHandle.get(), option, &timeout, sizeof(timeout));
    }
    RequestHandle.reset(late::HttpOpenRequestA(ConnectionHandle.get(), verb.c_str(),
                                               ObjectName.c_str(), nullptr, "", nullptr,
                                               RequestFlags,
                                               static_cast<DWORD_PTR>(RequestContext)));
    if (!RequestHandle) {
      Fail(kCannotRequest);
      Close();
      return false;
    }
    ++RequestContext;
    return true;
  } catch (...) {
    Fail(kMemoryException);
    return false;
  }
}

bool CSslConnection::SendRequest(const char* headers, int32_t headersLength, const void* body,
                                 int32_t bodyLength) {
  try {
    if (Seam().HttpSendRequestA(RequestHandle.get(), headers, static_cast<DWORD>(headersLength),
                                const_cast<void*>(body), static_cast<DWORD>(bodyLength)))
      return true;
    // The code picks the text only; the stored code is read again afterwards.
    switch (::GetLastError()) {
      case ERROR_INTERNET_CLIENT_AUTH_CERT_NEEDED:
        ErrorText = kNoClientCertificate;
        break;
      case ERROR_INTERNET_INVALID_CA:
        ErrorText = kInvalidCertificate;
        break;
      default:
        ErrorText = kCannotRequest;
        break;
    }
    ErrorCode = static_cast<int32_t>(::GetLastError());
    return false;
  } catch (...) {
    Fail(kMemoryException);
    return false;
  }
}

std::string CSslConnection::ReadResponse() {
  std::string result;
  try {
    char buffer[kReadBufferSize] = {};
    for (;;) {
      DWORD read = 0;
      const BOOL ok = Seam().InternetReadFile(RequestHandle.get(), buffer, kReadPiece, &read);
      if (!ok || read == 0) break;
      buffer[read] = '\0';
      result.append(buffer);  // up to the first zero byte of the piece
      std::memset(buffer, 0, sizeof(buffer));
    }
  } catch (...) {
    // Out of memory while growing the text: what came so far is the answer.
  }
  return result;
}

void CSslConnection::Close() {
  InternetHandle.reset();
  RequestHandle.reset();
  ConnectionHandle.reset();
}
