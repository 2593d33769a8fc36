// One HTTPS exchange through WinINet: open, send, read, close. Nothing is
// thrown or shown; a failure leaves a message and the system error code in
// the object for the caller to read.
#pragma once

#include <windows.h>
#include <wininet.h>

#include <cstdint>
#include <string>

#include "framework/Handles.h"

class CSslConnection {
 public:
  // RELOAD | NO_CACHE_WRITE | SECURE | KEEP_CONNECTION | IGNORE_CERT_CN_INVALID:
  // always from the server, never cached, over TLS; a certificate for another
  // host name is accepted, every other certificate fault still fails.
  static constexpr DWORD kDefaultRequestFlags =
      INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_SECURE |
      INTERNET_FLAG_KEEP_CONNECTION | INTERNET_FLAG_IGNORE_CERT_CN_INVALID;
  static_assert(kDefaultRequestFlags == 0x84C01000, "exactly these five flags");

  CSslConnection() = default;
  virtual ~CSslConnection();

  CSslConnection(const CSslConnection&) = delete;
  CSslConnection& operator=(const CSslConnection&) = delete;

  void SetAgent(const std::string& agent) { Agent = agent; }
  void SetServerName(const std::string& serverName) { ServerName = serverName; }
  void SetObjectName(const std::string& objectName) { ObjectName = objectName; }
  void SetPort(INTERNET_PORT port) { Port = port; }
  void SetRequestContext(int32_t context) { RequestContext = context; }

  const std::string& GetErrorText() const { return ErrorText; }
  int32_t GetErrorCode() const { return ErrorCode; }
  int32_t GetRequestContext() const { return RequestContext; }
  HINTERNET GetInternetHandle() const { return InternetHandle.get(); }
  HINTERNET GetRequestHandle() const { return RequestHandle.get(); }
  HINTERNET GetConnectionHandle() const { return ConnectionHandle.get(); }

  // Opens a fresh internet handle, the connection (with connect, send and
  // receive time-outs of its own) and a request with `verb`.
  // After a failure nothing is left open, so the caller may simply call again.
  // RequestContext goes up by one on success only.
  bool ConnectToHttpsServer(const std::string& verb);

  // One attempt. True once the request went out and any answer came back;
  // the HTTP status is not looked at. `headers` are CR LF separated lines.
  bool SendRequest(const char* headers, int32_t headersLength, const void* body,
                   int32_t bodyLength);

  // The response body up to its end; a failing read ends it with what came
  // so far. A zero byte inside a piece cuts that piece off.
  std::string ReadResponse();

  // Releases the internet, request and connection handles, in that order.
  // A second call finds nothing left to release.
  void Close();

 private:
  void Fail(const char* text);

  std::string ErrorText;
  UniqueInternet InternetHandle;
  UniqueInternet RequestHandle;
  UniqueInternet ConnectionHandle;
  std::string ServerName;
  std::string ObjectName;
  INTERNET_PORT Port = INTERNET_DEFAULT_HTTPS_PORT;
  DWORD RequestFlags = kDefaultRequestFlags;
  std::string UserName;
  std::string Password;
  std::string Agent;
  int32_t ErrorCode = 0;
  int32_t RequestContext = 0;
};
