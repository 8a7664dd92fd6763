#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "aecore/templates/TMContext.h"
#include "base/numerics/KZ_NumHelpers.h"
#include "base/numerics/KZ_Rand.h"
#include "base/types/KZ_TextParse.h"
#include "aecore/waveform/KZ_WaveDate.h"
#include "base/util/KZ_DateTime.h"
#include "platform/FileSystem.h"

namespace {

std::string Now(bool compact) {
  std::string s;
  return KZ_NowString(s, compact);
}

std::string Format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* fmt, ...) {
  char buf[1024];
  va_list ap;
  va_start(ap, fmt);
  std::vsnprintf(buf, sizeof buf, fmt, ap);
  va_end(ap);
  return buf;
}

// Julian day (zone 0) of a record's start: header date, time and microseconds.
double StartJulianDay(const KZ_WaveHeader& h) {
  int y = 0, mo = 0, d = 0, hh = 0, mi = 0;
  float s = 0.0f;
  KZ_ParseSeg2Date(h.szDate, &y, &mo, &d);
  std::sscanf(h.szTime, "%2d:%2d:%f", &hh, &mi, &s);
  return KZ_JulianDay(y, mo, d, hh, mi, s + h.nStartUsec * 1e-6f, 0.0f);
}

float MaxAbs(const KZ_WaveTrace& t, int from, int n) {
  float m = 0.0f;
  const int a = std::max(from, 0), e = std::min(from + n, t.m_n);
  for (int i = a; i < e; ++i) m = std::max(m, std::fabs(t.m_pData[static_cast<std::size_t>(i)]));
  return m;
}

// Record rows of the detection table and its head, written whole.
const char* const kTableHead =
    "KVDATA02\n"
    "Detecte event\n"
    "SAMPLES 777\n"
    "AE#\tt0,us\tX,mm\tY,mm\tZ,mm\tMw\tCC\tSNR1\tSNR2\tdX,mm\tdY,mm\tdZ,mm\tdMw\t#_T\tMw_T\n"
    "1\t1\t1\t1\t1\t1\t1\t1\t1\t1\t1\t1\t1\t1\t1\n"
    "PLOT_TYPE: 1\t1\t1\t1\t1\t1\t1\t1\t1\t1\t1\t1\t1\t1\t1\n"
    "PLOT_XY: 1\t0\t0\t0\t0\t0\t0\t0\t0\t2\t2\t2\t0\t0\t0\n";

}  // namespace

float MeanAbsValue(int first, int last, const float* a) {
  if (last < first) return 0.0f;
  double s = 0.0;
  for (int i = first; i <= last; ++i) s += std::fabs(a[i]);
  return static_cast<float>(s / (last - first + 1));
}

int TMContext::DetectEvents(KZ_WaveDataSeg2& rec, TMTemplateArray& templates, int count,
                            TMPars& p) {
  return Detect(rec, templates, count, p, ScanPlan());
}

