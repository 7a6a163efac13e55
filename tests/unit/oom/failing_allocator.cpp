#include "tests/unit/oom/failing_allocator.h"

#include <cstdlib>
#include <new>

namespace torvo::oom {

namespace {

bool g_armed = false;
bool g_injected = false;
std::size_t g_failAt = 0;
std::size_t g_seen = 0;
std::int64_t g_live = 0;

// Whether this allocation is the one to fail; counts it while armed.
bool ShouldFail() {
  if (!g_armed) return false;
  ++g_seen;
  if (g_seen != g_failAt) return false;
  g_injected = true;
  return true;
}

void* Allocate(std::size_t bytes, std::size_t alignment) {
  if (ShouldFail()) return nullptr;
  if (bytes == 0) bytes = 1;
  void* block = alignment <= alignof(std::max_align_t)
                    ? std::malloc(bytes)
                    : std::aligned_alloc(alignment, (bytes + alignment - 1) / alignment * alignment);
  if (block != nullptr) ++g_live;
  return block;
}

void* AllocateOrThrow(std::size_t bytes, std::size_t alignment) {
  void* block = Allocate(bytes, alignment);
  if (block == nullptr) throw std::bad_alloc();
  return block;
}

void Free(void* block) noexcept {
  if (block == nullptr) return;
  --g_live;
  std::free(block);
}

}  // namespace

void Arm(std::size_t failAt) {
  g_failAt = failAt;
  g_seen = 0;
  g_injected = false;
  g_armed = true;
}

bool Disarm() {
  g_armed = false;
  return g_injected;
}

std::size_t AllocationsSeen() { return g_seen; }
std::int64_t LiveBlocks() { return g_live; }

}  // namespace torvo::oom

using torvo::oom::Allocate;
using torvo::oom::AllocateOrThrow;
using torvo::oom::Free;

constexpr std::size_t kDefault = alignof(std::max_align_t);

void* operator new(std::size_t bytes) { return AllocateOrThrow(bytes, kDefault); }
void* operator new[](std::size_t bytes) { return AllocateOrThrow(bytes, kDefault); }
void* operator new(std::size_t bytes, const std::nothrow_t&) noexcept { return Allocate(bytes, kDefault); }
void* operator new[](std::size_t bytes, const std::nothrow_t&) noexcept { return Allocate(bytes, kDefault); }
void* operator new(std::size_t bytes, std::align_val_t a) {
  return AllocateOrThrow(bytes, static_cast<std::size_t>(a));
}
void* operator new[](std::size_t bytes, std::align_val_t a) {
  return AllocateOrThrow(bytes, static_cast<std::size_t>(a));
}
void* operator new(std::size_t bytes, std::align_val_t a, const std::nothrow_t&) noexcept {
  return Allocate(bytes, static_cast<std::size_t>(a));
}
void* operator new[](std::size_t bytes, std::align_val_t a, const std::nothrow_t&) noexcept {
  return Allocate(bytes, static_cast<std::size_t>(a));
}

void operator delete(void* block) noexcept { Free(block); }
void operator delete[](void* block) noexcept { Free(block); }
void operator delete(void* block, std::size_t) noexcept { Free(block); }
void operator delete[](void* block, std::size_t) noexcept { Free(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { Free(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { Free(block); }
void operator delete(void* block, std::align_val_t) noexcept { Free(block); }
void operator delete[](void* block, std::align_val_t) noexcept { Free(block); }
void operator delete(void* block, std::size_t, std::align_val_t) noexcept { Free(block); }
void operator delete[](void* block, std::size_t, std::align_val_t) noexcept { Free(block); }
void operator delete(void* block, std::align_val_t, const std::nothrow_t&) noexcept { Free(block); }
void operator delete[](void* block, std::align_val_t, const std::nothrow_t&) noexcept { Free(block); }
