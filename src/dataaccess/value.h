#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "dataaccess/decimal.h"

namespace leafward::dataaccess {

// A date and time as Jet stores it: days since 1899-12-30, the fraction being the time of day.
struct DateTime {
  double days = 0;
  bool operator==(const DateTime&) const = default;
};

// A Jet Currency value: a whole number of ten-thousandths (four digits after the point).
struct Currency {
  std::int64_t tenThousandths = 0;
  bool operator==(const Currency&) const = default;
};

// A replication ID (GUID) as stored: its first three groups little-endian, the rest in order.
struct Guid {
  std::array<std::uint8_t, 16> bytes{};
  bool operator==(const Guid&) const = default;
};

// One field value. A Yes/No value is its own kind so that it can print as -1 or 0, the way
// Jet hands it out, while still converting to a number in arithmetic and comparisons. A Single
// keeps its 32 bits, a Currency its exact ten-thousandths and a Decimal its exact digits, so
// that each prints as stored.
class Value {
 public:
  enum class Kind : std::uint8_t {
    Null,
    YesNo,
    Integer,
    Floating,
    Text,
    Date,
    Single,
    Currency,
    Binary,
    Guid,
    Decimal
  };

  Value() = default;
  static Value yesNo(bool value) { return Value(Storage(std::in_place_index<1>, value)); }
  static Value integer(std::int64_t value) { return Value(Storage(std::in_place_index<2>, value)); }
  static Value floating(double value) { return Value(Storage(std::in_place_index<3>, value)); }
  static Value text(std::string value) {
    return Value(Storage(std::in_place_index<4>, std::move(value)));
  }
  static Value date(DateTime value) { return Value(Storage(std::in_place_index<5>, value)); }
  static Value single(float value) { return Value(Storage(std::in_place_index<6>, value)); }
  static Value currency(Currency value) { return Value(Storage(std::in_place_index<7>, value)); }
  static Value binary(std::vector<std::uint8_t> bytes) {
    return Value(Storage(std::in_place_index<8>, std::move(bytes)));
  }
  static Value guid(Guid value) { return Value(Storage(std::in_place_index<9>, value)); }
  static Value decimal(Decimal value) { return Value(Storage(std::in_place_index<10>, value)); }

  Kind kind() const { return static_cast<Kind>(storage_.index()); }
  bool isNull() const { return storage_.index() == 0; }

  // Accessors for the stored kind; asking for another kind throws std::bad_variant_access.
  bool asYesNo() const { return std::get<1>(storage_); }
  std::int64_t asInteger() const { return std::get<2>(storage_); }
  double asFloating() const { return std::get<3>(storage_); }
  const std::string& asText() const { return std::get<4>(storage_); }
  DateTime asDate() const { return std::get<5>(storage_); }
  float asSingle() const { return std::get<6>(storage_); }
  Currency asCurrency() const { return std::get<7>(storage_); }
  const std::vector<std::uint8_t>& asBinary() const { return std::get<8>(storage_); }
  const Guid& asGuid() const { return std::get<9>(storage_); }
  const Decimal& asDecimal() const { return std::get<10>(storage_); }

  // A Floating, Single, Currency or Decimal value as a double; nothing for the other kinds.
  std::optional<double> fractionalNumber() const;

  // The value as text: NULL is empty, Yes/No is -1 or 0, dates as YYYY-MM-DD HH:MM:SS (the
  // date part alone when there is no time of day). Floating and Single print the shortest
  // text that reads back as the same value, positionally from 1e-5 up to the 64-bit integer
  // range and with an exponent (1e+300) beyond; Currency and Decimal print their exact digits
  // without trailing zeros; binary data as uppercase hexadecimal; a GUID braced,
  // {8E39276A-BCA8-4AC4-891E-49911D8438DD}.
  std::string toText() const;

  bool operator==(const Value&) const = default;

 private:
  using Storage = std::variant<std::monostate, bool, std::int64_t, double, std::string, DateTime,
                               float, Currency, std::vector<std::uint8_t>, Guid, Decimal>;
  explicit Value(Storage storage) : storage_(std::move(storage)) {}
  Storage storage_;
};

}  // namespace leafward::dataaccess
