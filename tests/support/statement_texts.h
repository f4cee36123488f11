#pragma once

#include <string>

namespace leafward::testing {

// The statements of a Check, exactly as they must be sent.
inline const std::string kFirstListAccess =
    "SELECT  ccode FROM [code] where exists (SELECT  * FROM [code] p where p.ccode like "
    "code.ccode+'_%') and [bend]";
inline const std::string kSecondListAccess =
    "SELECT  ccode FROM [code] where not exists(SELECT  * FROM [code] p where p.ccode like "
    "code.ccode+'_%') and not [bend]";
inline const std::string kFirstListServer = kFirstListAccess + "=1";
inline const std::string kSecondListServer =
    "SELECT  ccode FROM [code] where not exists(SELECT  * FROM [code] p where p.ccode like "
    "code.ccode+'_%') and [bend]=0";
// What a Check reads after its statements for the details of the codes it lists: the first
// query the code table has the columns for.
inline const std::string kDetails = "SELECT ccode, bend, ccode_name, igrade FROM [code]";
inline const std::string kDetailsWithName = "SELECT ccode, bend, ccode_name FROM [code]";
inline const std::string kDetailsWithLevel = "SELECT ccode, bend, igrade FROM [code]";
inline const std::string kDetailsOfCodes = "SELECT ccode FROM [code]";

// The statements of an Update.
inline const std::string kClearNonLeaf =
    "update code Set [bend] = 0  where exists (SELECT  * FROM [code] p where p.ccode like "
    "code.ccode+'_%') and [bend]<>0";
inline const std::string kSetLeafAccess =
    "update code Set [bend] = true where not exists (SELECT  * FROM [code] p where p.ccode like "
    "code.ccode+'_%') and [bend]=0";
inline const std::string kSetLeafServer =
    "update code Set [bend] = 1 where not exists (SELECT  * FROM [code] p where p.ccode like "
    "code.ccode+'_%') and [bend]=0";
inline const std::string kLengths = "SELECT  distinct len(ccode) FROM  code ";
inline const std::string kAccScheme =
    "SELECT  [cValue] FROM [AccInformation]where [cName]='cGradeLevel'";
inline const std::string kGradeScheme =
    "SELECT  [CODINGRULE] FROM [GradeDef] where [KEYWORD]='code'";

// An undo on SQL Server puts flags back by code with parameters, as FreeTDS sends them.
inline const std::string kSetFlagByCode =
    "update [code] Set [bend] = @P1 where [ccode] = @P2 COLLATE Latin1_General_BIN2 and [bend] = "
    "@P3";
inline const std::string kSetFlagOfNullCode =
    "update [code] Set [bend] = @P1 where [ccode] is null and [bend] = @P2";
// It first reads the flags of each code it puts back; a NULL code's without a parameter.
inline const std::string kFlagsOfCode =
    "SELECT [bend] FROM [code] where [ccode] = @P1 COLLATE Latin1_General_BIN2";
inline const std::string kFlagsOfNullCode = "SELECT [bend] FROM [code] where [ccode] is null";

// The login dialog's list of a server's account-set databases.
inline const std::string kAccountSetList =
    "Select [name] from [sysdatabases] where [name] like "
    "'pelkor_[0-9][0-9][0-9]_[12][0-9][0-9][0-9]'";

}  // namespace leafward::testing
