#include "dataaccess/sql/parser.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>

#include "dataaccess/ascii.h"
#include "dataaccess/sql/engine.h"
#include "dataaccess/sql/lexer.h"

namespace leafward::sql {
namespace {

using ast::Expr;
using ast::ExprKind;
using dataaccess::equalsIgnoringCase;
using dataaccess::Value;

// Bounds on how deep a statement may nest, so that hostile text cannot exhaust the stack of
// the recursive parser or of the evaluation that follows.
constexpr std::size_t kMaxNesting = 200;
constexpr std::size_t kMaxHeight = 1000;

constexpr std::string_view kReservedWords[] = {
    "AND", "AS",   "DISTINCT", "EXISTS", "FALSE", "FROM", "IS",     "LIKE",
    "NOT", "NULL", "OR",       "SELECT", "SET",   "TRUE", "UPDATE", "WHERE"};

bool isReserved(std::string_view word) {
  return std::any_of(std::begin(kReservedWords), std::end(kReservedWords),
                     [&](std::string_view reserved) { return equalsIgnoringCase(word, reserved); });
}

std::string describe(const Token& token) {
  switch (token.kind) {
    case TokenKind::End:
      return "the end of the statement";
    case TokenKind::String:
      return "the text '" + token.text + "'";
    case TokenKind::BracketedName:
      return "[" + token.text + "]";
    default:
      return "'" + token.text + "'";
  }
}

class Parser {
 public:
  explicit Parser(std::string_view text) : text_(text), tokens_(tokenize(text)) {}

  ast::Statement statement() {
    ast::Statement result;
    if (atKeyword("SELECT")) {
      result = select();
    } else if (atKeyword("UPDATE")) {
      result = update();
    } else {
      fail("expected SELECT or UPDATE");
    }
    acceptSymbol(";");
    if (peek().kind != TokenKind::End) fail("expected the end of the statement");
    return result;
  }

 private:
  // Counts one level of nesting for as long as it lives.
  class Nest {
   public:
    explicit Nest(Parser& parser) : parser_(parser) {
      if (++parser_.nesting_ > kMaxNesting) parser_.fail("the statement is nested too deeply");
    }
    ~Nest() { --parser_.nesting_; }
    Nest(const Nest&) = delete;
    Nest& operator=(const Nest&) = delete;

   private:
    Parser& parser_;
  };

  const Token& peek(std::size_t ahead = 0) const {
    return tokens_[std::min(pos_ + ahead, tokens_.size() - 1)];
  }
  const Token& advance() {
    const Token& token = tokens_[pos_];
    if (token.kind != TokenKind::End) ++pos_;
    return token;
  }
  bool atKeyword(std::string_view word, std::size_t ahead = 0) const {
    const Token& token = peek(ahead);
    return token.kind == TokenKind::Word && equalsIgnoringCase(token.text, word);
  }
  bool acceptKeyword(std::string_view word) {
    if (!atKeyword(word)) return false;
    advance();
    return true;
  }
  void expectKeyword(std::string_view word) {
    if (!acceptKeyword(word)) fail("expected " + std::string(word));
  }
  bool atSymbol(std::string_view symbol) const {
    return peek().kind == TokenKind::Symbol && peek().text == symbol;
  }
  bool acceptSymbol(std::string_view symbol) {
    if (!atSymbol(symbol)) return false;
    advance();
    return true;
  }
  void expectSymbol(std::string_view symbol) {
    if (!acceptSymbol(symbol)) fail("expected '" + std::string(symbol) + "'");
  }
  bool atName(std::size_t ahead = 0) const {
    const Token& token = peek(ahead);
    return token.kind == TokenKind::BracketedName ||
           (token.kind == TokenKind::Word && !isReserved(token.text));
  }
  std::string name(const char* what) {
    if (!atName()) fail(std::string("expected ") + what);
    return advance().text;
  }

  [[noreturn]] void fail(const std::string& expected) const {
    const Token& token = peek();
    throw SqlError("Syntax error at position " +
                   std::to_string(characterPosition(text_, token.offset)) + ": " + expected +
                   ", found " + describe(token));
  }

