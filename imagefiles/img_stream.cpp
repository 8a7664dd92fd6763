#include "imagefiles/img_stream.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <new>
#include <vector>

#include "imagefiles/ImageDescriptor.h"
#include "platform/File.h"
#include "platform/FileSystem.h"

namespace {

plat::File* AsFile(StreamHandle h) { return reinterpret_cast<plat::File*>(h); }

struct SourceSlot {
  int number = 0;  // 0 free, else the slot's own number
  const BYTE* data = nullptr;
  std::size_t size = 0;
  std::int64_t position = 0;
};

struct Chunk {
  std::vector<BYTE> data;
  std::int64_t offset = 0;
};

struct SinkSlot {
  int number = 0;
  std::int64_t total = 0;
  std::vector<Chunk> chunks;  // in the order written
  std::int64_t position = 0;
};

constexpr int kSlots = 4;
// The slot tables are shared by every codec; codecs on different threads must not
// take the same slot, so the tables carry their own lock.
std::mutex g_slotMutex;
SourceSlot g_sources[kSlots];
SinkSlot g_sinks[kSlots];

SourceSlot* Source(StreamHandle slot) {
  if (slot < 1 || slot > kSlots || g_sources[slot - 1].number == 0) return nullptr;
  return &g_sources[slot - 1];
}
SinkSlot* Sink(StreamHandle slot) {
  if (slot < 1 || slot > kSlots || g_sinks[slot - 1].number == 0) return nullptr;
  return &g_sinks[slot - 1];
}

}  // namespace

// ---------------------------------------------------------------- files
// File handles are platform files, which find existing files whatever the case of the
// name and take "\\" as a separator.

StreamHandle file_open_read(const char* path) {
  if (!path || !plat::FileExists(path)) return STREAM_INVALID;
  auto* f = new (std::nothrow) plat::File;
  if (!f || !f->Open(path, "rb")) {
    delete f;
    return STREAM_INVALID;
  }
  return reinterpret_cast<StreamHandle>(f);
}

StreamHandle file_create(const char* path) {
  if (!path || plat::FolderExists(path)) return STREAM_INVALID;
  auto* f = new (std::nothrow) plat::File;
  if (!f || !f->Open(path, "wb")) {
    delete f;
    return STREAM_INVALID;
  }
  return reinterpret_cast<StreamHandle>(f);
}

int file_read(StreamHandle h, void* buffer, DWORD count, DWORD* done) {
  if (done) *done = 0;
  if (h == STREAM_INVALID || h == 0) return 0;
  std::size_t n = AsFile(h)->Read(buffer, count);
  if (done) *done = static_cast<DWORD>(n);
  return 1;
}

int file_write(StreamHandle h, const void* buffer, DWORD count, DWORD* done) {
  if (done) *done = 0;
  if (h == STREAM_INVALID || h == 0) return 0;
  std::size_t n = count ? AsFile(h)->Write(buffer, count) : 0;
  if (done) *done = static_cast<DWORD>(n);
  return n == count;
}

std::int64_t file_seek(StreamHandle h, std::int64_t distance, int method) {
  if (h == STREAM_INVALID || h == 0 || method < 0 || method > 2) return -1;
  int whence = method == STREAM_CURRENT ? SEEK_CUR : method == STREAM_END ? SEEK_END : SEEK_SET;
  if (!AsFile(h)->Seek(distance, whence)) return -1;
  return AsFile(h)->Tell();
}

int file_close(StreamHandle h) {
  if (h == STREAM_INVALID || h == 0) return 0;
  plat::File* f = AsFile(h);
  bool ok = f->Flush();
  delete f;  // closes
  return ok;
}

bool file_delete(const char* path) { return path && plat::DeleteFile(path); }

bool file_write_all(StreamHandle h, const void* buffer, std::size_t n) {
  DWORD done = 0;
  return n == 0 || (file_write(h, buffer, static_cast<DWORD>(n), &done) && done == n);
}

