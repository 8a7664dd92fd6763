// Little-endian reads and writes of fixed-width values, independent of the host.
#pragma once
#include <cstdint>
#include <cstring>

namespace le {

inline std::uint16_t GetU16(const void* p) {
  auto b = static_cast<const std::uint8_t*>(p);
  return static_cast<std::uint16_t>(b[0] | (b[1] << 8));
}
inline std::uint32_t GetU32(const void* p) {
  auto b = static_cast<const std::uint8_t*>(p);
  return static_cast<std::uint32_t>(b[0]) | (static_cast<std::uint32_t>(b[1]) << 8) |
         (static_cast<std::uint32_t>(b[2]) << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
}
inline std::uint64_t GetU64(const void* p) {
  auto b = static_cast<const std::uint8_t*>(p);
  return static_cast<std::uint64_t>(GetU32(b)) | (static_cast<std::uint64_t>(GetU32(b + 4)) << 32);
}
inline std::int16_t GetI16(const void* p) { return static_cast<std::int16_t>(GetU16(p)); }
inline std::int32_t GetI32(const void* p) { return static_cast<std::int32_t>(GetU32(p)); }
inline std::int64_t GetI64(const void* p) { return static_cast<std::int64_t>(GetU64(p)); }
inline float GetF32(const void* p) {
  std::uint32_t u = GetU32(p);
  float f;
  std::memcpy(&f, &u, 4);
  return f;
}
inline double GetF64(const void* p) {
  std::uint64_t u = GetU64(p);
  double d;
  std::memcpy(&d, &u, 8);
  return d;
}

inline void PutU16(void* p, std::uint16_t v) {
  auto b = static_cast<std::uint8_t*>(p);
  b[0] = static_cast<std::uint8_t>(v);
  b[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void PutU32(void* p, std::uint32_t v) {
  auto b = static_cast<std::uint8_t*>(p);
  for (int i = 0; i < 4; ++i) b[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
inline void PutU64(void* p, std::uint64_t v) {
  auto b = static_cast<std::uint8_t*>(p);
  for (int i = 0; i < 8; ++i) b[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
inline void PutI16(void* p, std::int16_t v) { PutU16(p, static_cast<std::uint16_t>(v)); }
inline void PutI32(void* p, std::int32_t v) { PutU32(p, static_cast<std::uint32_t>(v)); }
inline void PutI64(void* p, std::int64_t v) { PutU64(p, static_cast<std::uint64_t>(v)); }
inline void PutF32(void* p, float f) {
  std::uint32_t u;
  std::memcpy(&u, &f, 4);
  PutU32(p, u);
}
inline void PutF64(void* p, double d) {
  std::uint64_t u;
  std::memcpy(&u, &d, 8);
  PutU64(p, u);
}

}  // namespace le