int TMContext::SelectStations(const KZ_WaveData& tpl, const KZ_WaveData& rec, int M,
                              const TMPars& p, int* minPick, int* maxPick) {
  const double vx2 = static_cast<double>(p.m_fVx) * p.m_fVx;
  const double vy2 = static_cast<double>(p.m_fVy) * p.m_fVy;
  const double vz2 = static_cast<double>(p.m_fVz) * p.m_fVz;
  // Only stations both records have, and whose template window lies inside the trace.
  const int n = std::min({m_nSta, tpl.Count(), rec.Count()});
  int used = 0;
  *minPick = m_nLen;
  *maxPick = 0;
  for (int s = 0; s < n; ++s) {
    const KZ_WaveTrace& t = *tpl.GetTrace(s);
    int loc = 9999;
    KZ_GetKeyInt(t.m_szNote, "loc_ind=", &loc);
    if (loc >= M) continue;
    const int w0 = t.m_nPick - m_nBefore;
    if (w0 < 0 || w0 + m_nWin > t.m_n) continue;
    m_pUsedSta[static_cast<std::size_t>(used)] = s;
    *minPick = std::min(*minPick, t.m_nPick);
    *maxPick = std::max(*maxPick, t.m_nPick);
    KZ_Vector3D u(t.m_fReceiver[0] - t.m_fSource[0], t.m_fReceiver[1] - t.m_fSource[1],
                  t.m_fReceiver[2] - t.m_fSource[2]);
    u.Normalize();
    const double S = vx2 * u.x * u.x + vy2 * u.y * u.y + vz2 * u.z * u.z;
    const double V = std::sqrt(S);
    KZ_Vector3D g;
    if (S > 0.0)
      g = KZ_Vector3D((2.0 - vx2 / S) * u.x / V, (2.0 - vy2 / S) * u.y / V,
                      (2.0 - vz2 / S) * u.z / V);
    m_pSlowness[static_cast<std::size_t>(used)] = g;
    m_ppLabel[static_cast<std::size_t>(used)] = Format("_Sta%03d_", loc);
    ++used;
  }
  return used;
}

int TMContext::WriteCorrelationTraces(const std::string& path, int rows, int columns,
                                      double julianDay) {
  std::vector<const float*> data;
  std::vector<std::string> labels;
  for (int r = 0; r < rows; ++r) {
    data.push_back(m_ppCC[static_cast<std::size_t>(r)].data());
    labels.push_back(m_ppLabel[static_cast<std::size_t>(r)]);
  }
  return TMWriteStack(path, data, labels, 0, columns, m_fDt, julianDay);
}

