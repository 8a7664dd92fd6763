// The "Hypo" page over a small made-up experiment: a cylinder 50 mm across and 100 mm
// long with 16 sensors, a 1000 s window and events placed by the test.
#pragma once
#include <gtest/gtest.h>

#include <QImage>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "aecore/document/TremviaDoc.h"
#include "platform/CrtRand.h"
#include "platform/RecordingDc.h"
#include "platform/qt/testing/QtTestApp.h"
#include "platform/testing/FakeDocumentHost.h"
#include "views/hypo/LocView.h"

// The page with its play-back waits recorded instead of waited.
class TestLocView : public CLocView {
 public:
  void PlayWait(int n) override {
    waits.push_back(n);
    if (onWait) onWait(static_cast<int>(waits.size()));
  }
  std::vector<int> waits;
  std::function<void(int)> onWait;  // called with the number of waits so far
};

class HypoPage : public testing::Test {
 protected:
  static void SetUpTestSuite() { plat::testing::EnsureQtApp(); }
  void SetUp() override {
    plat::CrtSrand(1);
    CLocView::s_bFlashToggle = false;
    CAEHypo& h = *doc.m_pHypo;
    h.m_nShape = 0;
    h.m_fDiameter = h.m_fSizeX = h.m_fSizeY = 50;
    h.m_fSizeZ = 100;
    h.m_nSensors = 16;
    h.m_strTitle = "Test";
    h.m_tmStart = std::tm{};
    h.m_tmStart.tm_year = 126;
    h.m_tmStart.tm_mday = 1;
    h.m_tmStart.tm_isdst = -1;
    h.m_tmRef = h.m_tmStart;
    h.m_nMinArrivals = 8;
    h.m_nClassMask = 25;
    h.m_fHypoScale = 40;
    h.m_nPlotType = 6;
    doc.m_fTimeStart = 0;
    doc.m_fTimeSpan = 1000;
    view.SetData(&doc);
    view.resize(800, 600);
    view.OnInitialUpdate();
    host.updates.clear();
  }

  AEEventEntry& Add(float x, float y, float z, double t, int arrivals = 10, std::uint8_t flags = 1,
                    float Mw = 1.0f) {
    doc.AddEventEntry(x, y, z, Mw, 0, 0, 0, t, static_cast<std::uint16_t>(arrivals),
                      static_cast<std::uint32_t>(doc.m_EventList.size()), flags);
    return *doc.m_EventList.back();
  }

  std::unique_ptr<plat::RecordingDc> Record(bool printing = false) {
    plat::RecordingOptions o;
    o.printing = printing;
    auto dc = std::make_unique<plat::RecordingDc>(o);
    dc->SetMapMode(MM_HIMETRIC);
    view.DrawWithViewFont(dc.get());
    return dc;
  }

  // The window pixel of a page point, as the view's painting maps it.
  POINT Device(POINT page) {
    plat::RecordingOptions o;
    o.dpiX = view.LogPixelsX();
    o.dpiY = view.LogPixelsY();
    plat::RecordingDc dc(o);
    view.OnPrepareDC(&dc);
    dc.LPtoDP(&page);
    return page;
  }

  static std::set<std::string> Texts(const plat::RecordingDc& dc) {
    std::set<std::string> out;
    for (const plat::DcOp* op : dc.OpsOf(plat::DcOpKind::Text)) out.insert(op->text);
    return out;
  }

  plat::testing::FakeDocumentHost host;
  CTremviaDoc doc{host};
  TestLocView view;
};
