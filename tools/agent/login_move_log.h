#pragma once
// What the agent received with "/_loginmove": appended to its log as UTF-8 text.
#include <string>

namespace torvo::agent {

inline constexpr wchar_t kLogVariable[] = L"TORVO_AGENT_LOG";
inline constexpr wchar_t kDefaultLogName[] = L"zebtorvofloat.log";

// The log: the file that TORVO_AGENT_LOG names, else zebtorvofloat.log beside the program.
std::wstring LogPath();

// Appends one block for this start: the raw command line, the list file's path, one line per
// record of the list file (UTF-16LE, each record ended by one LF) and an "end:" line that counts
// the records or names what was wrong with the file. The list file is left where it is.
void LogLoginMove(const std::wstring& commandLine, const std::wstring& listFile);

// Appends one line (a note such as a refused command line).
void LogLine(const std::wstring& line);

}  // namespace torvo::agent
