#pragma once
// The image build's side of the registry script: .reg text into the registry,
// and the registry back out as .reg text a person can read.
//
// Import takes ordinary .reg syntax (an optional REGEDIT4 line, "[key]" and
// "[-key]" sections, "name"= or @= values as "text", dword:, hex:, hex(N):,
// multi_sz: with quoted texts or a byte list, "=-" deletions, ";" comments,
// "\" line continuations) and what the configuration library writes (header
// lines with a trailing blank, lines of one blank, unescaped texts, dword:
// without leading zeros). The script is 8-bit text, one UTF-16 unit per byte;
// a UTF-16 file with its byte-order mark is read as such.
#include <string>

namespace sim {

// The whole script is checked before anything is written: on a malformed
// line nothing changes and `error` says "line N: what".
// A script that ends where its last line says it goes on, in a byte list
// after a comma or inside a byte, or a saved registry without its closing
// line, is refused as cut off.
bool ImportRegText(const std::string& text, std::string* error);
// Refuses a directory, a device or a pipe with the reason.
bool ImportRegFile(const std::string& path, std::string* error);

// Every non-volatile key, parents before children in enumeration order, with
// its values in theirs, between a first and a last comment line that tell a
// whole saved registry from a cut one. Importing the text gives back the same keys, types
// and bytes. False when a name cannot be written in 8-bit text.
bool ExportRegText(std::string& text, std::string* error);
// All or nothing, through a symbolic link to the file it names, keeping the
// file's mode (ReplaceFile).
bool ExportRegFile(const std::string& path, std::string* error);

}  // namespace sim
