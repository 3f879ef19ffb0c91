// Feeds arbitrary bytes to the version file loader on a scripted server: a
// faulty file must end the run with a message, never crash, hang or throw.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "engine/run_context.h"
#include "engine/version_loader.h"
#include "recording_display.h"
#include "scripted_server.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace moltaro::engine;
  testing::RecordingDisplay display;
  testing::ScriptedServer server;
  RunContext run(display, server.Factory());
  LoadVersionText(run, std::string_view(reinterpret_cast<const char*>(data), size));
  return 0;
}
