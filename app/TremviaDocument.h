// The framework's document of the program: it holds the one data document (catalogue,
// waveforms, peaks, event list, data sheets) and is its host, so that the data core's
// UpdateAllViews, title and modified flag reach the pages.
#pragma once
#include "aecore/document/TremviaDoc.h"
#include "platform/qt/Document.h"

class CTremviaDocument : public plat::CDocument {
 public:
  static constexpr const char* kRuntimeClassName = "CTremviaDoc";

  BOOL OnNewDocument() override;
  BOOL OnOpenDocument(const std::string& path) override;
  // Nothing is written back: the opened data file is never overwritten.
  BOOL OnSaveDocument(const std::string&) override { return TRUE; }

  CTremviaDoc& Data() { return m_Data; }

 private:
  CTremviaDoc m_Data{*this};
};
