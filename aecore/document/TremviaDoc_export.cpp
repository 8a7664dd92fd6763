// Catalogue exports of the document: Graphics3D scene, binary point file, EQT list, KV
// table, the acquisition side's AEB file and the AE list with its viewer XML file.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "aecore/catalogue/AEExportFile.h"
#include "aecore/document/TremviaDoc.h"
#include "aecore/document/TremviaDoc_exportutil.h"
#include "base/plot/KZ_Pal1C.h"
#include "base/util/KZ_DateTime.h"
#include "base/util/KZ_FileUtil.h"
#include "platform/ByteOrder.h"
#include "platform/UiServices.h"

namespace {

// Geographic origin and responsible person of the viewer file: settings of this
// installation (the EQT list places the specimen at the same origin).
constexpr double kOriginLatitude = 38.0;
constexpr double kOriginLongitude = 138.0;

std::int16_t Saturate16(double v) {
  if (!(v == v)) return 0;
  return static_cast<std::int16_t>(std::clamp(std::trunc(v), -32768.0, 32767.0));
}

void PutLE16(std::uint8_t* p, int v) {
  p[0] = static_cast<std::uint8_t>(v & 0xFF);
  p[1] = static_cast<std::uint8_t>((v >> 8) & 0xFF);
}

void AppendF32(AEExportFile& out, float v) {
  std::uint8_t b[4];
  le::PutF32(b, v);
  out.Append(b, 4);
}

void WriteScene(AEExportFile& out, const CAEHypo& h, const std::vector<const AEEventEntry*>& ev,
                double wS, double wE, float pointScale) {
  out.Printf("Graphics3D[{{\n");
  static const char* frame[] = {
      "Line[{{-25.,0.,0.},{25.,0.,0.}}],\n",    "Line[{{0.,-25.,0.},{0.,25.,0.}}],\n",
      "Line[{{0.,0.,-50.},{0.,0.,50.}}],\n",    "Line[{{-25.,0.,50.},{25.,0.,50.}}],\n",
      "Line[{{0.,-25.,50.},{0.,25.,50.}}],\n",  "Line[{{-25.,0.,-50.},{25.,0.,-50.}}],\n",
      "Line[{{0.,-25.,-50.},{0.,25.,-50.}}],\n"};
  for (const char* l : frame) out.Text() += l;
  for (int z : {-50, 0, 50}) {
    out.Printf("Line[{");
    for (int deg = 0; deg <= 360; deg += 15) {
      const float a = static_cast<float>(deg) * 0.0174533f;
      out.Printf(deg == 0 ? "{%6.2f,%6.2f,%4.0f}" : ",{%6.2f,%6.2f,%4.0f}", 25.0 * std::cos(a),
                 25.0 * std::sin(a), static_cast<double>(z));
    }
    out.Printf("}],\n");
  }
  out.Text() +=
      "Line[{{25.,0.,-50.},{25.,0.,50.}}],\n"
      "Line[{{-25.,0.,-50.},{-25.,0.,50.}}],\n"
      "Line[{{0.,25.,-50.},{0.,25.,50.}}],\n"
      "Line[{{0.,-25.,-50.},{0.,-25.,50.}}],\n"
      "Text[X, {26.,0.,0.}],\n"
      "Text[Y, {0.,26.,0.}],\n"
      "Text[Z, {0.,0.,52.}],\n";
  int point = 0;
  for (int k = 0; k < h.m_nFaults && k < AEH_MAX_FAULTS; ++k) {
    const int m = k % 6;
    out.Printf("RGBColor[%4.2f, %4.2f, %4.2f],\n", 1.0 - 0.2 * m, 0.0, 0.2 * m);
    out.Printf("Line[{");
    for (int i = 0; i < h.m_nFaultPoints[k] && point < AEH_MAX_FAULT_POINTS; ++i, ++point) {
      const KZ_Point3D& p = h.m_pFaultXYZ[point];
      out.Printf(i == 0 ? "{%6.2f, %6.2f, %6.2f}" : ",{%6.2f, %6.2f, %6.2f}", p.x, p.y, p.z);
    }
    out.Printf("}],\n");
  }
  bool first = true;
  for (const AEEventEntry* e : ev) {
    if (!first) out.Printf(",");
    first = false;
    const double hsv[3] = {(e->time - wS) * 330.0 / (wE - wS), 1.0, 1.0};
    double r, g, b;
    KZ_HSVToRGB(hsv, &r, &g, &b);
    out.Printf("\nRGBColor[%4.2f, %4.2f, %4.2f], PointSize[%6.4f], Point[{%6.2f,%6.2f,%6.2f}]", r,
               g, b, e->arrivals * pointScale * 0.2, e->x, e->y, e->z);
  }
  out.Text() +=
      "}},\n"
      "Lighting -> True,\n"
      "AmbientLight -> GrayLevel[0.75],\n"
      "LightSources -> {{{20., 12., 10.}, RGBColor[1, 0, 0]}, {{20., -10., -10.}, RGBColor[0, 1, "
      "0]}},\n"
      "SphericalRegion -> True,\n"
      "PlotRange -> {{-30., 30.}, {-30., 30.}, {-55., 55.}},\n"
      "Boxed -> False, Background -> GrayLevel[0]]\n";
}

}  // namespace

