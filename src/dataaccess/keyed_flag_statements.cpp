#include "dataaccess/keyed_flag_statements.h"

namespace leafward::dataaccess {
namespace {

// An identifier in brackets, a closing bracket doubled.
std::string bracketed(const std::string& name) {
  std::string text = "[";
  for (char c : name) {
    text += c;
    if (c == ']') text += ']';
  }
  return text + "]";
}

}  // namespace

KeyedFlagStatements keyedFlagStatements(const KeyedFlagUpdate& update) {
  const std::string set = "update " + bracketed(update.table) + " Set " +
                          bracketed(update.flagColumn) + " = ? where " +
                          bracketed(update.keyColumn);
  const std::string flagIs = " and " + bracketed(update.flagColumn) + " = ?";
  return {set + " = ? COLLATE Latin1_General_BIN2" + flagIs, set + " is null" + flagIs};
}

KeyedFlagStatements flagLookupStatements(const FlagLookup& lookup) {
  const std::string select = "SELECT " + bracketed(lookup.flagColumn) + " FROM " +
                             bracketed(lookup.table) + " where " + bracketed(lookup.keyColumn);
  return {select + " = ? COLLATE Latin1_General_BIN2", select + " is null"};
}

}  // namespace leafward::dataaccess