  std::unique_ptr<Expr> node(ExprKind kind, std::size_t offset,
                             std::vector<std::unique_ptr<Expr>> operands = {}) {
    auto expr = std::make_unique<Expr>();
    expr->kind = kind;
    expr->offset = offset;
    for (const auto& operand : operands) expr->height = std::max(expr->height, operand->height + 1);
    expr->operands = std::move(operands);
    checkHeight(*expr);
    return expr;
  }
  void checkHeight(const Expr& expr) const {
    if (expr.height > kMaxHeight) {
      throw SqlError("The statement is too complex at position " +
                     std::to_string(characterPosition(text_, expr.offset)));
    }
  }
  std::unique_ptr<Expr> binary(ExprKind kind, std::unique_ptr<Expr> left,
                               std::unique_ptr<Expr> right) {
    const std::size_t offset = left->offset;
    std::vector<std::unique_ptr<Expr>> operands;
    operands.push_back(std::move(left));
    operands.push_back(std::move(right));
    return node(kind, offset, std::move(operands));
  }

  ast::Select select() {
    ast::Select result;
    expectKeyword("SELECT");
    result.distinct = acceptKeyword("DISTINCT");
    if (acceptSymbol("*")) {
      result.items.emplace_back();
    } else {
      do {
        ast::SelectItem item;
        item.expr = expression();
        if (acceptKeyword("AS")) item.alias = name("a column name after AS");
        result.items.push_back(std::move(item));
      } while (acceptSymbol(","));
    }
    expectKeyword("FROM");
    result.from = tableRef();
    if (acceptKeyword("WHERE")) result.where = expression();
    return result;
  }

  ast::Update update() {
    ast::Update result;
    expectKeyword("UPDATE");
    result.table = tableRef();
    expectKeyword("SET");
    do {
      ast::Assignment assignment;
      assignment.offset = peek().offset;
      assignment.column = name("a column name");
      if (acceptSymbol(".")) {
        assignment.qualifier = std::move(assignment.column);
        assignment.column = name("a column name after '.'");
      }
      expectSymbol("=");
      assignment.value = expression();
      result.assignments.push_back(std::move(assignment));
    } while (acceptSymbol(","));
    if (acceptKeyword("WHERE")) result.where = expression();
    return result;
  }

  ast::TableRef tableRef() {
    ast::TableRef table;
    table.offset = peek().offset;
    table.name = name("a table name");
    if (acceptKeyword("AS")) {
      table.alias = name("an alias after AS");
    } else if (atName()) {
      table.alias = name("an alias");
    }
    return table;
  }

  std::unique_ptr<Expr> expression() {
    auto left = conjunction();
    while (acceptKeyword("OR")) left = binary(ExprKind::Or, std::move(left), conjunction());
    return left;
  }

  std::unique_ptr<Expr> conjunction() {
    auto left = negation();
    while (acceptKeyword("AND")) left = binary(ExprKind::And, std::move(left), negation());
    return left;
  }

  std::unique_ptr<Expr> negation() {
    if (!atKeyword("NOT")) return predicate();
    const Nest nest(*this);
    const std::size_t offset = advance().offset;
    std::vector<std::unique_ptr<Expr>> operands;
    operands.push_back(negation());
    return node(ExprKind::Not, offset, std::move(operands));
  }

  std::unique_ptr<Expr> predicate() {
    auto left = sum();
    static constexpr std::pair<std::string_view, CompareOp> kComparisons[] = {
        {"=", CompareOp::Equal},   {"<>", CompareOp::NotEqual},  {"<", CompareOp::Less},
        {">", CompareOp::Greater}, {"<=", CompareOp::LessEqual}, {">=", CompareOp::GreaterEqual}};
    for (const auto& [symbol, op] : kComparisons) {
      if (acceptSymbol(symbol)) {
        auto result = binary(ExprKind::Compare, std::move(left), sum());
        result->compare = op;
        return result;
      }
    }
    if (atKeyword("LIKE") || (atKeyword("NOT") && atKeyword("LIKE", 1))) {
      const bool negated = acceptKeyword("NOT");
      advance();
      auto result = binary(ExprKind::Like, std::move(left), sum());
      result->negated = negated;
      return result;
    }
    if (acceptKeyword("IS")) {
      const bool negated = acceptKeyword("NOT");
      expectKeyword("NULL");
      std::vector<std::unique_ptr<Expr>> operands;
      const std::size_t offset = left->offset;
      operands.push_back(std::move(left));
      auto result = node(ExprKind::IsNull, offset, std::move(operands));
      result->negated = negated;
      return result;
    }
    return left;
  }

