#include "app/Modes.h"

RunMode ModeForArgument(const std::string& firstArgument) {
  if (firstArgument == "/postins") return RunMode::PostInstall;
  if (firstArgument == "/auto") return RunMode::Automatic;
  return RunMode::Interactive;  // also "/deb ..." from a blocking entry
}