void CTremviaDoc::ExportCatalogue(const std::string& path, int minArrivals, int /*unused*/,
                                  float pointScale) {
  if (m_EventList.empty()) {
    plat::AfxMessageBox("The event list is empty: no location data to save.", MB_ICONEXCLAMATION);
    return;
  }
  // The kind comes from the file's own extension, never from a folder name.
  const std::string ext = AE_LowerExt(path);
  if (ext == "aeb") {
    WriteAEB(path);
    return;
  }
  CAEHypo& h = *m_pHypo;
  AERecordKeeper keep(h);
  const double off = h.PeakOffset();
  const double wS = off + m_fTimeStart, wE = wS + m_fTimeSpan;
  const bool scene = ext == "g3d", points = ext == "w3d", eqt = ext == "eqt";
  const int need = (scene || points) ? 10 : minArrivals;
  std::vector<const AEEventEntry*> ev;
  for (const auto& e : m_EventList) {
    if (e->time < wS) continue;
    if (e->time > wE) break;
    if (e->arrivals < need) continue;
    ev.push_back(e.get());
  }
  AEExportFile out(path);
  if (scene) {
    WriteScene(out, h, ev, wS, wE, pointScale);
    out.Commit();
    return;
  }
  if (points) {
    // The point count is an int16: a larger selection is cut at 32767 points.
    constexpr std::size_t kMaxPoints = 32767;
    const std::size_t n = std::min(ev.size(), kMaxPoints);
    std::uint8_t head[4];
    PutLE16(head, 20);
    PutLE16(head + 2, static_cast<int>(n));
    out.Append(head, 4);
    for (std::size_t i = 0; i < n; ++i) {
      const AEEventEntry* e = ev[i];
      h.GetAEH(e->record);
      AppendF32(out, e->x);
      AppendF32(out, e->y);
      AppendF32(out, e->z);
      AppendF32(out, 3.0f * (0.25f * h.m_Rec.nPeakLevel));
      AppendF32(out, static_cast<float>(e->record));
    }
    if (out.Commit() && ev.size() > kMaxPoints)
      plat::AfxMessageBox(plat::Format("%s holds the first %zu of %zu events: the point file "
                                       "counts at most 32767 points.",
                                       path.c_str(), n, ev.size()),
                          MB_ICONEXCLAMATION);
    return;
  }
  const std::string start = aedoc::StartTimeLine(h, m_fTimeStart);
  if (eqt) {
    out.Printf("! time zone: 0.0\n");
    out.Printf("! EQT file save by Quintar\n");
    out.Printf("! Original data set: %s\n", h.m_strTitle.c_str());
    out.Printf("! \n");
    out.Printf("yyyy\tmm\tdd\thh\tMM\tss.ss\t+nn.nnnn\t+eee.eeee\tddd.dd\tm.mm\n");
    // Each event's own date and time: the reference time plus its seconds.
    const std::tm& r = h.m_tmRef;
    const double base = KZ_JulianDay(r.tm_year + 1900, r.tm_mon + 1, r.tm_mday, r.tm_hour, r.tm_min,
                                     static_cast<float>(r.tm_sec + h.m_fRefFrac), 0.0f);
    for (const AEEventEntry* e : ev) {
      KZ_DateTimeFields f;
      SplitJulianDay(base + e->time / 86400.0, &f, 0.0f);
      h.GetAEH(e->record);
      out.Printf("%04d %02d %02d %02d %02d %.4f %.4f %.4f %.4f %.2f\n", f.year, f.month, f.day,
                 f.hour, f.minute, static_cast<double>(f.seconds), 38.0 + 0.04 * e->y,
                 138.0 + 0.04 * e->x, (e->z + h.m_fSizeZ * 0.5) * 0.1, e->Mw);
    }
    out.Commit();
    return;
  }
  out.Printf("KVDATA01 AE data of %s\n", h.m_strTitle.c_str());
  out.Text() += start;
  const std::size_t samplesAt = out.Size();
  out.Printf("SAMPLES 000000\n");
  out.Printf(
      "AEno Time(sec) x(mm) y(mm) z(mm) dx(mm) dy(mm) dz(mm) Mw(Amp_med) Mw(<Amp>) Mae(Fc) Fc Up "
      "Down N flag\n");
  const double k = 0.5 + 0.5 * h.m_fAirMargin;
  int rows = 0;
  for (const AEEventEntry* e : ev) {
    h.GetAEH(e->record);
    const AEHRecord& r = h.m_Rec;
    if (r.nFlags != 0 && (r.nFlags & h.m_nClassMask) == 0) continue;
    if ((r.nFlags & AEH_FLAG_DETECTED) && r.fCC < h.m_fMinCC) continue;
    if (std::fabs(r.fX) > k * h.m_fSizeX || std::fabs(r.fY) > k * h.m_fSizeY ||
        std::fabs(r.fZ) > k * h.m_fSizeZ)
      continue;
    if (h.m_nShape == 0 && static_cast<double>(r.fX) * r.fX + static_cast<double>(r.fY) * r.fY >
                               (k * h.m_fDiameter) * (k * h.m_fDiameter))
      continue;
    int up = 0, down = 0;
    h.GetUDRatio(&up, &down);
    const double mae =
        r.fFc > 0.01f ? h.m_fMagFcSlope * std::log10(r.fFc) + h.m_fMagFcConst : -19.0;
    out.Printf("%d %12.6lf %.3f %.3f %.3f %.3f %.3f %.3f %.3f %.3f %.3f %.3f %d %d %d %d\n",
               r.nIndex, e->time - wS, r.fX, r.fY, r.fZ, r.fDX, r.fDY, r.fDZ, r.fMw, r.fMw2, mae,
               r.fFc, up, down, r.nArrivals, r.nFlags);
    ++rows;
  }
  out.Text().replace(samplesAt, 15, plat::Format("SAMPLES %06d\n", rows));
  out.Commit();
}