int TMContext::Detect(KZ_WaveDataSeg2& rec, TMTemplateArray& templates, int count, TMPars& p,
                      const ScanPlan& plan) {
  if (m_nSta < 1 || m_nWin < 1 || rec.Count() < 1) return 0;
  const double jd = StartJulianDay(rec.m_header);
  p.m_fVx = KZ_GetKeyFloat(rec.m_header.szNote, "x=", p.m_fVx);
  p.m_fVy = KZ_GetKeyFloat(rec.m_header.szNote, "y=", p.m_fVy);
  p.m_fVz = KZ_GetKeyFloat(rec.m_header.szNote, "z=", p.m_fVz);
  const float ccSoFar = KZ_GetKeyFloat(rec.m_header.szComments, "CC=", 0.0f);
  const float thr = std::max(ccSoFar, p.m_fThresholdCC);
  Log("  Cross correlation: CC_sofar=%.2f %s \n", static_cast<double>(ccSoFar), Now(false).c_str());

  // The scanned channels' transforms are made once and serve every template.
  std::vector<const float*> chans;
  std::vector<int> counts;
  for (int c = 0; c < rec.Count(); ++c) {
    chans.push_back(rec.GetTrace(c)->m_pData.data());
    counts.push_back(rec.GetTrace(c)->m_n);
  }
  m_corr.SetRecord(chans, counts, m_nWin);
  const bool mean = p.m_bMeanRemoval != 0;
  if (m_specBlock.size() != templates.size()) {
    m_spec.assign(templates.size(), {});
    m_specBlock.assign(templates.size(), 0);
  }

  const bool filter = p.m_fLowCorner < p.m_fHighCorner;
  const int gx = std::max(p.m_nGridX, 0), gy = std::max(p.m_nGridY, 0),
            gz = std::max(p.m_nGridZ, 0);
  const double dX = gx > 0 ? p.m_fSearchX / gx : 0.0;
  const double dY = gy > 0 ? p.m_fSearchY / gy : 0.0;
  const double dZ = gz > 0 ? p.m_fSearchZ / gz : 0.0;
  std::unique_ptr<KZ_WaveDataSeg2> scratch;
  m_nCand = 0;
  count = std::min<int>(count, static_cast<int>(templates.size()));

  for (int k = 0; k < count; ++k) {
    KZ_WaveDataSeg2* tpl = templates[static_cast<std::size_t>(k)].get();
    const bool inMemory = tpl->Count() > 0;
    if (!inMemory) {
      if (p.m_iTE > p.m_iTS) continue;
      if (!scratch) scratch = std::make_unique<KZ_WaveDataSeg2>();
      if (!scratch->Load(tpl->m_strPath, 1, 0, 0)) continue;
      if (filter) scratch->Filter(p.m_fLowCorner, p.m_fHighCorner);
      tpl = scratch.get();
    }
    int M = 0;
    KZ_GetKeyInt(tpl->m_header.szComments, "M=", &M);
    if (M < p.m_nMinStations) continue;
    int minPick = 0, maxPick = 0;
    const int nUsed = SelectStations(*tpl, rec, M, p, &minPick, &maxPick);
    if (nUsed < p.m_nMinStations || nUsed < 1) continue;

    // Lags whose scanned windows lie inside every used channel of the record; event files
    // take no more than the template's own length allows.
    int nScan = plan.chunk ? INT32_MAX : m_nLen - (maxPick - minPick);
    for (int j = 0; j < nUsed; ++j) {
      const int s = m_pUsedSta[static_cast<std::size_t>(j)];
      const int off = tpl->GetTrace(s)->m_nPick - minPick;
      nScan = std::min(nScan, rec.GetTrace(s)->m_n - off - m_nWin + 1);
    }
    if (nScan <= m_nWin) continue;
    for (int r = 0; r <= nUsed; ++r)
      m_ppCC[static_cast<std::size_t>(r)].assign(static_cast<std::size_t>(nScan), 0.0f);

    // Template spectra are kept for templates held in memory (made for this block size).
    std::vector<TMWindowSpectrum> local;
    std::vector<TMWindowSpectrum>* spec = &local;
    if (inMemory) {
      spec = &m_spec[static_cast<std::size_t>(k)];
      const int key = 2 * m_corr.BlockSize() + (mean ? 1 : 0);
      if (m_specBlock[static_cast<std::size_t>(k)] != key) {
        spec->clear();
        m_specBlock[static_cast<std::size_t>(k)] = key;
      }
    }
    if (spec->size() < static_cast<std::size_t>(tpl->Count()))
      spec->resize(static_cast<std::size_t>(tpl->Count()));
    bool ok = true;
    for (int j = 0; j < nUsed && ok; ++j) {
      const int s = m_pUsedSta[static_cast<std::size_t>(j)];
      const KZ_WaveTrace& T = *tpl->GetTrace(s);
      TMWindowSpectrum& ws = (*spec)[static_cast<std::size_t>(s)];
      if (ws.m_nBlock != m_corr.BlockSize())
        m_corr.PrepareWindow(T.m_pData.data() + (T.m_nPick - m_nBefore), mean, ws);
      ok = m_corr.Correlate(s, ws, T.m_nPick - minPick, nScan,
                            m_ppCC[static_cast<std::size_t>(j)].data());
    }
    if (!ok) continue;
    std::vector<float>& stack = m_ppCC[static_cast<std::size_t>(nUsed)];
    m_ppLabel[static_cast<std::size_t>(nUsed)] = "_Stack__";

    if (p.m_nOutputFlag > 5) {
      std::fill(stack.begin(), stack.end(), 0.0f);
      for (int j = 0; j < nUsed; ++j)
        for (int t = 0; t < nScan; ++t)
          stack[static_cast<std::size_t>(t)] +=
              m_ppCC[static_cast<std::size_t>(j)][static_cast<std::size_t>(t)];
      for (float& v : stack) v /= static_cast<float>(nUsed);
      WriteCorrelationTraces(p.m_strOutputPath + Now(true) + "_CC.sacs", nUsed + 1, nScan, jd);
    }

    // Peaks are sought from these lags on; a chunk of a long recording looks only at its
    // own share (its neighbours look at the rest, with full windows on both sides).
    int peakFrom = 0, peakTo = nScan - m_nWin;
    if (plan.chunk) {
      peakFrom = static_cast<int>(std::clamp<std::int64_t>(plan.ownFrom - plan.origin, 0, peakTo));
      peakTo = static_cast<int>(std::clamp<std::int64_t>(plan.ownTo - plan.origin, 0, peakTo));
    }
    const float inv = 1.0f / static_cast<float>(nUsed);
    std::vector<int> shifts(static_cast<std::size_t>(nUsed));
    for (int ix = -gx; ix <= gx; ++ix)
      for (int iy = -gy; iy <= gy; ++iy)
        for (int iz = -gz; iz <= gz; ++iz) {
          const KZ_Vector3D D(ix * dX, iy * dY, iz * dZ);
          std::fill(stack.begin(), stack.end(), 0.0f);
          for (int j = 0; j < nUsed; ++j) {
            const int sh = static_cast<int>(
                std::floor(-KZ_Dot(m_pSlowness[static_cast<std::size_t>(j)], D) / m_fDt + 0.5));
            shifts[static_cast<std::size_t>(j)] = sh;
            const float* cc = m_ppCC[static_cast<std::size_t>(j)].data();
            float* st = stack.data() - sh;
            for (int t = std::max(0, sh); t < nScan - std::abs(sh); ++t) st[t] += cc[t];
          }
          for (float& v : stack) v *= inv;

          int t = peakFrom;
          while (t < peakTo) {
            if (!(stack[static_cast<std::size_t>(t)] > thr)) {
              ++t;
              continue;
            }
            while (t < nScan - m_nWin &&
                   stack[static_cast<std::size_t>(t) + 1] >= stack[static_cast<std::size_t>(t)])
              ++t;
            const float peak = stack[static_cast<std::size_t>(t)];
            const float before = MeanAbsValue(std::max(0, t - m_nGap - m_nNoiseLen),
                                              std::max(1, t - m_nGap), stack.data());
            const float after =
                MeanAbsValue(std::min(nScan - 1, t + m_nGap),
                             std::min(nScan - 1, t + m_nGap + m_nNoiseLen), stack.data());
            const float snr1 = peak / before, snr2 = peak / after;
            if (!(snr1 >= p.m_fThresholdSNR && snr2 >= p.m_fThresholdSNR)) {
              ++t;
              continue;
            }
            const double time = t * static_cast<double>(m_fDt);
            int e = -1;
            for (int c = 0; c < m_nCand && e < 0; ++c)
              if (std::fabs(m_Cand[c].m_dTime - time) < p.m_fInterevent) e = c;
            if (e < 0) {
              if (m_nCand < kMaxCandidates) {
                e = m_nCand++;
                m_Cand[e] = TMCandidate();
              } else {
                // A full table keeps its strongest entries: the weakest gives way.
                int w = 0;
                for (int c = 1; c < m_nCand; ++c)
                  if (m_Cand[c].m_fCC < m_Cand[w].m_fCC) w = c;
                if (m_Cand[w].m_fCC < peak) {
                  e = w;
                  m_Cand[e] = TMCandidate();
                }
              }
            }
            if (e < 0) {
              while (t < nScan && stack[static_cast<std::size_t>(t)] >= thr) ++t;
              ++t;
              continue;
            }
            TMCandidate& c = m_Cand[e];
            if (peak > c.m_fCC) {
              c.m_iX = ix;
              c.m_iY = iy;
              c.m_iZ = iz;
              c.m_nTemplate = k;
              c.m_fCC = peak;
              c.m_fSNR1 = snr1;
              c.m_fSNR2 = snr2;
              c.m_dTime = time;
              c.m_nIndex = t;
              if (m_fpLog && p.m_nOutputFlag > 1)
                Log(" Potential event detected at %d(%fs), CC=%.4f, snr1=%.2f, snr2=%.2f, "
                    "dX=%.2f, dY=%.2f, dZ=%.2f, nTraces=%d, n=%d, Templ=%d\n",
                    t, time, static_cast<double>(peak), static_cast<double>(snr1),
                    static_cast<double>(snr2), D.x, D.y, D.z, nUsed, m_nCand, k);
              if (m_fpLog && p.m_nOutputFlag > 4)
                WriteCorrelationTraces(p.m_strOutputPath + Now(true) +
                                           Format("_CC%.2f.sacs", static_cast<double>(c.m_fCC)),
                                       nUsed + 1, nScan, jd);
            }
            while (t < nScan && stack[static_cast<std::size_t>(t)] >= thr) ++t;
            ++t;
          }
        }

    float best = 0.0f;
    for (int c = 0; c < m_nCand; ++c) {
      if (m_Cand[c].m_nTemplate != k) continue;
      m_Cand[c].m_fMw = 0.0f;
      best = std::max(best, m_Cand[c].m_fCC);
      Log(" Final event detected: Mw=%.2f, CC=%.4f, dX=%.2f, dY=%.2f, dZ=%.2f, n=%d/%d\n", 0.0,
          static_cast<double>(m_Cand[c].m_fCC), m_Cand[c].m_iX * dX, m_Cand[c].m_iY * dY,
          m_Cand[c].m_iZ * dZ, c, m_nCand);
    }
    if (best > 0.99f) break;
  }

  // One entry per inter-event window over all templates.
  const int removed = MergeCandidates(m_nCand, p.m_fInterevent);
  if (removed > 0)
    Log(" %d of %d events detected from multi templates was removed\n", removed, m_nCand);
  // A detection already written from the previous chunk of a recording is not written again.
  if (plan.chunk)
    for (int a = 0; a < m_nCand; ++a) {
      if (m_Cand[a].m_nTemplate < 0) continue;
      const double abs = (plan.origin + m_Cand[a].m_nIndex) * static_cast<double>(m_fDt);
      for (double w : m_written)
        if (std::fabs(w - abs) < p.m_fInterevent) m_Cand[a].m_nTemplate = -1;
    }
  int surviving = 0;
  for (int a = 0; a < m_nCand; ++a) surviving += m_Cand[a].m_nTemplate >= 0;
  if (surviving == 0) return 0;

  return WriteDetections(rec, templates, p, plan, dX, dY, dZ);
}

