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
// a UTF-16 file with its byte-order mark is read as such, and UTF-8 after its
// byte-order mark as UTF-8 (a byte that is not UTF-8 is refused).
//
// It reads text as the C runtime of the image-build host reads a file in
// text mode: a line ends at a line feed (a carriage return before it is
// dropped; one alone ends no line), and a Ctrl-Z ends the file.
#include <string>
#include <vector>

#include "registry_util.h"

namespace sim {

// A script as the image build reads it, before any of it is applied: its
// sections in script order, each with its value lines.
struct ScriptValue {
    int line;
    bool remove;  // "name"=-
    WString name;
    DWORD type;
    std::vector<BYTE> data;
};
struct ScriptSection {
    int line;
    bool remove;  // [-key]
    HKEY root;
    WString key;  // below the root, "" for the root itself
    std::vector<ScriptValue> values;
};
struct ParsedScript {
    std::vector<ScriptSection> sections;
    int endMarkLine = 0;  // the line of the Ctrl-Z that ends the file, 0 for none
};

// The whole script checked and read, or false with `error` saying
// "line N: what" (see ImportRegText).
bool ParseRegText(const std::string& text, ParsedScript& script, std::string* error);
// Into the registry, section by section: false, with "line N: ...", when the
// registry refuses a key or a value, the sections before it applied.
bool ApplyRegScript(const ParsedScript& script, std::string* error);

// The number the reader gives the line that holds byte `offset` of an 8-bit
// or UTF-8 script.
int LineOfByte(const std::string& text, size_t offset);

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
