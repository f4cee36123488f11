#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "support/stand_in_account_sets.h"

// The requests besides SQL batches that FreeTDS sends when a statement runs in a transaction
// with parameters, as the stand-in SQL Server reads them.
namespace leafward::testing {

// A transaction manager request (TDS packet type 14).
struct TransactionRequest {
  enum Kind { Begin, Commit, Rollback } kind = Begin;
  bool beginAnother = false;  // a commit or rollback that begins the next transaction at once
};

// Nothing when the payload is malformed or asks for something else.
std::optional<TransactionRequest> parseTransactionRequest(const std::vector<std::uint8_t>& payload);

// A call of sp_executesql (TDS packet type 3): the statement, its parameters named @P1, @P2...
// as FreeTDS names them, and their values: bit and int as numbers, nvarchar and ntext as text.
struct ParameterisedStatement {
  std::string text;
  std::vector<Reply::Cell> values;
};

// Nothing when the payload is malformed, calls another procedure, or passes a parameter of a
// type the stand-in does not read.
std::optional<ParameterisedStatement> parseExecuteSql(const std::vector<std::uint8_t>& payload);

}  // namespace leafward::testing