int TMContext::MergeCandidates(int count, float interevent) {
  // Every pair is compared once, whichever of the two comes first in the table; the earlier
  // entry takes the stronger detection and the later one is removed.
  int removed = 0;
  for (int a = 0; a < count; ++a) {
    if (m_Cand[a].m_nTemplate < 0) continue;
    for (int b = a + 1; b < count; ++b) {
      if (m_Cand[b].m_nTemplate < 0) continue;
      if (std::fabs(m_Cand[a].m_dTime - m_Cand[b].m_dTime) >= interevent) continue;
      if (m_Cand[a].m_fCC < m_Cand[b].m_fCC) m_Cand[a] = m_Cand[b];
      m_Cand[b].m_nTemplate = -1;
      ++removed;
    }
  }
  return removed;
}

int TMContext::WriteDetections(KZ_WaveDataSeg2& rec, TMTemplateArray& templates, TMPars& p,
                               const ScanPlan& plan, double dX, double dY, double dZ) {
  const std::string tablePath = p.m_strOutputPath + "ML_detect.kv0";
  // Parallel runs append to one table: the lock keeps its head single and its rows whole.
  plat::FileLock lock(tablePath);
  plat::File table;
  for (int attempt = 0; attempt < 10; ++attempt) {
    if (table.Open(tablePath, "a+t")) break;
    if (attempt < 9) KZ_WaitMs(500);
  }
  if (!table.IsOpen()) return 0;
  if (table.GetLength() < 10) table.Puts(kTableHead);

  const bool filter = p.m_fLowCorner < p.m_fHighCorner;
  std::unique_ptr<KZ_WaveDataSeg2> scratch;
  int written = 0;
  std::string rows;
  for (int a = 0; a < m_nCand; ++a) {
    const TMCandidate& e = m_Cand[a];
    if (e.m_nTemplate < 0 || e.m_nTemplate >= static_cast<int>(templates.size())) continue;
    KZ_WaveDataSeg2* tpl = templates[static_cast<std::size_t>(e.m_nTemplate)].get();
    if (tpl->Count() == 0) {
      if (!scratch) scratch = std::make_unique<KZ_WaveDataSeg2>();
      if (!scratch->Load(tpl->m_strPath, 1, 0, 0)) continue;
      if (filter) scratch->Filter(p.m_fLowCorner, p.m_fHighCorner);
      scratch->m_nEvent = tpl->m_nEvent;
      tpl = scratch.get();
    }
    const char* com = tpl->m_header.szComments;
    const float tx = KZ_GetKeyFloat(com, "x=", 0.0f), ty = KZ_GetKeyFloat(com, "y=", 0.0f),
                tz = KZ_GetKeyFloat(com, "z=", 0.0f), mwT = KZ_GetKeyFloat(com, "Mw=", 0.0f);
    int M = 0;
    KZ_GetKeyInt(com, "M=", &M);
    // The stations of the entry's own template (the arrays hold the last one examined).
    int minPick = 0, maxPick = 0;
    const int nUsed = SelectStations(*tpl, rec, M, p, &minPick, &maxPick);
    // Picks follow the grid point the stack was measured at; the location is spread
    // within its grid cell so that locations do not pile up on the grid.
    const KZ_Vector3D grid(e.m_iX * dX, e.m_iY * dY, e.m_iZ * dZ);
    KZ_Vector3D D = grid;
    if (e.m_fCC < 0.99f) {
      D.x += KZ_RandUniform(-0.5, 0.5) * dX;
      D.y += KZ_RandUniform(-0.5, 0.5) * dY;
      D.z += KZ_RandUniform(-0.5, 0.5) * dZ;
    }
    const double X = tx + D.x, Y = ty + D.y, Z = tz + D.z;
    for (int c = 0; c < rec.Count(); ++c) {
      KZ_WaveTrace& t = *rec.GetTrace(c);
      if (c < tpl->Count()) KZ_CopyText(t.m_szNote, tpl->GetTrace(c)->m_szNote);
      t.SetPick(-1, 0.0f);
      t.SetPickAmplitude(0.0);
      t.m_nPolarity = 0;
    }
    const int nAfter = static_cast<int>(p.m_fTimeAfter / m_fDt);
    int nRatio = 0;
    for (int j = 0; j < nUsed; ++j) {
      const int s = m_pUsedSta[static_cast<std::size_t>(j)];
      const KZ_WaveTrace& T = *tpl->GetTrace(s);
      KZ_WaveTrace& A = *rec.GetTrace(s);
      const int pick =
          static_cast<int>(e.m_nIndex) + m_nBefore + (T.m_nPick - minPick) +
          static_cast<int>(-KZ_Dot(m_pSlowness[static_cast<std::size_t>(j)], grid) / m_fDt);
      if (pick < 0 || pick >= A.m_n) continue;
      A.SetPick(pick, static_cast<float>(T.m_fSNR * e.m_fCC));
      A.WindowValue(0, pick, nullptr);
      A.m_nPolarity = T.m_nPolarity;
      const float ampT = MaxAbs(T, T.m_nPick, nAfter);
      if (ampT > 0.0f)
        m_pAmpRatio[static_cast<std::size_t>(nRatio++)] = MaxAbs(A, pick, nAfter) / ampT;
    }
    const float dMw =
        nRatio > 0 ? std::log10(std::max(KZ_MedianF(m_pAmpRatio.data(), nRatio), 1e-30f)) : 0.0f;
    m_Cand[a].m_fMw = mwT + dMw;
    KZ_CopyText(
        rec.m_header.szComments,
        Format("detected: AE#=%d, Mw=%.2f, x=%.3f, y=%.3f, z=%.3f, t0=%.3f, CC=%4.2f, sn1=%.1f, "
               "sn2=%.1f, dX=%.2f, dY=%.2f, dZ=%.2f, dMw=%.2f, M=%d, Tpl=%d(Mw%.2f)\n",
               rec.m_nEvent, static_cast<double>(m_Cand[a].m_fMw), X, Y, Z, e.m_dTime,
               static_cast<double>(e.m_fCC), static_cast<double>(e.m_fSNR1),
               static_cast<double>(e.m_fSNR2), D.x, D.y, D.z, static_cast<double>(dMw), nUsed,
               tpl->m_nEvent, static_cast<double>(mwT))
            .c_str());
    // The file carries the raw samples; the filtered ones stay for the next entry.
    if (filter)
      for (int c = 0; c < rec.Count(); ++c) {
        KZ_WaveTrace& t = *rec.GetTrace(c);
        if (t.m_pBackup.size() >= static_cast<std::size_t>(t.m_n))
          std::swap_ranges(t.m_pData.begin(), t.m_pData.begin() + t.m_n, t.m_pBackup.begin());
      }
    const std::string path =
        written == 0
            ? rec.m_strPath
            : rec.m_strPath.substr(0, rec.m_strPath.size() >= 4 ? rec.m_strPath.size() - 4 : 0) +
                  Format("_%02d.sg2", written);
    rec.SaveSeg2(path, 0, 0, 1);
    if (filter)
      for (int c = 0; c < rec.Count(); ++c) {
        KZ_WaveTrace& t = *rec.GetTrace(c);
        if (t.m_pBackup.size() >= static_cast<std::size_t>(t.m_n))
          std::swap_ranges(t.m_pData.begin(), t.m_pData.begin() + t.m_n, t.m_pBackup.begin());
      }
    Log("%d, t0=%.4f, x=%.4f, y=%.4f, z=%.4f, Mw=%.2f, CC=%.4f, snr1=%.2f, snr2=%.2f, dX=%.2f, "
        "dY=%.2f, dZ=%.2f, dMw=%.2f, Template=%d(Mw%.2f)\n",
        rec.m_nEvent, e.m_dTime, X, Y, Z, static_cast<double>(m_Cand[a].m_fMw),
        static_cast<double>(e.m_fCC), static_cast<double>(e.m_fSNR1),
        static_cast<double>(e.m_fSNR2), D.x, D.y, D.z, static_cast<double>(dMw), tpl->m_nEvent,
        static_cast<double>(mwT));
    rows += Format(
        "%d\t%f\t%.4f\t%.4f\t%.4f\t%.2f\t%.4f\t%.2f\t%.2f\t%.2f\t%.2f\t%.2f\t%.2f\t%d\t%.2f\n",
        rec.m_nEvent, e.m_dTime, X, Y, Z, static_cast<double>(m_Cand[a].m_fMw),
        static_cast<double>(e.m_fCC), static_cast<double>(e.m_fSNR1),
        static_cast<double>(e.m_fSNR2), D.x, D.y, D.z, static_cast<double>(dMw), tpl->m_nEvent,
        static_cast<double>(mwT));
    if (plan.chunk) m_written.push_back((plan.origin + e.m_nIndex) * static_cast<double>(m_fDt));
    ++written;
  }
  table.Puts(rows);
  table.Close();
  ReopenLog();
  return written > 0 ? 1 : 0;
}