int file_finish_write(StreamHandle h, const char* path, int result) {
  if (!file_close(h) && result == IMG_OK) result = IMG_WRITE_FAILED;
  if (result != IMG_OK) file_delete(path);
  return result;
}

bool file_exists(const char* path) { return path && plat::FileExists(path); }

// ---------------------------------------------------------------- memory sources

int mem_source_open(const void* data, std::size_t size, DWORD access) {
  if (access != GENERIC_READ) return -1;
  std::lock_guard<std::mutex> g(g_slotMutex);
  for (int i = 0; i < kSlots; ++i) {
    if (g_sources[i].number == 0) {
      g_sources[i] = SourceSlot{i + 1, static_cast<const BYTE*>(data), data ? size : 0, 0};
      return i + 1;
    }
  }
  return -1;
}

int mem_source_read(StreamHandle slot, void* buffer, DWORD count, DWORD* done) {
  if (done) *done = 0;
  std::lock_guard<std::mutex> g(g_slotMutex);
  SourceSlot* s = Source(slot);
  if (!s) return 0;
  std::size_t n = 0;
  if (s->position >= 0 && static_cast<std::uint64_t>(s->position) < s->size) {
    n = s->size - static_cast<std::size_t>(s->position);
    if (n > count) n = count;
    std::memcpy(buffer, s->data + s->position, n);
  }
  s->position += static_cast<std::int64_t>(n);
  if (done) *done = static_cast<DWORD>(n);
  return 1;
}

std::int64_t mem_source_seek(StreamHandle slot, std::int64_t distance, int method) {
  std::lock_guard<std::mutex> g(g_slotMutex);
  SourceSlot* s = Source(slot);
  if (!s) return -1;
  if (method == STREAM_BEGIN) s->position = distance;
  else if (method == STREAM_CURRENT) s->position += distance;
  else if (method == STREAM_END) s->position = static_cast<std::int64_t>(s->size) + distance;
  return s->position;
}

int mem_source_close(StreamHandle slot) {
  std::lock_guard<std::mutex> g(g_slotMutex);
  SourceSlot* s = Source(slot);
  if (!s) return 0;
  *s = SourceSlot{};
  return 1;
}

// ---------------------------------------------------------------- memory sinks

int mem_sink_open() {
  std::lock_guard<std::mutex> g(g_slotMutex);
  for (int i = 0; i < kSlots; ++i) {
    if (g_sinks[i].number == 0) {
      g_sinks[i] = SinkSlot{};
      g_sinks[i].number = i + 1;
      return i + 1;
    }
  }
  return -1;
}

int mem_sink_write(StreamHandle slot, const void* data, DWORD count, DWORD* done) {
  if (done) *done = 0;
  std::lock_guard<std::mutex> g(g_slotMutex);
  SinkSlot* s = Sink(slot);
  if (!s || s->position < 0) return 0;
  try {
    Chunk c;
    c.offset = s->position;
    if (count > 0) c.data.assign(static_cast<const BYTE*>(data), static_cast<const BYTE*>(data) + count);
    s->chunks.push_back(std::move(c));
  } catch (const std::bad_alloc&) {
    return 0;
  }
  s->position += count;
  s->total += count;
  if (done) *done = count;
  return 1;
}

std::int64_t mem_sink_seek(StreamHandle slot, std::int64_t distance, int method) {
  std::lock_guard<std::mutex> g(g_slotMutex);
  SinkSlot* s = Sink(slot);
  if (!s) return -1;
  if (method == STREAM_BEGIN) s->position = distance;
  else if (method == STREAM_CURRENT) s->position += distance;
  return s->position;
}

