// Streams of the image codecs: each codec holds a binding of four operations (read,
// write, seek, close) and a handle, so that one codec body reads from and writes to a
// file or one of the library's numbered memory slots alike.
#pragma once
#include <cstddef>
#include <cstdint>

#include "imagefiles/img_memory.h"
#include "platform/WinTypes.h"

// A file handle (an open file) or a memory slot number 1 to 4; -1 when the open failed.
using StreamHandle = std::intptr_t;
constexpr StreamHandle STREAM_INVALID = -1;

// Each returns non-zero on success and stores the bytes moved in *done.
using StreamReadFn = int (*)(StreamHandle h, void* buffer, DWORD count, DWORD* done);
using StreamWriteFn = int (*)(StreamHandle h, const void* buffer, DWORD count, DWORD* done);
// Returns the new position, or -1 on failure. Methods as below.
using StreamSeekFn = std::int64_t (*)(StreamHandle h, std::int64_t distance, int method);
using StreamCloseFn = int (*)(StreamHandle h);

constexpr int STREAM_BEGIN = 0;
constexpr int STREAM_CURRENT = 1;
constexpr int STREAM_END = 2;

constexpr DWORD GENERIC_READ = 0x80000000u;
constexpr DWORD GENERIC_WRITE = 0x40000000u;

struct StreamBinding {
  StreamReadFn read = nullptr;
  StreamWriteFn write = nullptr;
  StreamSeekFn seek = nullptr;
  StreamCloseFn close = nullptr;
  StreamHandle handle = STREAM_INVALID;
};

// ---- Files. Paths may use '\' or '/' as separators.
StreamHandle file_open_read(const char* path);  // shared read of an existing file
StreamHandle file_create(const char* path);     // create or truncate, for writing
int file_read(StreamHandle h, void* buffer, DWORD count, DWORD* done);
int file_write(StreamHandle h, const void* buffer, DWORD count, DWORD* done);
std::int64_t file_seek(StreamHandle h, std::int64_t distance, int method);
int file_close(StreamHandle h);
bool file_delete(const char* path);
bool file_exists(const char* path);
// Writes all n bytes (none for n 0); false when the file took fewer.
bool file_write_all(StreamHandle h, const void* buffer, std::size_t n);
// Ends a file write: closes the file (a failed close fails the write) and deletes it when
// the write failed. Returns the final result.
int file_finish_write(StreamHandle h, const char* path, int result);

// ---- Memory sources: read a block the caller owns. The length is explicit: a read at
// or past the end yields fewer bytes (possibly none), as at the end of a file.
// Returns the slot number 1 to 4, or -1 (access not GENERIC_READ, or no free slot).
int mem_source_open(const void* data, std::size_t size, DWORD access);
int mem_source_read(StreamHandle slot, void* buffer, DWORD count, DWORD* done);
// Method 2 counts from the end of the block (the size given at open).
std::int64_t mem_source_seek(StreamHandle slot, std::int64_t distance, int method);
int mem_source_close(StreamHandle slot);

// ---- Memory sinks: collect every write as a chunk at its position.
int mem_sink_open();
int mem_sink_write(StreamHandle slot, const void* data, DWORD count, DWORD* done);
std::int64_t mem_sink_seek(StreamHandle slot, std::int64_t distance, int method);
// A new locked block as long as the highest position written, holding every chunk in
// the order written (later writes win); -14 for a bad slot, nothing written, or no memory.
int mem_sink_gather(StreamHandle slot, ImgMem* result);
int mem_sink_close(StreamHandle slot);

// ---- What a stream codec does at its open and close.
// With a path binds the file functions, else a memory source over (data, size).
// 0, or -4 when the open fails. (Readers that report -52 for a memory source without
// data test `data` themselves before calling.)
int stream_open_read(StreamBinding* b, const char* path, const void* data, std::size_t size);
// With a path creates the file, else sets *out to null and opens a memory sink.
// 0, or -10 when the open fails.
int stream_open_write(StreamBinding* b, const char* path, ImgMem* out);
// Ends a write: without a path and with result 0 gathers the sink into *out (which may
// turn the result into -14); closes the binding; with a path and a failed result deletes
// the file. Returns the final result.
int stream_finish_write(StreamBinding* b, const char* path, ImgMem* out, int result);
// Closes a binding opened for reading (no-op when not open).
void stream_close(StreamBinding* b);

// Convenience over a binding.
// Reads up to count bytes, looping over short reads; returns the bytes read.
std::size_t stream_read(StreamBinding* b, void* buffer, std::size_t count);
bool stream_read_exact(StreamBinding* b, void* buffer, std::size_t count);
bool stream_write_all(StreamBinding* b, const void* buffer, std::size_t count);
std::int64_t stream_seek(StreamBinding* b, std::int64_t distance, int method);
// Total length (seeks to the end and back); -1 on failure.
std::int64_t stream_length(StreamBinding* b);