void CTremviaDoc::WriteAEB(const std::string& path) {
  CAEHypo& h = *m_pHypo;
  AERecordKeeper keep(h);
  const int n = h.m_nSensors;
  const std::size_t R = static_cast<std::size_t>(6 * n + 78);
  const int count = h.GetNumAE();
  std::string bytes(R * static_cast<std::size_t>(11 + count), '\0');
  for (int i = 0; i < count; ++i) {
    if (!h.GetAEH(i)) continue;
    const AEHRecord& r = h.m_Rec;
    std::uint8_t head[AEH_HEADER_SIZE];
    AEH_EncodeHeader(r, head);
    auto* p = reinterpret_cast<std::uint8_t*>(bytes.data()) + R * static_cast<std::size_t>(11 + i);
    PutLE16(p, i & 0xFFFF);
    std::memcpy(p + 2, head, 16);
    std::memcpy(p + 18, head + 32, 32);
    std::memcpy(p + 50, head + 116, 12);
    p[62] = '?';
    p[63] = ' ';
    for (int k = 0; k < n; ++k) {
      p[78 + k] = static_cast<std::uint8_t>(r.nSensor[k] + 1);
      p[78 + n + k] = static_cast<std::uint8_t>(r.nPolarity[k]);
      // int16 fields keep their sign and saturate instead of wrapping.
      PutLE16(p + 78 + 2 * n + 2 * k, Saturate16(static_cast<double>(r.fTime[k]) * 100.0));
      PutLE16(p + 78 + 4 * n + 2 * k, Saturate16(static_cast<double>(r.fSN[k]) * 10.0));
    }
  }
  AEExportFile out(path);
  out.Text().swap(bytes);
  out.Commit();
}

