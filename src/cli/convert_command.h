// `moltaro-cli convert` and `convert-delete`: the conversion window's
// "Indít" and "Törlés" on the instance picked as `upgrade` picks it, and a
// check of an export set that writes nothing.
#pragma once

#include <string>

#include "cli/instance_commands.h"

namespace moltaro::cli {

struct ConvertOptions {
  std::string database;
  std::string sourceDirectory;
  bool yes = false;
  bool check = false;
};

// The run: asks "Mehet ? " unless `yes`; prints "Rendben lefutott !" and
// exits 0, or prints what stopped it (file and line) and exits 1. With
// `check`, lists what would stop the run, be skipped or be reported, writes
// nothing, and exits 0 only when the run would go through.
int Convert(const ServerSettings& settings, const ConvertOptions& options, InstanceStreams streams,
            const instances::MainWindowConnections& connections = {});

// "Törlés": asks "Valóban töröljem ?" unless `yes`, prints "Kész !".
int ConvertDelete(const ServerSettings& settings, const std::string& database, bool yes,
                  InstanceStreams streams,
                  const instances::MainWindowConnections& connections = {});

}  // namespace moltaro::cli
