#pragma once
// The Wine test bench's own settings: environment variables read only when the process runs under
// Wine (its ntdll exports wine_get_version), so that Windows never reads them.
#include <cstdint>

namespace torvo::win32 {

bool UnderWine();

// The bench's number NAME when set (decimal, greater than zero) under Wine; else `productValue`.
std::uint32_t BenchNumber(const wchar_t* name, std::uint32_t productValue);

// The bound of a question to the agent: the product's, unless the bench gives the agent more
// time (TORVO_AGENT_BOUND_MS: its machines run loaded, where an answer can take seconds).
inline std::uint32_t AgentBoundMs(std::uint32_t productBound) {
  return BenchNumber(L"TORVO_AGENT_BOUND_MS", productBound);
}

}  // namespace torvo::win32
