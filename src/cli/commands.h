#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace leafward::cli {

// Each command takes the words after its name and returns the process exit code.
int runQuery(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// Checks account sets the way the window's Check does, each starting from an empty report,
// and prints each report, one line per line: FILE..., --server NAME --database NAME, or
// --server NAME --all-databases (see runOnAccountSets). Exit code per account set: 0 no errors
// found; 1 errors reported; 2 it cannot be opened or read (reason on `err`); 3 the check ended
// without a verdict. Over several account sets the worst of them: 2, 3, 1, 0.
int runCheck(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// Repairs the leaf flags of account sets (named as check takes them) the way the window's
// Update does, each starting from an empty report, and prints the reports as check does. Every
// change is first written to the account set's record of repairs (audit::runRecordedUpdate);
// --no-record leaves the record out. Exit 0 when both repair statements ran on every account
// set, whether or not they changed rows; 2, with a one-line reason on `err`, when one cannot
// be opened, a statement was refused, or the record could not be written (the report is
// printed all the same).
int runUpdate(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// Puts back the last repair of one account set (FILE, or --server NAME --database NAME) that
// is not yet undone (audit::runUndo) and prints the report as update does. Exit 0 when it ran
// (also with nothing to undo, or with codes left alone); 2, with a one-line reason on `err`,
// when the account set cannot be opened, its record cannot be read or written, or a change
// was refused.
int runUndo(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// Lists the repairs of one account set from its record, newest first, one line each
// (audit::listHistory), without opening the account set. Exit 0; 2, with a one-line reason
// on `err`, when the record cannot be read or trusted.
int runHistory(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// Lists the account-set databases of a SQL Server (`--server NAME`), one name per line, in the
// order the server gives them. The password of `sa` comes from LEAFWARD_SA_PASSWORD or the
// terminal. Exit 0: listed (possibly none); 2: the server cannot be reached or queried.
int runDatabases(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace leafward::cli
