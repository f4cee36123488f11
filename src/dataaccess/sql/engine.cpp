#include "dataaccess/sql/engine.h"

namespace leafward::sql {

StatementKind Engine::classify(std::string_view) { throw SqlError("not implemented yet"); }
dataaccess::ResultSet Engine::query(std::string_view) { throw SqlError("not implemented yet"); }
UpdatePlan Engine::planUpdate(std::string_view) { throw SqlError("not implemented yet"); }

}  // namespace leafward::sql
