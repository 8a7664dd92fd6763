// KV text files of the data table, and the ".HIS" and ".CSV" column imports.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <new>

#include "base/numerics/KZ_NumHelpers.h"
#include "base/series/KZ_MultiVarObj.h"
#include "base/series/KZ_SplitRuns.h"
#include "base/types/KZ_TextParse.h"
#include "base/util/KZ_FileUtil.h"
#include "platform/File.h"
#include "platform/Strings.h"
#include "platform/UiServices.h"

namespace {

bool Has(const std::string& s, const char* what) { return s.find(what) != std::string::npos; }

std::string TrimRight(std::string s) {
  while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ') s.pop_back();
  return s;
}

// One number as scanf's "%lf" reads it: leading white space skipped, then the longest
// number. std::from_chars does the common forms without the locale; the forms it does not
// take (a '+' sign, hexadecimal) go to strtod.
inline bool ParseDouble(const char*& p, const char* end, double* v) {
  while (p < end &&
         (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n' || *p == '\v' || *p == '\f'))
    ++p;
  if (p >= end) return false;
  auto r = std::from_chars(p, end, *v);
  if (r.ec == std::errc() && (r.ptr >= end || (*r.ptr != 'x' && *r.ptr != 'X'))) {
    p = r.ptr;
    return true;
  }
  if (r.ec == std::errc::result_out_of_range) {
    // Like strtod: beyond the double range is infinity, below it zero.
    char* e = nullptr;
    *v = plat::StrToD(p, &e);
    p = e;
    return true;
  }
  char* e = nullptr;
  *v = plat::StrToD(p, &e);
  if (e == p) return false;
  p = e;
  return true;
}

// Up to `max` numbers as a scanf "%lf %lf ..." (white space between them) or, with
// `comma`, "%lf,%lf,..." (a comma right after each number) reads them from [p, end).
int ScanDoubles(const char* p, const char* end, bool comma, int max, double* out) {
  int k = 0;
  while (k < max) {
    if (k > 0 && comma) {
      if (p >= end || *p != ',') break;
      ++p;
    }
    if (!ParseDouble(p, end, &out[k])) break;
    ++k;
  }
  return k;
}

int ScanDoubles(const std::string& line, bool comma, int max, double* out) {
  return ScanDoubles(line.data(), line.data() + line.size(), comma, max, out);
}

// The lines of a whole file read at once (line ends LF or CRLF), which is much faster
// than reading them character by character.
class TextLines {
 public:
  bool Open(const std::string& path) {
    plat::File f;
    if (!f.Open(path, "rb")) return false;
    const long long n = f.GetLength();
    if (n < 0) return false;
    text_.resize(static_cast<std::size_t>(n));
    text_.resize(f.Read(text_.data(), text_.size()));
    return true;
  }
  bool ReadLine(std::string& line) {
    line.clear();
    if (pos_ >= text_.size()) return false;
    std::size_t e = text_.find('\n', pos_);
    const std::size_t next = e == std::string::npos ? text_.size() : e + 1;
    if (e == std::string::npos) e = text_.size();
    if (e > pos_ && text_[e - 1] == '\r' && e < text_.size()) --e;
    line.assign(text_, pos_, e - pos_);
    pos_ = next;
    return true;
  }

 private:
  std::string text_;
  std::size_t pos_ = 0;
};

int ScanInts(const char* p, int max, std::vector<long>& out) {
  out.clear();
  while (static_cast<int>(out.size()) < max) {
    char* end = nullptr;
    const long v = std::strtol(p, &end, 10);
    if (end == p) break;
    out.push_back(v);
    p = end;
  }
  return static_cast<int>(out.size());
}

void Warn(const std::string& text) { plat::AfxMessageBox(text, MB_OK | MB_ICONWARNING); }

// Everything a KV file gives the table, read before the table is touched.
struct KVStage {
  std::vector<std::string> headers;
  std::string startLine;
  int droppedHeaders = 0;
  bool errorTable = false;
  std::vector<std::string> titles, units;
  std::vector<float> factors;
  std::vector<int> styles;
  std::vector<std::uint32_t> flags;
  std::vector<double> mins, maxs;
  int rangeLines = 0;
  bool hasH = false;
  std::string hTitle, hUnit;
  std::vector<double> h;
  std::vector<double> rows;  // row after row, one value per title
  int nrows = 0;
};

// A column import's file before it reaches the table.
struct ColumnStage {
  std::vector<std::string> titles;
  int droppedColumns = 0;
  std::vector<double> rows;
  int nrows = 0;
};

}  // namespace

// ---------------------------------------------------------------------------------------
// Writing

int KZ_MultiVarObj::WriteKVData(plat::File* f) {
  if (!f) return 0;
  const int nc = std::clamp(m_nColumns, 0, static_cast<int>(m_Columns.size()));
  f->Puts("KVDATA02\n");
  const int nh = std::clamp(m_nHeaders, 0, kHeaderLines);
  for (int i = 0; i < nh; ++i)
    if (!m_strHeader[i].empty()) f->Printf("%s\n", m_strHeader[i].c_str());
  if (nh < kHeaderLines && Has(m_strHeader[nh], "START_TIME"))
    f->Printf("%s\n", m_strHeader[nh].c_str());
  const int n = nc > 0 ? std::min(m_Columns[0].m_nCount, m_nRowCapacity) : 0;
  f->Printf("SAMPLES %d\n", n);
  std::string line;
  for (int c = 0; c < nc; ++c) {
    if (c) line += '\t';
    line += m_Columns[c].m_strTitle + "," + m_Columns[c].m_strUnit;
  }
  f->Puts(line + "\n");
  line.clear();
  for (int c = 0; c < nc; ++c) line += c ? "\t1.0" : "1.0";
  f->Puts(line + "\n");
  line = "PLOT_TYPE: ";
  for (int c = 0; c < nc; ++c) line += plat::Format(c ? "\t%1d" : "%1d", m_Columns[c].m_nPlotStyle);
  f->Puts(line + "\n");
  line = "PLOT_XY: ";
  for (int c = 0; c < nc; ++c)
    line += plat::Format(c ? "\t%1d" : "%1d", static_cast<int>(m_Columns[c].m_nAxisFlags));
  f->Puts(line + "\n");
  // Rows as "%f " per value; to_chars prints the same digits without the locale.
  char buf[400];
  for (int i = 0; i < n; ++i) {
    line.clear();
    for (int c = 0; c < nc; ++c) {
      auto r = std::to_chars(buf, buf + sizeof(buf) - 1, m_Columns[c].GetMagnitude(i),
                             std::chars_format::fixed, 6);
      *r.ptr++ = ' ';
      line.append(buf, r.ptr);
    }
    line += '\n';
    f->Puts(line);
  }
  if (m_pHVar && nc > 0 && m_pHVar->m_nCount == nc - 1) {
    f->Printf("VAR-H: title=\"%s\", unit=\"%s\"\n", m_pHVar->m_strTitle.c_str(),
              m_pHVar->m_strUnit.c_str());
    line.clear();
    for (int k = 0; k < m_pHVar->m_nCount; ++k)
      line += plat::Format("%f ", m_pHVar->GetMagnitude(k));
    f->Puts(line + "\n");
  }
  return 1;
}

int KZ_MultiVarObj::SaveKVData(const std::string& path) {
  plat::File f;
  if (!f.Open(path, "wt")) return 0;
  WriteKVData(&f);
  f.Close();
  return 1;
}

// ---------------------------------------------------------------------------------------
// Reading

int KZ_MultiVarObj::LoadFile(std::string path) {
  if (KZ_HasSuffix(path, ".HIS")) return LoadBlankColumns(path);
  if (KZ_HasSuffix(path, ".CSV")) return LoadCommaColumns(path);

  TextLines f;
  if (!f.Open(path)) return 0;
  std::string line1;
  if (!f.ReadLine(line1) || !Has(line1, "KVDATA")) {
    Warn(plat::Format("%s is not a KV data file: its first line lacks \"KVDATA\".", path.c_str()));
    return 0;
  }
  KVStage s;
  try {
    s.headers.push_back("File: " + path);
    auto digit = [&](std::size_t i) {
      return i < line1.size() && line1[i] >= '0' && line1[i] <= '9' ? line1[i] - '0' : 0;
    };
    const int version = 10 * digit(6) + digit(7);
    if (line1.size() + 1 > 10) s.headers.push_back(line1.substr(9));

    // Header lines up to the SAMPLES line; a START_TIME line ends them.
    std::string line, next;
    bool haveLine = false, samples = false;
    // At the end of the file the last line read stays the current one.
    while (f.ReadLine(next)) {
      line = next;
      haveLine = true;
      if (Has(line, "SAMPLES")) {
        samples = true;
        break;
      }
      if (Has(line, "START_TIME: ")) {
        s.startLine = line;
        haveLine = f.ReadLine(line);
        samples = haveLine && Has(line, "SAMPLES");
        break;
      }
      if (!line.empty()) {
        if (s.headers.size() < 15)
          s.headers.push_back(line);
        else
          ++s.droppedHeaders;
      }
    }
    if (!haveLine) {
      Warn(plat::Format("%s holds no column titles.", path.c_str()));
      return 0;
    }
    for (std::string& hl : s.headers) {
      hl = TrimRight(hl);
      if (Has(hl, "rror")) s.errorTable = true;
    }
    s.startLine = TrimRight(s.startLine);

    std::string titles = line;
    if (samples && !f.ReadLine(titles)) {
      Warn(
          plat::Format("%s ends after its SAMPLES line: it holds no column titles.", path.c_str()));
      return 0;
    }
    const char sep = titles.find('\t') != std::string::npos ? '\t' : ' ';
    for (const std::string& token : KZ_SplitRuns(titles, sep)) {
      if (static_cast<unsigned char>(token[0]) < 32) break;
      const std::size_t comma = token.find(',');
      if (comma == std::string::npos) {
        s.titles.push_back(TrimRight(token));
        s.units.emplace_back();
      } else {
        s.titles.push_back(TrimRight(token.substr(0, comma)));
        s.units.push_back(TrimRight(plat::TrimLeft(token.substr(comma + 1))));
      }
    }
    const int nc = static_cast<int>(s.titles.size());
    if (nc == 0) {
      Warn(plat::Format("%s holds no column titles.", path.c_str()));
      return 0;
    }

    // Factors, which may run over several lines; the rest of the last one is skipped.
    s.factors.assign(nc, 1.0f);
    if (version > 1) {
      std::string fl;
      const char* p = "";
      for (int c = 0; c < nc; ++c) {
        while (true) {
          while (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\f' || *p == '\v') ++p;
          if (*p) break;
          if (!f.ReadLine(fl)) {
            Warn(plat::Format("%s ends before its %d column factors.", path.c_str(), nc));
            return 0;
          }
          p = fl.c_str();
        }
        char* end = nullptr;
        const double v = plat::StrToD(p, &end);
        if (end == p) {
          Warn(plat::Format("%s: the factor of column %d is not a number.", path.c_str(), c + 1));
          return 0;
        }
        s.factors[c] = static_cast<float>(v);
        p = end;
      }
    }
    s.styles.assign(nc, 1);
    s.flags.assign(nc, KZ_AXIS_Y);
    s.flags[0] = KZ_AXIS_X;
    s.mins.assign(nc, 0.0);
    s.maxs.assign(nc, 50.0);  // the range of a fresh column

    // Table lines and rows.
    std::vector<double> values(nc);
    std::vector<long> ints;
    while (f.ReadLine(line)) {
      const bool isMin = Has(line, "MIN:"), isMax = !isMin && Has(line, "MAX:");
      if (isMin || isMax) {
        // Searched in the string, not in its C text: a NUL byte may stand before the colon.
        const char* p = line.c_str() + line.find(':') + 1;
        if (ScanDoubles(p, line.data() + line.size(), false, nc, values.data()) < nc) break;
        for (int c = 0; c < nc; ++c) (isMin ? s.mins : s.maxs)[c] = s.factors[c] * values[c];
        ++s.rangeLines;
      } else if (Has(line, "PLOT_TYPE:")) {
        ScanInts(line.c_str() + line.find("PLOT_TYPE:") + 10, nc, ints);
        for (std::size_t c = 0; c < ints.size(); ++c) s.styles[c] = static_cast<int>(ints[c]);
      } else if (Has(line, "PLOT_XY:")) {
        ScanInts(line.c_str() + line.find("PLOT_XY:") + 8, nc, ints);
        for (std::size_t c = 0; c < ints.size(); ++c)
          s.flags[c] = static_cast<std::uint32_t>(ints[c]);
      } else if (Has(line, "VAR-H:")) {
        s.hTitle = KZ_GetKeyString(line.c_str(), "tle=", "");
        s.hUnit = KZ_GetKeyString(line.c_str(), "nit=", "");
        std::string hl;
        if (!f.ReadLine(hl)) break;
        s.h.clear();
        const char* p = hl.data();
        for (double v; ParseDouble(p, hl.data() + hl.size(), &v);) s.h.push_back(v);
        s.hasH = true;
      } else {
        const std::size_t at = s.rows.size();
        s.rows.resize(at + nc);
        if (ScanDoubles(line, false, nc, s.rows.data() + at) < nc) {
          s.rows.resize(at);
          break;
        }
        ++s.nrows;
      }
    }
    if (s.nrows > 2147483647 - 8) throw std::bad_alloc();  // beyond what a table can count
  } catch (const std::bad_alloc&) {
    Warn(plat::Format("%s is too large to be read into the table.", path.c_str()));
    return 0;
  }

  // The file is read: now it replaces the table.
  const int fileColumns = static_cast<int>(s.titles.size());
  SetSize(101, s.nrows + 8);
  const int nc = std::min(fileColumns, m_nColumnCapacity);
  const int r = s.nrows;
  m_nColumns = nc;
  m_nRows = r;
  for (auto& h : m_strHeader) h.clear();
  m_nHeaders = static_cast<int>(s.headers.size());
  for (int i = 0; i < m_nHeaders; ++i) m_strHeader[i] = s.headers[i];
  m_strHeader[m_nHeaders] = s.startLine;
  for (int c = 0; c < nc; ++c) {
    KZ_Var1D& col = m_Columns[c];
    col.m_strTitle = s.titles[c];
    col.m_strUnit = s.units[c];
    col.m_nAxisFlags = s.flags[c];
    col.m_nPlotStyle = static_cast<std::uint16_t>(s.styles[c]);
    col.m_dMin = s.mins[c];
    col.m_dMax = s.maxs[c];
    col.m_nCount = r;
    const double factor = s.factors[c];
    double* d = m_ppData[c];
    for (int i = 0; i < r; ++i)
      d[i] = factor * s.rows[static_cast<std::size_t>(i) * fileColumns + c];
  }
  if (s.hasH) {
    const int k = static_cast<int>(s.h.size());
    m_HValues.assign(std::max<std::size_t>(s.h.size(), m_nColumnCapacity), 0.0);
    std::copy(s.h.begin(), s.h.end(), m_HValues.begin());
    m_pHVar->Attach(s.hTitle, s.hUnit, m_HValues.data(), nullptr, k, 0, 1, -1, 1, 0, 0);
    m_pHVar->UpdateRange();
  }
  for (int c = 0; c < nc; ++c) {
    KZ_Var1D& col = m_Columns[c];
    if (Has(col.m_strTitle, "Az") && Has(col.m_strUnit, "eg")) {
      col.SetRange(0, 360);
    } else if (s.rangeLines < 2) {
      col.UpdateRange();
      col.SetRange(KZ_NiceFloor(col.m_dMin), KZ_NiceCeil(col.m_dMax));
    }
  }
  if (s.errorTable) {
    // An error table: its value columns share one range so that they compare on one scale.
    m_nStep = std::max(250 / std::max(nc, 1), 1);
    m_nColourLevels = 15;
    if (nc > 1) {
      double lo = m_Columns[1].m_dMin, hi = m_Columns[1].m_dMax;
      for (int c = 2; c < nc; ++c) {
        lo = std::min(lo, m_Columns[c].m_dMin);
        hi = std::max(hi, m_Columns[c].m_dMax);
      }
      for (int c = 1; c < nc; ++c) m_Columns[c].SetRange(lo, hi);
    }
  }
  if (m_pSubTable) {
    m_pSubTable->m_nRows = 0;
    m_pSubTable->m_nColumns = 0;
  }

  std::string cut;
  if (fileColumns > nc)
    cut += plat::Format("\n%d columns beyond the table's %d were not read.", fileColumns - nc, nc);
  if (s.droppedHeaders > 0)
    cut += plat::Format("\n%d header lines beyond the table's 15 were not kept.", s.droppedHeaders);
  if (!cut.empty()) Warn(plat::Format("The data of %s were truncated:", path.c_str()) + cut);
  return r;
}

namespace {

// Reads a column file (the titles, then the rows of at least as many numbers as titles)
// into `stage`; false with the reason when the file is refused.
bool ReadColumnFile(TextLines& f, bool comma, ColumnStage& stage, std::string& why) {
  std::string line;
  if (!f.ReadLine(line)) {
    why = "it is empty";
    return false;
  }
  int tokens = 0;
  for (std::string token : KZ_SplitRuns(line, comma ? ',' : ' ')) {
    if (comma) {
      std::vector<char> buf(token.begin(), token.end());
      buf.push_back('\0');
      KZ_TrimLeft(buf.data(), 0);
      token = buf.data();
    }
    if (token.empty() || static_cast<unsigned char>(token[0]) < 32) break;
    if (!comma && Has(token, "FISH")) continue;
    if (++tokens > 50) continue;
    stage.titles.push_back(TrimRight(token));
  }
  stage.droppedColumns = std::max(tokens - 50, 0);
  const int nc = static_cast<int>(stage.titles.size());
  if (nc == 0) {
    why = "its first line holds no column titles";
    return false;
  }
  if (!comma) f.ReadLine(line);  // the second line of a history file carries no data
  double values[20];
  while (f.ReadLine(line)) {
    if (ScanDoubles(line, comma, 20, values) < nc) break;
    stage.rows.insert(stage.rows.end(), values, values + nc);
    ++stage.nrows;
  }
  return true;
}

}  // namespace

static int LoadColumns(KZ_MultiVarObj& t, const std::string& path, bool comma) {
  TextLines f;
  if (!f.Open(path)) return 0;
  ColumnStage s;
  std::string why;
  try {
    if (!ReadColumnFile(f, comma, s, why)) {
      Warn(plat::Format("%s cannot be read as a %s column file: %s.", path.c_str(),
                        comma ? ".CSV" : ".HIS", why.c_str()));
      return 0;
    }
  } catch (const std::bad_alloc&) {
    Warn(plat::Format("%s is too large to be read into the table.", path.c_str()));
    return 0;
  }

  t.SetSize(100, 5000);
  const int fileColumns = static_cast<int>(s.titles.size());
  const int nc = std::min(fileColumns, t.m_nColumnCapacity);
  const int r = std::min(s.nrows, t.m_nRowCapacity);
  t.m_nColumns = nc;
  t.m_nRows = r;
  for (int c = 0; c < nc; ++c) {
    KZ_Var1D& col = t.m_Columns[c];
    col.m_strTitle = s.titles[c];
    col.m_strUnit.clear();
    double* d = t.m_ppData[c];
    for (int i = 0; i < r; ++i) d[i] = s.rows[static_cast<std::size_t>(i) * fileColumns + c];
    col.m_nCount = r;
    col.UpdateRange();
    col.m_nAxisFlags = c == 0 ? KZ_AXIS_X : KZ_AXIS_Y;
    col.m_nPlotStyle = r > 100 ? 2 : 1;
  }
  for (auto& h : t.m_strHeader) h.clear();
  t.m_strHeader[0] = plat::Format("Load from %s", path.c_str());
  t.m_nHeaders = 1;
  if (t.m_pSubTable) {
    t.m_pSubTable->m_nRows = 0;
    t.m_pSubTable->m_nColumns = 0;
  }

  std::string cut;
  if (s.droppedColumns > 0)
    cut += plat::Format("\n%d columns beyond the import's 50 were not read.", s.droppedColumns);
  if (s.nrows > r)
    cut += plat::Format("\n%d rows beyond the table's %d were not read.", s.nrows - r, r);
  if (!cut.empty()) Warn(plat::Format("The data of %s were truncated:", path.c_str()) + cut);
  return r;
}

int KZ_MultiVarObj::LoadBlankColumns(const std::string& path) {
  return LoadColumns(*this, path, false);
}

int KZ_MultiVarObj::LoadCommaColumns(const std::string& path) {
  return LoadColumns(*this, path, true);
}

int KZ_MultiVarObj::AddColumnsFromFile(const std::string& path) {
  KZ_MultiVarObj file;
  if (!file.LoadFile(path)) return 0;
  const int m = m_nColumns > 0 ? std::min(m_Columns[0].m_nCount, m_nRowCapacity) : 0;
  const int k = file.m_nColumns > 0 ? file.m_Columns[0].m_nCount : 0;
  int added = 0, longer = 0;
  for (int j = 0; j < file.m_nColumns && m_nColumns + j < m_nColumnCapacity; ++j, ++added) {
    const int to = m_nColumns + j;
    const int copy = std::min(m, k);
    std::copy(file.m_ppData[j], file.m_ppData[j] + copy, m_ppData[to]);
    std::fill(m_ppData[to] + copy, m_ppData[to] + m, 0.0);
    KZ_CopyColumnSettings(m_Columns[to], file.m_Columns[j]);
    // The column has this table's rows: what lies beyond them was not copied.
    if (m_Columns[to].m_nCount > m) {
      longer = std::max(longer, m_Columns[to].m_nCount);
      m_Columns[to].m_nCount = m;
    }
  }
  const int skipped = file.m_nColumns - added;
  m_nColumns += added;
  std::string cut;
  if (skipped > 0) cut += plat::Format("\n%d columns found no free column in the table.", skipped);
  if (longer > 0)
    cut += plat::Format("\nRows beyond the table's %d (of %d) were not added.", m, longer);
  if (!cut.empty()) Warn(plat::Format("The columns of %s were truncated:", path.c_str()) + cut);
  return added > 0 ? m_nColumns : 0;
}
