// The "global memory" block that carries packed DIBs and gathered memory streams
// between the image library and its callers: one zero-filled block of bytes, owned by
// whoever holds the handle. Blocks never move, so "locking" only counts and hands out
// the address. A registry of live blocks lets the library tell its own blocks from any
// other pointer, which stands in for the readable-memory probes of the original design.
#pragma once
#include <cstddef>

#include "platform/WinTypes.h"

struct ImgMemBlock;
using ImgMem = ImgMemBlock*;

// A new zero-filled block of `size` bytes (size 0 gives a block of no bytes); null when
// the memory cannot be had.
ImgMem ImgMemAlloc(std::size_t size);
// The block's first byte (the same address every time); null for a null or dead handle.
BYTE* ImgMemLock(ImgMem block);
// Returns whether the block is still locked afterwards.
bool ImgMemUnlock(ImgMem block);
// Frees the block; returns null (as the Windows call does on success).
ImgMem ImgMemFree(ImgMem block);
// Size in bytes; 0 for a null or dead handle.
std::size_t ImgMemSize(ImgMem block);
// The live block whose first byte is `first`, or null.
ImgMem ImgMemHandle(const void* first);
// The live block that contains the address `p` (anywhere inside it), or null; `offset`
// receives the position of `p` in the block.
ImgMem ImgMemContaining(const void* p, std::size_t* offset);