  std::unique_ptr<Expr> sum() {
    auto left = signedTerm();
    for (;;) {
      if (acceptSymbol("+")) {
        left = binary(ExprKind::Add, std::move(left), signedTerm());
      } else if (acceptSymbol("-")) {
        left = binary(ExprKind::Subtract, std::move(left), signedTerm());
      } else {
        return left;
      }
    }
  }

  std::unique_ptr<Expr> signedTerm() {
    if (!atSymbol("-")) return primary();
    const Nest nest(*this);
    const std::size_t offset = advance().offset;
    std::vector<std::unique_ptr<Expr>> operands;
    operands.push_back(signedTerm());
    return node(ExprKind::Negate, offset, std::move(operands));
  }

  std::unique_ptr<Expr> literal(std::size_t offset, Value value) {
    auto result = node(ExprKind::Literal, offset);
    result->literal = std::move(value);
    return result;
  }

  std::unique_ptr<Expr> primary() {
    const Token& token = peek();
    const std::size_t offset = token.offset;
    if (token.kind == TokenKind::Number) return literal(offset, number(advance().text));
    if (token.kind == TokenKind::String) return literal(offset, Value::text(advance().text));
    if (acceptKeyword("TRUE")) return literal(offset, Value::yesNo(true));
    if (acceptKeyword("FALSE")) return literal(offset, Value::yesNo(false));
    if (acceptKeyword("NULL")) return literal(offset, Value());
    if (acceptKeyword("EXISTS")) {
      const Nest nest(*this);
      expectSymbol("(");
      auto result = node(ExprKind::Exists, offset);
      result->subquery = std::make_unique<ast::Select>(select());
      expectSymbol(")");
      const ast::Select& sub = *result->subquery;
      if (sub.where) result->height = sub.where->height + 1;
      for (const auto& item : sub.items) {
        if (item.expr) result->height = std::max(result->height, item.expr->height + 1);
      }
      checkHeight(*result);
      return result;
    }
    if (acceptSymbol("(")) {
      const Nest nest(*this);
      auto inner = expression();
      expectSymbol(")");
      return inner;
    }
    if (!atName()) fail("expected an expression");
    if (token.kind == TokenKind::Word && peek(1).kind == TokenKind::Symbol && peek(1).text == "(") {
      const Nest nest(*this);
      std::string functionName = advance().text;
      advance();
      std::vector<std::unique_ptr<Expr>> arguments;
      if (!atSymbol(")")) {
        do {
          arguments.push_back(expression());
        } while (acceptSymbol(","));
      }
      expectSymbol(")");
      auto result = node(ExprKind::Function, offset, std::move(arguments));
      result->name = std::move(functionName);
      return result;
    }
    auto result = node(ExprKind::Column, offset);
    result->name = advance().text;
    if (acceptSymbol(".")) {
      result->qualifier = std::move(result->name);
      result->name = name("a column name after '.'");
    }
    return result;
  }

  static Value number(const std::string& text) {
    if (text.find('.') == std::string::npos) {
      std::int64_t value = 0;
      const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
      if (error == std::errc() && end == text.data() + text.size()) return Value::integer(value);
    }
    return Value::floating(std::strtod(text.c_str(), nullptr));
  }

  std::string_view text_;
  std::vector<Token> tokens_;
  std::size_t pos_ = 0;
  std::size_t nesting_ = 0;
};

}  // namespace

ast::Statement parseStatement(std::string_view text) {
  return Parser(text).statement();
}

}  // namespace leafward::sql