int CTremviaDoc::SaveAEList(const std::string& path, float period) {
  plat::CWaitCursor wait;
  CAEHypo& h = *m_pHypo;
  AERecordKeeper keep(h);
  const CAEPeak& pk = *m_pPeak[0];
  const double wStart = m_fTimeStart, wEnd = m_fTimeStart + m_fTimeSpan;
  const KZ_TSdata* ts = aedoc::HasSeries(m_pTS.get()) ? m_pTS.get() : nullptr;
  AEExportFile out(path);
  out.Printf("!ACOUSTIC_EMISSION, %s\n", h.m_strTitle.c_str());
  out.Text() += aedoc::StartTimeLine(h, wStart);
  out.Printf("SAMPLES 00000\n");
  out.Printf("Time(sec)\tX\tY\tZ\tMag\tPhase\tA.Stress\tC.P.\tPin\tPou\n");
  const int records = h.GetNumAE();
  int cursor = -1;
  double recTime = -1e10, prevTime = -1e10;
  AEHRecord rec{}, prev{};
  float phase = 0.0f;
  for (int k = 0; k < pk.m_nCount; ++k) {
    if (pk.m_pFlag[k] == 0) continue;
    const double t = pk.GetTime(k);
    if (t < wStart) continue;
    if (t > wEnd) break;
    if (period > 0.0f) {
      const float x = static_cast<float>((t - wStart) / period);
      phase = (x - std::floor(x)) * 360.0f;
    }
    double A = 0, P = 0, pin = 0, pou = 0;
    if (ts) {
      int i = 0;
      A = ts->ValueAtTime(t * 1000.0, 0, &i);
      P = aedoc::ChannelValue(*ts, 1, i);
      pin = aedoc::ChannelValue(*ts, 2, i);
      pou = aedoc::ChannelValue(*ts, 3, i);
    }
    while (recTime < t && cursor + 1 < records) {
      ++cursor;
      prev = rec;
      prevTime = recTime;
      if (h.GetAEH(cursor, &rec)) recTime = rec.nTimeSec + rec.nTimeUs * 1e-6;
    }
    // The cursor stops at the first record at or after the peak; the record passed last
    // (just before the peak) matches as well.
    const AEHRecord* hit = nullptr;
    if (cursor >= 0 && std::fabs(t - recTime) < 0.001)
      hit = &rec;
    else if (cursor >= 1 && std::fabs(t - prevTime) < 0.001)
      hit = &prev;
    out.Printf("%013.6f\t%7.2f\t%7.2f\t%7.2f\t%5.2f\t%5.0f\t%9.2f\t%9.2f\t%9.2f\t%9.2f\n",
               t - wStart, hit ? hit->fX : 0.0, hit ? hit->fY : 0.0, hit ? hit->fZ : 0.0,
               0.25 * pk.m_pLevel[k], phase, A, P, pin, pou);
  }
  if (!out.Commit()) return 0;

  const std::string xmlPath = (path.size() >= 4 ? path.substr(0, path.size() - 4) : path) + ".xml";
  const std::string who = plat::GetEnv("USER").value_or("unknown");
  AEExportFile xml(xmlPath);
  xml.Printf("<?xml version=\"1.0\" encoding=\"Shift_JIS\" ?>\n");
  xml.Printf("<Vorrex>\n");
  xml.Printf("  <case no=\"1\">\n");
  xml.Printf("\n");
  xml.Printf("    <memo>\n");
  xml.Printf("      <title>AE: %s</title>\n", AE_XmlEscape(h.m_strTitle).c_str());
  xml.Printf("      <note>AE experiment</note>\n");
  xml.Printf("      <vorrexer>%s</vorrexer>\n", AE_XmlEscape(who).c_str());
  xml.Printf("    </memo>\n");
  xml.Printf("\n");
  xml.Printf("    <scalling>\n");
  xml.Printf("      <unit>l=\"km\", t=\"sec\"</unit>\n");
  xml.Printf("    </scalling>\n");
  xml.Printf("\n");
  xml.Printf("    <mapping>\n");
  xml.Printf("      <x-range>min=-25, max=25</x-range>\n");
  xml.Printf("      <y-range>min=-25, max=25</y-range>\n");
  xml.Printf("      <z-range>min=-62.5, max=62.5</z-range>\n");
  xml.Printf("      <size>w=100, h=250, d=100, size of plots in mm</size>\n");
  xml.Printf("      <center>lo=%.6f, la=%.6f</center>\n", kOriginLongitude, kOriginLatitude);
  xml.Printf(
      "      <gmap type=\"M.SEIS\">file=\"%s\", XYZ_org(%.6f, la=%.6f, X=0, Y=0, Z=0)</gmap>\n",
      AE_XmlEscape(KZ_GetFileName(path, 0)).c_str(), kOriginLongitude, kOriginLatitude);
  xml.Printf("     </mapping>\n");
  xml.Printf("\n");
  xml.Printf("    <mesh>type=\"XYZ\", order=\"XYZ\"\n");
  xml.Printf("      <x-axis>n=50,  delta=5,  ns=1, ne=50</x-axis>\n");
  xml.Printf("      <y-axis>n=50,  delta=5,  ns=1, ne=50, rot=90</y-axis>\n");
  xml.Printf("      <z-axis>n=125, delta=5,  ns=1, ne=125</z-axis>\n");
  xml.Printf("    </mesh>\n");
  xml.Printf("\n");
  xml.Printf("  </case>\n");
  xml.Printf("</Vorrex>\n");
  xml.Commit();
  return 1;
}
