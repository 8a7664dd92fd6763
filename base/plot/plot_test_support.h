// Helpers of the drawing tests: running an independent reader (Pillow, ffprobe) on a
// file we wrote, and small DIBs built byte by byte.
#pragma once
#include <sys/wait.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/ByteOrder.h"
#include "platform/MemBlock.h"

namespace plot_test {

// Runs a shell command; its exit status, with standard output and error in *output.
inline int RunTool(const std::string& command, std::string* output) {
  std::FILE* p = popen((command + " 2>&1").c_str(), "r");
  if (!p) return -1;
  char buf[512];
  output->clear();
  while (std::fgets(buf, sizeof buf, p)) *output += buf;
  const int status = pclose(p);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Whether Debian's python3 has Pillow (the tests that read our files with it skip
// without it).
inline bool HavePillow() {
  std::string out;
  return RunTool("/usr/bin/python3 -c 'import PIL'", &out) == 0;
}

// A bottom-up 24-bit DIB of w x h pixels; pixel(x, y) gives 0xRRGGBB with y counted
// from the top.
template <typename F>
plat::MemBlock Dib24(int w, int h, F pixel) {
  const std::size_t row = ((static_cast<std::size_t>(w) * 24 + 31) / 32) * 4;
  plat::MemBlock b(40 + row * h);
  BYTE* p = b.data();
  le::PutU32(p, 40);
  le::PutU32(p + 4, static_cast<std::uint32_t>(w));
  le::PutU32(p + 8, static_cast<std::uint32_t>(h));
  le::PutU16(p + 12, 1);
  le::PutU16(p + 14, 24);
  le::PutU32(p + 20, static_cast<std::uint32_t>(row * h));
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const unsigned c = pixel(x, y);
      BYTE* q = p + 40 + static_cast<std::size_t>(h - 1 - y) * row + x * 3;
      q[0] = static_cast<BYTE>(c);
      q[1] = static_cast<BYTE>(c >> 8);
      q[2] = static_cast<BYTE>(c >> 16);
    }
  return b;
}

}  // namespace plot_test
