#include "support/tds_requests.h"

#include "dataaccess/odbc/utf16.h"

namespace leafward::testing {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::uint32_t readLe(const Bytes& bytes, std::size_t at, int size) {
  std::uint32_t value = 0;
  for (int i = size - 1; i >= 0; --i) value = (value << 8) | bytes[at + i];
  return value;
}

// Where the request proper begins, after its stream headers; nothing when they do not fit.
std::optional<std::size_t> afterHeaders(const Bytes& payload) {
  if (payload.size() < 4) return std::nullopt;
  const std::size_t headers = readLe(payload, 0, 4);
  if (headers < 4 || headers > payload.size()) return std::nullopt;
  return headers;
}

// Reads the parameters of an RPC call one by one.
class ParameterReader {
 public:
  ParameterReader(const Bytes& payload, std::size_t at) : bytes_(payload), at_(at) {}

  bool atEnd() const { return at_ >= bytes_.size(); }

  // One parameter's value; nothing when it cannot be read.
  std::optional<Reply::Cell> next() {
    // Its name (length in characters, UTF-16), its status flags, then its type.
    if (!take(1)) return std::nullopt;
    if (!take(2 * std::size_t{bytes_[at_ - 1]} + 1) || !take(1)) return std::nullopt;
    switch (bytes_[at_ - 1]) {
      case 0x68:  // BITN
      case 0x26:  // INTN
        return number();
      case 0xE7:  // NVARCHAR: maximum length, collation, length
        return text(2, 0xFFFF);
      case 0x63:  // NTEXT: maximum length, collation, length
        return text(4, 0xFFFFFFFF);
      default:
        return std::nullopt;
    }
  }

 private:
  bool take(std::size_t size) {
    if (at_ + size > bytes_.size()) return false;
    at_ += size;
    return true;
  }

  std::optional<Reply::Cell> number() {
    if (!take(1) || !take(1)) return std::nullopt;
    const std::size_t size = bytes_[at_ - 1];
    if (size > 4 || !take(size)) return std::nullopt;
    if (size == 0) return Reply::Cell();
    return Reply::Cell(
        static_cast<std::int32_t>(readLe(bytes_, at_ - size, static_cast<int>(size))));
  }

  std::optional<Reply::Cell> text(int lengthSize, std::uint32_t null) {
    if (!take(static_cast<std::size_t>(lengthSize)) || !take(5) ||
        !take(static_cast<std::size_t>(lengthSize))) {
      return std::nullopt;
    }
    const std::uint32_t size = readLe(bytes_, at_ - lengthSize, lengthSize);
    if (size == null) return Reply::Cell();
    if (size % 2 != 0 || !take(size)) return std::nullopt;
    std::u16string units;
    for (std::size_t i = at_ - size; i < at_; i += 2) {
      units += static_cast<char16_t>(readLe(bytes_, i, 2));
    }
    return Reply::Cell(odbc::utf8FromUtf16(units));
  }

  const Bytes& bytes_;
  std::size_t at_;
};

}  // namespace

std::optional<ParameterisedStatement> parseExecuteSql(const Bytes& payload) {
  constexpr std::uint32_t kExecuteSql = 10;
  const auto at = afterHeaders(payload);
  // The procedure by number (0xFFFF, then its id), then two bytes of options.
  if (!at || *at + 6 > payload.size() || readLe(payload, *at, 2) != 0xFFFF ||
      readLe(payload, *at + 2, 2) != kExecuteSql) {
    return std::nullopt;
  }
  ParameterReader reader(payload, *at + 6);
  std::vector<Reply::Cell> values;
  while (!reader.atEnd()) {
    std::optional<Reply::Cell> value = reader.next();
    if (!value) return std::nullopt;
    values.push_back(std::move(*value));
  }
  // The statement, the declaration of its parameters, then their values.
  if (values.size() < 2 || !std::holds_alternative<std::string>(values[0])) return std::nullopt;
  ParameterisedStatement statement{std::get<std::string>(values[0]), {}};
  statement.values.assign(values.begin() + 2, values.end());
  return statement;
}

std::optional<TransactionRequest> parseTransactionRequest(const Bytes& payload) {
  enum : std::uint32_t { kBegin = 5, kCommit = 7, kRollback = 8 };
  const auto at = afterHeaders(payload);
  if (!at || *at + 2 > payload.size()) return std::nullopt;
  const std::uint32_t type = readLe(payload, *at, 2);
  if (type == kBegin) return TransactionRequest{TransactionRequest::Begin, false};
  if (type != kCommit && type != kRollback) return std::nullopt;
  // The transaction's name (its length in characters, then UTF-16), then the flags.
  const std::size_t name = *at + 2;
  if (name >= payload.size()) return std::nullopt;
  const std::size_t flags = name + 1 + 2 * std::size_t{payload[name]};
  const bool another = flags < payload.size() && (payload[flags] & 0x01) != 0;
  return TransactionRequest{
      type == kCommit ? TransactionRequest::Commit : TransactionRequest::Rollback, another};
}

}  // namespace leafward::testing
