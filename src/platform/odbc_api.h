#pragma once

// The system's ODBC interface (unixODBC on Linux, odbc32 on Windows). Windows' ODBC headers use
// its basic types without including them.
#ifdef _WIN32
#include <windows.h>
#endif
#include <sql.h>
#include <sqlext.h>
