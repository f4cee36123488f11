#pragma once

#include <string_view>

#include "audit/record_target.h"
#include "audit/update.h"

namespace leafward::audit {

// The Update command with every change on record (the window's Update and `leafward-cli
// update` both call it): the same two statements, the same report lines as runUpdate. It holds
// the account set's record from before the codes are listed, so that no other repair comes
// between, and before the first statement runs, the codes each will change are written to the
// record and made durable: on an Access file the rows the writer has planned, on SQL Server
// the rows the Check's two lists find, read before either UPDATE. After each statement a row
// confirms how it ended, with the rows it changed; on SQL Server a count that differs from the
// list read before it is noted there. When there is nothing to change no record is written
// (unless a statement changes rows all the same), and a record that cannot be taken is no
// hindrance.
//
// When the record cannot be written, nothing is changed: the report says why in one line,
// kUnrecordedRefusal followed by the reason, and the outcome's recordFailure holds the reason.
inline constexpr std::string_view kUnrecordedRefusal = "未能写入修复记录，没有更新任何科目标志：";
UpdateOutcome runRecordedUpdate(connection::SharedConnection& shared, Workbench& bench,
                                const RecordTarget& target);

}  // namespace leafward::audit