int mem_sink_gather(StreamHandle slot, ImgMem* result) {
  std::lock_guard<std::mutex> g(g_slotMutex);
  SinkSlot* s = Sink(slot);
  if (!s || s->total == 0) return -14;
  // A header rewritten after a seek back must not make the file longer: the block ends
  // at the highest position any write reached.
  std::int64_t end = 0;
  for (const Chunk& c : s->chunks) {
    std::int64_t e = c.offset + static_cast<std::int64_t>(c.data.size());
    if (e > end) end = e;
  }
  ImgMem block = ImgMemAlloc(static_cast<std::size_t>(end));
  BYTE* p = block ? ImgMemLock(block) : nullptr;
  if (!p) {
    ImgMemFree(block);
    return -14;
  }
  for (const Chunk& c : s->chunks) {
    if (!c.data.empty()) std::memcpy(p + c.offset, c.data.data(), c.data.size());
  }
  *result = block;
  return 0;
}

int mem_sink_close(StreamHandle slot) {
  std::lock_guard<std::mutex> g(g_slotMutex);
  SinkSlot* s = Sink(slot);
  if (!s) return 0;
  *s = SinkSlot{};
  return 1;
}

// ---------------------------------------------------------------- bindings

int stream_open_read(StreamBinding* b, const char* path, const void* data, std::size_t size) {
  *b = StreamBinding{};
  if (path) {
    b->handle = file_open_read(path);
    b->read = file_read;
    b->seek = file_seek;
    b->close = file_close;
  } else {
    b->handle = mem_source_open(data, size, GENERIC_READ);
    b->read = mem_source_read;
    b->seek = mem_source_seek;
    b->close = mem_source_close;
  }
  return b->handle == STREAM_INVALID ? -4 : 0;
}

int stream_open_write(StreamBinding* b, const char* path, ImgMem* out) {
  *b = StreamBinding{};
  if (path) {
    b->handle = file_create(path);
    b->write = file_write;
    b->seek = file_seek;
    b->close = file_close;
  } else {
    if (out) *out = nullptr;
    b->handle = mem_sink_open();
    b->write = mem_sink_write;
    b->seek = mem_sink_seek;
    b->close = mem_sink_close;
  }
  return b->handle == STREAM_INVALID ? -10 : 0;
}

int stream_finish_write(StreamBinding* b, const char* path, ImgMem* out, int result) {
  if (b->handle == STREAM_INVALID) return result;
  if (!path && result == 0) {
    ImgMem block = nullptr;
    result = mem_sink_gather(b->handle, &block);
    if (result == 0) {
      if (out) *out = block;
      else ImgMemFree(block);
    }
  }
  b->close(b->handle);
  b->handle = STREAM_INVALID;
  if (path && result != 0) file_delete(path);
  return result;
}

void stream_close(StreamBinding* b) {
  if (b->handle != STREAM_INVALID && b->close) b->close(b->handle);
  b->handle = STREAM_INVALID;
}

std::size_t stream_read(StreamBinding* b, void* buffer, std::size_t count) {
  auto p = static_cast<BYTE*>(buffer);
  std::size_t got = 0;
  while (got < count) {
    DWORD ask = static_cast<DWORD>(std::min<std::size_t>(count - got, 0x40000000u));
    DWORD done = 0;
    if (!b->read(b->handle, p + got, ask, &done) || done == 0) break;
    got += done;
  }
  return got;
}

bool stream_read_exact(StreamBinding* b, void* buffer, std::size_t count) {
  return stream_read(b, buffer, count) == count;
}

bool stream_write_all(StreamBinding* b, const void* buffer, std::size_t count) {
  auto p = static_cast<const BYTE*>(buffer);
  while (count > 0) {
    DWORD ask = static_cast<DWORD>(std::min<std::size_t>(count, 0x40000000u));
    DWORD done = 0;
    if (!b->write(b->handle, p, ask, &done) || done != ask) return false;
    p += done;
    count -= done;
  }
  return true;
}

std::int64_t stream_seek(StreamBinding* b, std::int64_t distance, int method) {
  return b->seek(b->handle, distance, method);
}

std::int64_t stream_length(StreamBinding* b) {
  std::int64_t here = b->seek(b->handle, 0, STREAM_CURRENT);
  if (here < 0) return -1;
  std::int64_t end = b->seek(b->handle, 0, STREAM_END);
  if (b->seek(b->handle, here, STREAM_BEGIN) < 0) return -1;
  return end;
}
