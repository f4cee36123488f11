#pragma once

#include "dataaccess/jet/durable_io.h"
#include "dataaccess/jet/flag_writer.h"
#include "dataaccess/jet/page_file.h"

namespace leafward::jet {

// recoverIfNeeded() for a file already open for writing and locked by the caller.
Recovery recoverLocked(PageFile& file, DurabilityStats& stats);

}  // namespace leafward::jet
