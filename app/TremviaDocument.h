// The document of the program in the framework: the data document (catalogue,
// waveforms, peaks, event list, data sheets) and the framework's document in one object,
// which is the data document's host, so that its UpdateAllViews, title and modified flag
// reach the pages. Pages find the data document by casting their document to it.
#pragma once
#include "aecore/document/TremviaDoc.h"
#include "platform/qt/Document.h"

class CTremviaDocument : public plat::CDocument, public CTremviaDoc {
 public:
  static constexpr const char* kRuntimeClassName = "CTremviaDoc";

  CTremviaDocument();

  BOOL OnNewDocument() override;
  BOOL OnOpenDocument(const std::string& path) override;
  // Nothing is written back: the opened data file is never overwritten.
  BOOL OnSaveDocument(const std::string&) override { return TRUE; }

  CTremviaDoc& Data() { return *this; }

  // File > Load Next: steps to the next event file (the pages that have their own
  // handler take the command first); enabled when an event file set is open.
  void OnLoadNext();
  void OnUpdateLoadNext(plat::CCmdUI* pCmdUI);
};
