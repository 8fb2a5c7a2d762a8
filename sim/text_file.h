#pragma once
// Whole files for the simulator and its tools: read only from what is a file,
// replaced all or nothing, with the operating system's reason on failure.
#include <string>

namespace sim {

// Why `path` cannot be read as a file ("is a directory", "is not a regular
// file"), or empty when it is a regular file or does not exist.
std::string NotAFile(const std::string& path);

// The file's bytes. False with "cannot read PATH: reason" for a missing or
// unreadable file, a directory, a device or a pipe.
bool ReadWholeFile(const std::string& path, std::string& bytes, std::string* error);

// Gives the file these bytes, or leaves it as it was. A symbolic link keeps
// pointing where it did and the file it names keeps its mode, owner and group
// (where the process may give them): the bytes go to a new file beside that
// one, which then takes its place. On failure no new file is left behind and
// `error` says "cannot save PATH: reason"; the new files of saves killed in
// the middle are removed by the next save.
bool ReplaceFile(const std::string& path, const std::string& bytes, std::string* error);

}  // namespace sim
