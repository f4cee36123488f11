#pragma once

#include <string>

#include "record/account_set.h"

namespace leafward::audit {

// Where the repairs of one account set are recorded: the folder and the account set, which
// names the file in it.
struct RecordTarget {
  std::string folder;  // empty: the user's own (record::recordFolder()), found when needed
  record::AccountSet accountSet;
};

}  // namespace leafward::audit
