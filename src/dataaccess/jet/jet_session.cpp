#include "dataaccess/jet/jet_session.h"

#include "dataaccess/errors.h"
#include "dataaccess/jet/jet_database.h"
#include "dataaccess/jet/jet_table_source.h"
#include "dataaccess/sql/engine.h"

namespace leafward::jet {
namespace {

// Statements over one .mdb file: queries run by the SQL engine over the file's tables.
class JetSession : public dataaccess::Session {
 public:
  explicit JetSession(const std::string& path)
      : database_(path), source_(database_), engine_(source_) {}

  dataaccess::StatementResult execute(std::string_view text) override {
    dataaccess::StatementResult result;
    if (sql::Engine::classify(text) == sql::StatementKind::Select) {
      result.rows = engine_.query(text);
      return result;
    }
    // The statement is planned first, so that one the engine cannot run reports why.
    engine_.planUpdate(text);
    throw dataaccess::DataAccessError("Changing data in Access files is not supported yet");
  }

  // Jet reports no default database for a file.
  std::string currentCatalog() const override { return {}; }

 private:
  JetDatabase database_;
  JetTableSource source_;
  sql::Engine engine_;
};

}  // namespace

std::unique_ptr<dataaccess::Session> openJetSession(const std::string& path) {
  return std::make_unique<JetSession>(path);
}

}  // namespace leafward::jet
