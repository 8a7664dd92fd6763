// Waveform records of other layouts: SEG-2 event files with the program's own keywords,
// .aew event files, and events cut out of a long continuous recording whose header comes
// from a companion SEG-2 file.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "aecore/waveform/AEWave.h"
#include "platform/File.h"

class CAEWaveSeg2 : public CAEWave {
 public:
  // Derives suffix, folder and event number from the path of one event file and opens it.
  explicit CAEWaveSeg2(const std::string& path);
  ~CAEWaveSeg2() override = default;

  int Save() override;
  int Load(const std::string& path) override;
  int OpenEvent(int event) override;
  std::string EventFile(int event) const override;

  std::string m_strSuffix;  // e.g. ".sg2" or "_s01.sg2"

 private:
  friend class CAEWaveLong;
  // A record set up from the path without opening anything: the companion header of a
  // long recording is read by its own name, whatever that name is.
  struct NoOpen {};
  CAEWaveSeg2(const std::string& path, NoOpen);
};

class CAEWave_Aew : public CAEWave {
 public:
  explicit CAEWave_Aew(const std::string& path);
  ~CAEWave_Aew() override = default;

  // An .aew record is a recording: it is never overwritten in another layout.
  int Save() override;
  int Load(const std::string& path) override;
  int OpenEvent(int event) override;
  std::string EventFile(int event) const override;

  std::string m_strSuffix;
};

class CAEWaveLong : public CAEWave {
 public:
  explicit CAEWaveLong(const std::string& path);
  ~CAEWaveLong() override;

  // The long recording is never overwritten by a single event.
  int Save() override;
  int OpenEvent(int event) override;
  std::string EventFile(int) const override { return {}; }
  int ReadRange(std::int64_t first, std::int64_t last);

  std::int64_t m_nChannelLen = 0;  // samples per channel in the long file
  std::int64_t m_nStartUs = 0;     // start of the recording in microseconds
  std::int32_t m_nEventStep = 3800;
  std::int32_t m_nEvents = 0;
  std::unique_ptr<plat::File> m_pFile;
};

// Appends one SEG-2 string: the length word (2 + text + terminator), the text and the
// one-byte zero terminator.
void Seg2_WriteString(std::vector<std::uint8_t>& out, const std::string& text);

// Writes `bytes` to `path` through a temporary file in the same folder and renames it
// into place, so that a failed write never loses the file that was there. False (and a
// message naming the path) on failure.
bool AEW_ReplaceFile(const std::string& path, const std::vector<std::uint8_t>& bytes);
// The same without a message, for writers that report failure by their return value.
bool AEW_ReplaceFileQuiet(const std::string& path, const std::vector<std::uint8_t>& bytes);
