#pragma once

// A test program that links quarnet_counting_new has the global operator
// new and delete replaced by ones that count every allocation, so a test can
// show that a path (a motor step, a set of GPIO lines) allocates nothing.
namespace CountingAllocator {

// Allocations through operator new (every form but the over-aligned ones)
// since the program started.
long long allocations();

} // namespace CountingAllocator
