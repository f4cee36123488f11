#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace leafward::cli {

// How an .mdb file is to be read, given as options before the file name:
//   --code-page N   the Windows code page of an Access 97 file's text, for a file whose
//                   header names another (e.g. 936 for a file written on a Chinese system)
struct FileOptions {
  std::optional<std::string> codePage;
};

// Takes the options at the front of `args` out of it. False, with the reason on `err`, when
// one is unknown or lacks its value.
bool takeFileOptions(std::vector<std::string>& args, FileOptions& options, std::ostream& err);

// The Access provider's connection string for `file` read with `options`.
std::string accessConnectionString(const std::string& file, const FileOptions& options);

}  // namespace leafward::cli
