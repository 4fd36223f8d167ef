#pragma once

// Holds every range of the address space that can still be reserved, until
// released: small allocations are still served from what the heaps hold, a
// large one fails.

#include <cstdlib>
#include <vector>
#include <windows.h>

class AddressSpaceReservation {
  public:
    AddressSpaceReservation() {
        regions.reserve(1 << 16);
        for (size_t size = size_t{1} << 30; size >= 0x10000; size /= 2) {
            for (void* region;
                 regions.size() < regions.capacity() &&
                 (region = VirtualAlloc(nullptr, size, MEM_RESERVE, PAGE_NOACCESS)) != nullptr;) {
                regions.push_back(region);
            }
        }
    }

    ~AddressSpaceReservation() {
        for (void* region : regions) {
            VirtualFree(region, 0, MEM_RELEASE);
        }
    }

    AddressSpaceReservation(const AddressSpaceReservation&) = delete;
    AddressSpaceReservation& operator=(const AddressSpaceReservation&) = delete;

  private:
    std::vector<void*> regions;
};

// The heap's own free blocks of 64 KiB, taken under a reservation and held
// until destroyed: a whole long path cannot be had, and the smaller buffers
// that start-up needs before it still can. Made before the reservation, so
// that its own list has room.
class LargeHeapBlocks {
  public:
    LargeHeapBlocks() { blocks.reserve(1 << 16); }

    void Take() {
        for (void* block; blocks.size() < blocks.capacity() && (block = std::malloc(1 << 16)) != nullptr;) {
            blocks.push_back(block);
        }
    }

    ~LargeHeapBlocks() {
        for (void* block : blocks) {
            std::free(block);
        }
    }

    LargeHeapBlocks(const LargeHeapBlocks&) = delete;
    LargeHeapBlocks& operator=(const LargeHeapBlocks&) = delete;

  private:
    std::vector<void*> blocks;
};
