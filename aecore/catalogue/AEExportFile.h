// An export file that is either written whole or not left behind: the text or bytes are
// gathered in memory and written at Commit; a file that cannot be created or written is
// removed and reported to the user.
#pragma once
#include <cstdint>
#include <string>

class AEExportFile {
 public:
  explicit AEExportFile(std::string path) : m_strPath(std::move(path)) {}

  void Printf(const char* fmt, ...) __attribute__((format(printf, 2, 3)));
  void Append(const void* bytes, std::size_t n);
  std::string& Text() { return m_Buf; }
  std::size_t Size() const { return m_Buf.size(); }

  // Writes the gathered contents to the path (binary, byte for byte). True when the whole
  // file was written; otherwise nothing is left at the path and the user is told.
  bool Commit();

 private:
  std::string m_strPath;
  std::string m_Buf;
};

// Removes what a failed write left at the path, when that is a regular file.
void AE_RemoveFailedFile(const std::string& path);
// &, < and > as XML entities.
std::string AE_XmlEscape(const std::string& text);
// The lower-case extension of the file name ("" without one).
std::string AE_LowerExt(const std::string& path);

// Keeps the engine's current record and index across a walk that reads other records
// into them, so that an export never leaves another event's values in the record that
// the user is editing (and would save under its index).
#include "aecore/catalogue/AEHypo.h"

class AERecordKeeper {
 public:
  explicit AERecordKeeper(CAEHypo& h) : m_h(h), m_Rec(h.m_Rec), m_nCur(h.m_nCurAE) {}
  ~AERecordKeeper() {
    m_h.m_Rec = m_Rec;
    m_h.m_nCurAE = m_nCur;
  }
  AERecordKeeper(const AERecordKeeper&) = delete;
  AERecordKeeper& operator=(const AERecordKeeper&) = delete;
  AEHRecord& Saved() { return m_Rec; }

 private:
  CAEHypo& m_h;
  AEHRecord m_Rec;
  int m_nCur;
};
