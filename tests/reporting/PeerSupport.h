// What the reporting tests share: the HTTPS peer started by
// tests/reporting/https_server.py (its ports and the requests it recorded)
// and the trace lines of the reporting, captured for the scope.
#pragma once

#include <string>
#include <vector>

#include "reporting/Reporting.h"

namespace reporting_test {

struct RecordedRequest {
  int port = 0;
  std::string raw;      // exactly as it arrived
  std::string line;     // "POST /path HTTP/1.1"
  std::string headers;  // the header lines, each ending in CR LF
  std::string body;
};

class Peer {
 public:
  // The running peer; fails the current test when the suite was not started
  // through https_server.py.
  static const Peer* Get();

  int trustedPort = 0;    // certificate issued for another host name by a trusted CA
  int untrustedPort = 0;  // self-signed certificate
  bool isolated = false;  // private loopback: unknown names cannot reach any DNS

  // Drops what was recorded so far.
  void Forget() const;
  // Every request since the last Forget, in the order of arrival.
  std::vector<RecordedRequest> Requests() const;

 private:
  std::string requestsDir_;
};

// Collects every TraceLine for the scope.
class TraceCapture {
 public:
  TraceCapture();
  ~TraceCapture();
  TraceCapture(const TraceCapture&) = delete;
  TraceCapture& operator=(const TraceCapture&) = delete;
  std::vector<std::string> lines;

 private:
  TraceSink saved_;
};

// The one header line `name: value` of a request ("" when absent, "<twice>"
// when it came more than once).
std::string HeaderValue(const RecordedRequest& request, const std::string& name);

}  // namespace reporting_test
