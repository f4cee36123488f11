#include "dataaccess/jet/jet_session.h"

#include "dataaccess/jet/flag_update.h"
#include "dataaccess/jet/flag_writer.h"
#include "dataaccess/jet/jet_database.h"
#include "dataaccess/jet/jet_table_source.h"
#include "dataaccess/sql/engine.h"

namespace leafward::jet {
namespace {

// A statement that was interrupted is undone before anything is read, so that no query
// ever sees half of it.
const std::string& recovered(const std::string& path) {
  if (!path.empty()) recoverIfNeeded(path);
  return path;
}

// Statements over one .mdb file: queries run by the SQL engine over the file's tables;
// updates are planned by the engine and written in place by the flag writer.
//
// Nothing read from the rows is kept between statements: every statement reads the pages
// afresh. What the session does keep, the table definitions and the lists of pages, an
// update never changes, since it only flips bits inside rows.
class JetSession : public dataaccess::Session {
 public:
  JetSession(const std::string& path, std::optional<std::uint16_t> codePage)
      : database_(recovered(path), codePage), source_(database_), engine_(source_) {}

  dataaccess::StatementResult execute(std::string_view text) override {
    dataaccess::StatementResult result;
    if (sql::Engine::classify(text) == sql::StatementKind::Select) {
      result.rows = engine_.query(text);
      return result;
    }
    const sql::UpdatePlan plan = engine_.planUpdate(text);
    result.recordsAffected = carryOutFlagUpdate(database_.file().path(), plan, source_);
    return result;
  }

  // Jet reports no default database for a file.
  std::string currentCatalog() const override { return {}; }

 private:
  JetDatabase database_;
  JetTableSource source_;
  sql::Engine engine_;
};

}  // namespace

std::unique_ptr<dataaccess::Session> openJetSession(const std::string& path,
                                                    std::optional<std::uint16_t> codePage) {
  return std::make_unique<JetSession>(path, codePage);
}

}  // namespace leafward::jet
