#include "dataaccess/sql/engine.h"

#include "dataaccess/ascii.h"
#include "dataaccess/sql/binder.h"
#include "dataaccess/sql/evaluator.h"
#include "dataaccess/sql/lexer.h"
#include "dataaccess/sql/parser.h"
#include "dataaccess/sql/statement_runner.h"

namespace leafward::sql {
namespace {

// Reads every table of the statement once, only the columns it uses.
void readTables(BoundStatement& bound, TableSource& source) {
  for (TableUse& table : bound.tables) {
    table.data = source.read(table.info, table.columns);
    bool wellFormed = table.data.columns.size() == table.columns.size();
    for (const auto& column : table.data.columns) {
      wellFormed = wellFormed && column && column->size() == table.data.rowCount;
    }
    if (!wellFormed) {
      throw dataaccess::DataAccessError("The table " + table.info.name + " was read incompletely");
    }
  }
}

void prepareAll(const ast::Select& select, Evaluator& evaluator) {
  for (const auto& item : select.items) evaluator.prepare(*item.expr);
  if (select.where) evaluator.prepare(*select.where);
}

void prepareAll(const ast::Update& update, Evaluator& evaluator) {
  for (const auto& assignment : update.assignments) evaluator.prepare(*assignment.value);
  if (update.where) evaluator.prepare(*update.where);
}

}  // namespace

StatementKind Engine::classify(std::string_view text) {
  const std::vector<Token> tokens = tokenize(text);
  const Token& first = tokens.front();
  if (first.kind == TokenKind::Word) {
    if (dataaccess::equalsIgnoringCase(first.text, "SELECT")) return StatementKind::Select;
    if (dataaccess::equalsIgnoringCase(first.text, "UPDATE")) return StatementKind::Update;
  }
  throw SqlError("Syntax error at position " +
                 std::to_string(characterPosition(text, first.offset)) +
                 ": expected SELECT or UPDATE");
}

template <class Run>
void Engine::runQuery(std::string_view text, Run&& run) {
  ast::Statement statement = parseStatement(text);
  auto* select = std::get_if<ast::Select>(&statement);
  if (!select) throw SqlError("The statement is an UPDATE, not a query");
  BoundStatement bound = bind(statement, source_, text);
  readTables(bound, source_);
  Evaluator evaluator(bound);
  prepareAll(*select, evaluator);
  run(*select, evaluator);
}

dataaccess::ResultSet Engine::query(std::string_view text) {
  dataaccess::ResultSet result;
  runQuery(text, [&](const ast::Select& select, Evaluator& evaluator) {
    result = runSelect(select, evaluator);
  });
  return result;
}

void Engine::forEachRow(std::string_view text, const dataaccess::RowVisitor& visit) {
  runQuery(text, [&](const ast::Select& select, Evaluator& evaluator) {
    visitSelect(select, evaluator, visit);
  });
}

UpdatePlan Engine::planUpdate(std::string_view text) {
  ast::Statement statement = parseStatement(text);
  auto* update = std::get_if<ast::Update>(&statement);
  if (!update) throw SqlError("The statement is a query, not an UPDATE");
  BoundStatement bound = bind(statement, source_, text);
  readTables(bound, source_);
  Evaluator evaluator(bound);
  prepareAll(*update, evaluator);
  return runUpdatePlan(*update, evaluator);
}

}  // namespace leafward::sql
