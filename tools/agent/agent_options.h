#pragma once
// The stand-in agent's command line.
#include <cstdint>
#include <string>
#include <vector>

namespace torvo::agent {

inline constexpr std::uintptr_t kQueryReady = 1004;
inline constexpr std::uintptr_t kQueryDriveLetter = 1005;

struct AgentOptions {
  std::uint64_t readyAnswer = 1;     // /ready:N
  std::uint64_t driveAnswer = u'X';  // /drive:C (the letter) or /letter:N (the whole answer)
  bool hang = false;                 // /hang: every query sleeps in the window procedure
  bool logQueries = false;           // /logqueries: every query is logged before it is answered
  bool quit = false;                 // /quit: close the running agents and end
  bool loginMove = false;            // /_loginmove PATH: log what arrived and end
  std::wstring listFile;             // the argument after /_loginmove ("" when none)
  std::wstring error;                // the first argument that could not be read; empty when all were
};

// Reads the arguments after the program's name (as CommandLineToArgvW splits them). Switch names
// are compared without regard to case; numbers are decimal or 0x-hexadecimal, up to 64 bits.
AgentOptions ParseAgentOptions(const std::vector<std::wstring>& arguments);

}  // namespace torvo::agent
