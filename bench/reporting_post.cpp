// The yardstick for the "/postins" benchmark: one WinINet POST of the start
// event to the same local server, with the same flags and headers and no
// retries, and nothing else.
#include <windows.h>
#include <wininet.h>

#include <cstring>

#include "framework/Handles.h"

int main(int argc, char** argv) {
  const char* host = argc > 1 ? argv[1] : "localhost";
  static const char headers[] =
      "Content-Type: application/json\r\n"
      "X-Parse-Application-Id: Qb7tLm2XwPz9Kd4RnVc8HsYe3JfGuA6oTi1NqEhM\r\n"
      "X-Parse-REST-API-Key: Wd5pRa8ZkNm2VbXc7LqTe4YsHu9GjFo3Ki6PwEtD";
  UniqueInternet internet(::InternetOpenA("Mozilla/4.0", INTERNET_OPEN_TYPE_PRECONFIG, nullptr,
                                          nullptr, 0));
  UniqueInternet connection(::InternetConnectA(internet.get(), host, INTERNET_DEFAULT_HTTPS_PORT,
                                               "", "", INTERNET_SERVICE_HTTP, 0, 0));
  UniqueInternet request(::HttpOpenRequestA(connection.get(), "POST", "/1/events/AppOpened",
                                            nullptr, "", nullptr, 0x84C01000, 0));
  char body[] = "{}";
  if (!::HttpSendRequestA(request.get(), headers, sizeof(headers) - 1, body, 2)) return 1;
  char buffer[1024];
  DWORD read = 0;
  while (::InternetReadFile(request.get(), buffer, sizeof(buffer), &read) && read > 0) read = 0;
  return 0;
}
