// Watches a real run and writes down every statement it sends as a plan
// step: which phase and object the run was at (from the labels it shows),
// what kind of change it is, what the column looked like just before, and
// whether the server took it. Meant for a run on a scratch copy: the
// statements do reach the server they are sent to.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "db/connection_port.h"
#include "engine/plan_step.h"
#include "engine/valt_display.h"

namespace moltaro::engine {

class PlanRecorder {
 public:
  // `progress` still shows the run as it goes; `connect` makes the
  // connections the statements are sent over.
  explicit PlanRecorder(ValtDisplay& progress,
                        db::ConnectionFactory connect = db::MakeServerConnection);
  ~PlanRecorder();
  PlanRecorder(const PlanRecorder&) = delete;
  PlanRecorder& operator=(const PlanRecorder&) = delete;

  // The display and the connections to give the run.
  ValtDisplay& Display();
  db::ConnectionFactory Connections();

  const std::vector<PlanStep>& Steps() const;

  struct State;

 private:
  std::unique_ptr<State> state_;
  std::unique_ptr<ValtDisplay> display_;
};

}  // namespace moltaro::engine
