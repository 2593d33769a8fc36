#include "app/Modes.h"

#include <exception>
#include <stdexcept>

#include "framework/Application.h"

RunMode ModeForArgument(const std::string& firstArgument) {
  if (firstArgument == "/postins") return RunMode::PostInstall;
  if (firstArgument == "/auto") return RunMode::Automatic;
  return RunMode::Interactive;  // also "/deb ..." from a blocking entry
}

int RunProgram(const std::function<void()>& steps) {
  try {
    steps();
  } catch (const std::exception& e) {
    Application->ShowException(e);
  } catch (...) {
    // Not one of ours, nor the runtime's: there is no text to show but this.
    Application->ShowException(std::runtime_error("Unknown exception"));
  }
  return 0;
}
