#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "dataaccess/sql/datum.h"
#include "dataaccess/value.h"

namespace leafward::sql::ast {

struct Select;

enum class ExprKind {
  Literal,
  Column,    // [qualifier.]name
  Function,  // name(operands)
  Not,
  Negate,
  And,
  Or,
  Compare,
  Add,
  Subtract,
  Like,    // operands[0] LIKE operands[1]
  IsNull,  // operands[0] IS NULL
  Exists,  // EXISTS (subquery)
};

struct Expr {
  ExprKind kind = ExprKind::Literal;
  std::size_t offset = 0;  // where the expression starts in the statement text
  std::size_t height = 1;  // levels of nesting, bounded so that evaluation cannot run deep

  dataaccess::Value literal;  // Literal
  std::string qualifier;      // Column: the table or alias before the dot, or empty
  std::string name;           // Column, Function
  CompareOp compare = CompareOp::Equal;
  bool negated = false;  // NOT LIKE, IS NOT NULL
  std::vector<std::unique_ptr<Expr>> operands;
  std::unique_ptr<Select> subquery;  // Exists

  // Set by the binder.
  std::size_t id = 0;        // numbers the expressions of a statement from 0
  std::size_t depth = 0;     // Column: the scope that owns the column (0 = outermost)
  std::size_t table = 0;     // Column: the statement's table
  std::size_t column = 0;    // Column: position in the table
  std::size_t plan = 0;      // Exists: the number of its plan
  std::uint32_t scopes = 0;  // bit d: reads a column of scope d
  bool hasSubquery = false;  // contains an EXISTS, so it is costly to evaluate
};

struct TableRef {
  std::string name;
  std::string alias;  // empty when none
  std::size_t offset = 0;
  std::size_t table = 0;  // set by the binder: the statement's table
};

struct SelectItem {
  std::unique_ptr<Expr> expr;  // null for `*`
  std::string alias;
};

struct Select {
  bool distinct = false;
  std::vector<SelectItem> items;
  TableRef from;
  std::unique_ptr<Expr> where;  // null when there is no WHERE
  // Set by the binder: the scope's depth and, for a subquery, the table of the scope around it.
  std::size_t depth = 0;
  std::size_t enclosingTable = 0;
};

struct Assignment {
  std::string qualifier;
  std::string column;
  std::size_t offset = 0;
  std::unique_ptr<Expr> value;
  std::size_t position = 0;  // set by the binder: the column's position in the table
};

struct Update {
  TableRef table;
  std::vector<Assignment> assignments;
  std::unique_ptr<Expr> where;
};

using Statement = std::variant<Select, Update>;

}  // namespace leafward::sql::ast
