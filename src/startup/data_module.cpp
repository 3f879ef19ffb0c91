#include "startup/data_module.h"

#include "db/errors.h"

namespace moltaro {

void TDataModule1::DataModuleCreate() {
  adoPeldany_.Close();
  adoPeldany_.Open(settings_.InstanceConnectionString());
  adoKozos_.Close();
  adoKozos_.Open(settings_.CommonConnectionString());
}

std::int64_t NextId(db::Connection& connection) {
  db::ProcedureParameters params{
      {"@RETURN_VALUE", db::ParameterDirection::ReturnValue, db::Null()},
      {"@idseq_val", db::ParameterDirection::InputOutput, std::int64_t{1}},
  };
  connection.CallProcedure(kIdSequenceProcedure, params);
  if (db::IsNull(params[1].value)) {
    throw db::Error(std::string(kIdSequenceProcedure) +
                    " handed back no identifier in @idseq_val.");
  }
  return db::ToInteger(params[1].value);
}

}  // namespace moltaro
