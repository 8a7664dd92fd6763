// GSE2.1 waveform data: CM6 compression of integer samples and the CHK2 checksum.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/File.h"

// Appends the CM6 text of n values after `passes` first-difference passes (2 gives the
// second differences GSE2.1 expects); the values themselves are not changed. False,
// appending nothing, when a difference needs more than the 29 bits six CM6 characters
// hold: such samples cannot be written in this compression.
bool PackCM6(const std::int32_t* values, int n, std::string& out, int passes);

// The GSE2.1 checksum: the sum of the samples, each sample and the running sum reduced
// modulo 100,000,000 when their magnitude reaches it; the magnitude of the result.
int GSE2_Checksum(const std::int32_t* values, int n);

// Writes n samples, truncated toward zero to integers, as CM6 text in lines of at most 80
// characters, the width GSE2.1 readers expect. Returns the number of CM6 characters, or 0
// after a message on the standard error stream when they cannot be packed; -1 when the
// file cannot be written.
int WriteCM6Samples(plat::File& f, const float* samples, int n);

struct KZ_WaveHeader;
class KZ_WaveTrace;

// Writes the traces as one GSE2.1 waveform message into the folder of `path`, named after
// the segment start to the minute ("YYYYMMDDhhmm.GSE", or "YYYYMMDDhhmm_N.GSE" with the
// first free N when that exists: an export never replaces another). The segment starts at
// `first` moved down to a whole second. False when the file cannot be written.
bool WriteGSE2(const std::string& path, const KZ_WaveHeader& header,
               const std::vector<std::unique_ptr<KZ_WaveTrace>>& traces, int first, int count,
               const char* dataType);
