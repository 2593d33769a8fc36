// Usage events posted to the analytics service over HTTPS. Best effort and
// invisible: nothing is thrown, shown or logged, and callers ignore the result.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

// Host of the analytics service's HTTPS endpoint, fixed at build time.
extern const char* const AnalyticsHost;

// A URL taken apart the way the events need it. A leading "http://" and then
// a leading "https://" are dropped (exact case only); the path runs from the
// first "/" to the end, or is empty. Anything else, a port included, stays
// in the server name.
struct EventUrl {
  std::string server;
  std::string path;
};
EventUrl SplitEventUrl(const std::string& url);

// POSTs `body` as JSON to `url` on port 443 over TLS: up to ten opens 200 ms
// apart, then one send whatever the opens did. 1 once the send succeeded
// (any HTTP status), -1 otherwise.
int32_t ExecuteJSON(const std::string& sServer, const std::string& body);

// The start event of the post-install mode; true when it was sent.
bool SendAppOpenedEvent();

// The install and uninstall events. No mode sends them; `value` goes into
// the JSON body escaped.
bool SendInstallEvent(const std::string& value);
bool SendUninstallEvent(const std::string& value);

// `text` (in the ANSI code page) as the inside of a JSON string: quotes,
// backslashes, control characters and everything beyond ASCII as escapes.
std::string JsonEscape(const std::string& text);

// The trace hook of the reporting: every line is discarded.
void TraceLine(const std::string& line);

// For tests only: while a sink is set, TraceLine hands it each line. Null
// in the product. Returns the sink it replaces.
using TraceSink = std::function<void(const std::string&)>;
TraceSink SetTraceSink(TraceSink sink);
