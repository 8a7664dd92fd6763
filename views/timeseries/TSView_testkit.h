// Shared pieces of the "TS" page's tests: a document with a page on it, peak lists and
// series laid out by the test, the recording of the page and scripting of modal dialogs.
#pragma once
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <cstring>
#include <ctime>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "aecore/document/TremviaDoc.h"
#include "platform/RecordingDc.h"
#include "platform/qt/testing/QtTestApp.h"
#include "platform/testing/FakeDocumentHost.h"
#include "platform/testing/ScriptedUi.h"
#include "views/timeseries/TSView.h"

namespace tstest {

struct Peak {
  double t;
  int level;
  int flag = 1;
};

inline void SetPeaks(CAEPeak& pk, const std::vector<Peak>& peaks) {
  pk.Alloc(static_cast<int>(peaks.size()));
  for (std::size_t i = 0; i < peaks.size(); ++i) {
    const double s = std::floor(peaks[i].t);
    pk.m_pSec[i] = static_cast<std::int32_t>(s);
    pk.m_pUSec[i] = static_cast<std::int32_t>(std::lround((peaks[i].t - s) * 1e6));
    pk.m_pLevel[i] = static_cast<std::uint8_t>(peaks[i].level);
    pk.m_pFlag[i] = static_cast<std::uint8_t>(peaks[i].flag);
  }
  pk.m_nCount = static_cast<int>(peaks.size());
}

// A series of the given channel names with samples at `ms`; values[c][i] raw with scale 1.
inline std::unique_ptr<KZ_TSdata> MakeSeries(std::int64_t start,
                                             const std::vector<std::string>& names,
                                             const std::vector<double>& ms,
                                             const std::vector<std::vector<int>>& values) {
  auto ts = std::make_unique<KZ_TSdata>();
  const int n = static_cast<int>(ms.size());
  EXPECT_TRUE(ts->Alloc(static_cast<int>(names.size()), n, false, nullptr));
  for (std::size_t c = 0; c < names.size(); ++c) {
    KZ_TSchannel& ch = ts->m_pChannel[c];
    std::memset(ch.szName, 0, sizeof ch.szName);
    std::strncpy(ch.szName, names[c].c_str(), sizeof ch.szName - 1);
    ch.dScale = 1.0;
    ch.fOffset = 0;
    ch.fBase = 0;
    ch.nPlot = 1;
    ch.fPlotMin = 0;
    ch.fPlotMax = 100;
    for (int i = 0; i < n; ++i)
      ts->m_ppData[c][i] =
          c < values.size() && i < static_cast<int>(values[c].size()) ? values[c][i] : 0;
  }
  for (int i = 0; i < n; ++i) ts->m_pTime[i] = ms[static_cast<std::size_t>(i)];
  ts->m_nSamples = n;
  ts->m_tStart = start;
  return ts;
}

// Runs `act` on the next modal dialog once it is shown.
inline void OnNextDialog(std::function<void(QDialog*)> act) {
  QTimer::singleShot(0, [act] {
    auto* dlg = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dlg, nullptr);
    act(dlg);
  });
}

inline void SetEdit(QWidget* w, const char* id, const QString& text) {
  auto* edit = w->findChild<QLineEdit*>(id);
  ASSERT_NE(edit, nullptr) << id;
  edit->setText(text);
}

inline void Click(QWidget* w, const char* id) {
  auto* b = w->findChild<QPushButton*>(id);
  ASSERT_NE(b, nullptr) << id;
  b->click();
}

inline std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// 2020-01-01 00:00:00 local time (the tests run with TZ=UTC).
inline std::tm Jan2020() {
  std::tm tm{};
  tm.tm_year = 120;
  tm.tm_mon = 0;
  tm.tm_mday = 1;
  tm.tm_isdst = -1;
  return tm;
}

// A document with an experiment starting (and referenced) at 2020-01-01, a window of
// 0 .. 100 s, and the page on it.
class TSPage : public testing::Test {
 protected:
  static void SetUpTestSuite() { plat::testing::EnsureQtApp(); }
  void SetUp() override {
    doc.m_pHypo->m_tmStart = Jan2020();
    doc.m_pHypo->m_tmRef = Jan2020();
    doc.m_pHypo->m_strTitle = "Test run";
    doc.m_fTimeStart = 0;
    doc.m_fTimeSpan = 100;
    view.SetData(&doc);
    view.resize(800, 600);
  }
  std::int64_t Start() {
    std::tm tm = Jan2020();
    return static_cast<std::int64_t>(std::mktime(&tm));
  }
  std::unique_ptr<plat::RecordingDc> Record() {
    plat::RecordingOptions o;
    o.dpiX = o.dpiY = 96;
    auto dc = std::make_unique<plat::RecordingDc>(o);
    dc->SetMapMode(MM_HIMETRIC);
    view.DrawWithViewFont(dc.get());
    return dc;
  }
  // Ops of a kind drawn with a pen of this width and colour.
  static std::vector<const plat::DcOp*> With(const plat::RecordingDc& dc, plat::DcOpKind kind,
                                             int width, COLORREF colour) {
    std::vector<const plat::DcOp*> out;
    for (const plat::DcOp* op : dc.OpsOf(kind))
      if (op->state.pen.Width() == width && op->state.pen.Color() == colour) out.push_back(op);
    return out;
  }
  static bool HasText(const plat::RecordingDc& dc, const std::string& t) {
    for (const std::string& s : dc.Texts())
      if (s == t) return true;
    return false;
  }
  CAEPeak& Peaks() { return *doc.GetPeak(0); }

  plat::testing::FakeDocumentHost host;
  CTremviaDoc doc{host};
  CTSView view;
};

}  // namespace tstest
