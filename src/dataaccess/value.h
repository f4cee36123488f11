#pragma once

#include <cstdint>
#include <string>
#include <variant>

namespace leafward::dataaccess {

// A date and time as Jet stores it: days since 1899-12-30, the fraction being the time of day.
struct DateTime {
  double days = 0;
  bool operator==(const DateTime&) const = default;
};

// One field value. A Yes/No value is its own kind so that it can print as -1 or 0, the way
// Jet hands it out, while still converting to a number in arithmetic and comparisons.
class Value {
 public:
  enum class Kind { Null, YesNo, Integer, Floating, Text, Date };

  Value() = default;
  static Value yesNo(bool value) { return Value(Storage(std::in_place_index<1>, value)); }
  static Value integer(std::int64_t value) { return Value(Storage(std::in_place_index<2>, value)); }
  static Value floating(double value) { return Value(Storage(std::in_place_index<3>, value)); }
  static Value text(std::string value) {
    return Value(Storage(std::in_place_index<4>, std::move(value)));
  }
  static Value date(DateTime value) { return Value(Storage(std::in_place_index<5>, value)); }

  Kind kind() const { return static_cast<Kind>(storage_.index()); }
  bool isNull() const { return storage_.index() == 0; }

  // Accessors for the stored kind; asking for another kind throws std::bad_variant_access.
  bool asYesNo() const { return std::get<1>(storage_); }
  std::int64_t asInteger() const { return std::get<2>(storage_); }
  double asFloating() const { return std::get<3>(storage_); }
  const std::string& asText() const { return std::get<4>(storage_); }
  DateTime asDate() const { return std::get<5>(storage_); }

  // The value as text: NULL is empty, Yes/No is -1 or 0, numbers in decimal, dates as
  // YYYY-MM-DD HH:MM:SS (the date part alone when there is no time of day).
  std::string toText() const;

  bool operator==(const Value&) const = default;

 private:
  using Storage = std::variant<std::monostate, bool, std::int64_t, double, std::string, DateTime>;
  explicit Value(Storage storage) : storage_(std::move(storage)) {}
  Storage storage_;
};

}  // namespace leafward::dataaccess
