// TfraValt, the version switch engine: upgrades an instance database to the
// schema of verzio.ver, or uninstalls the product from it.
//
// A run is always Prepare, then RunUpgrade or RunUninstall, then
// ResetProgress. Everything runs on the caller's thread; the frame shows its
// progress through the ValtDisplay given at construction, which must outlive
// it. No toolkit is involved: a Qt frame, the command line and the tests each
// implement ValtDisplay.
//
// What a caller sees of a run:
// - RunUpgrade returns true when the run failed; LastError then says why
//   (it may be empty: show "Hiba a verzióváltásban !" then). Statement
//   failures inside the run are logged, not thrown.
// - Errors outside that policy are thrown (db::DatabaseError, db::Error):
//   a connection that cannot be opened in Prepare, a failing read of the
//   catalogue or the system tables, a failing write while recording the
//   version, and any failure of the uninstall run. The run log is closed
//   before such an error leaves RunUpgrade.
// - The run log is written to LogPath(): TargetDatabase + "_verzio.log" in
//   the work directory, recreated by every upgrade run.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "db/connection_port.h"
#include "engine/valt_display.h"

namespace moltaro::engine {

class RunContext;

class TfraValt {
 public:
  // `connect` makes the run's two connections; by default connections to a
  // real server through the database access layer.
  explicit TfraValt(ValtDisplay& display,
                    const db::ConnectionFactory& connect = db::MakeServerConnection);
  ~TfraValt();
  TfraValt(const TfraValt&) = delete;
  TfraValt& operator=(const TfraValt&) = delete;

  // Moves the panel to the frame's top-left corner and gives the frame the
  // panel's size. Called once, when the main window lays itself out.
  void FitToPanel();
  const ValtLayout& Layout() const { return layout_; }

  // Sets the frame up for one run and (re)opens its two connections: the
  // catalogue side from `sourceConnectionString`, the target side from
  // `targetConnectionString`. `phaseMask` has five characters, "I" where a
  // phase is to run ("IIIII" for an upgrade; the uninstall passes "XXXXX").
  // The login is recorded in the database's ZMP_SYS_SA table by an upgrade.
  // Throws when a connection cannot be opened.
  void Prepare(const std::string& sourceDatabase, const std::string& targetDatabase,
               const std::string& sourceConnectionString, const std::string& targetConnectionString,
               const std::string& phaseMask, const std::string& loginName,
               const std::string& password);

  // The whole upgrade: run log, system tables, version file, the phases the
  // mask enables, and the new version. True when the run failed.
  bool RunUpgrade();

  // Drops every "ZMP" function, procedure, view and user table of the target
  // database. Needs the catalogue table ZMP_OBJ_FEJ (any upgrade creates
  // it). Throws on the first failure.
  void RunUninstall();

  // Empties the labels and the progress bar; the caller does it after a run.
  void ResetProgress();

  // The message of the last failure; kept until another failure replaces it.
  const std::string& LastError() const;

  // The version the last upgrade run installed or tried to install.
  const std::string& NewVersion() const;

  // Where the run log of the prepared database is written.
  std::filesystem::path LogPath() const;

  // The directory that holds verzio.ver and receives the run log. By default
  // (empty) the process's current working directory at the time of a run.
  void SetWorkDirectory(std::filesystem::path directory);

 private:
  ValtLayout layout_;
  std::unique_ptr<RunContext> run_;
};

}  // namespace moltaro::engine
