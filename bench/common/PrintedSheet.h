// Checks of a grid sheet printed to a PDF file, shared by the benchmarks that print one:
// the page layout worked out from the paper and the cell size alone, the file's pages
// counted by their page objects, and a page's words (read back by pdftotext) against the
// cells its block should hold.
#pragma once
#include <QFile>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QStringList>
#include <algorithm>
#include <functional>
#include <string>

#include "common/RatioReporter.h"

namespace tv_bench {

// The printed sheet: on the printable part of the paper (25 mm margins) at 3.79 x 3.78
// grid pixels per millimetre, as many whole columns and rows as fit, pages across first.
struct SheetPrintLayout {
  int perPageCols = 1, perPageRows = 1;  // cells a page holds
  int pageCols = 0, pageRows = 0;        // pages across and down
  int Pages() const { return pageCols * pageRows; }
};

inline SheetPrintLayout PrintLayout(int cols, long rows, int colWidth, int rowHeight) {
  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  const float w = static_cast<float>(printer.widthMM() - 50);
  const float h = static_cast<float>(printer.heightMM() - 50);
  SheetPrintLayout l;
  l.perPageCols = std::max(1, static_cast<int>(3.79f * w) / std::max(colWidth, 1));
  l.perPageRows = std::max(1, static_cast<int>(3.78f * h) / std::max(rowHeight, 1));
  l.pageCols = (cols + l.perPageCols - 1) / l.perPageCols;
  l.pageRows = static_cast<int>((rows + l.perPageRows - 1) / l.perPageRows);
  return l;
}

// Pages of a PDF file counted by their page objects (the page tree's nodes excluded).
inline int PdfPageCount(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return -1;
  const QString bytes = QString::fromLatin1(f.readAll());
  return static_cast<int>(bytes.count(QRegularExpression("/Type\\s*/Page(?![a-zA-Z])")));
}

// The words of one PDF page in reading order (pdftotext keeps the layout's rows).
inline QStringList PdfPageWords(const QString& path, int page, QString* error) {
  QProcess p;
  p.start("pdftotext", {"-f", QString::number(page), "-l", QString::number(page), "-layout", path,
                        "-"});
  if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
    *error = "pdftotext failed: " + p.errorString();
    return {};
  }
  return QString::fromUtf8(p.readAllStandardOutput()).split(QRegularExpression("\\s+"),
                                                             Qt::SkipEmptyParts);
}

// Checks that printed page `page` (from 1) of a sheet of `cols` x `rows` cells shows the
// texts of its block of cells, row by row; blank cells give no word.
inline void CheckPrintedPageWords(const QString& pdf, int page, const SheetPrintLayout& l,
                                  int cols, long rows,
                                  const std::function<std::string(int col, long row)>& cellText) {
  const int c0 = (page - 1) % l.pageCols * l.perPageCols;
  const long r0 = static_cast<long>((page - 1) / l.pageCols) * l.perPageRows;
  const int c1 = std::min(c0 + l.perPageCols, cols);
  const long r1 = std::min<long>(r0 + l.perPageRows, rows);
  QStringList want;
  for (long r = r0; r < r1; ++r)
    for (int c = c0; c < c1; ++c)
      if (const std::string t = cellText(c, r); !t.empty()) want << QString::fromStdString(t);
  QString error;
  const QStringList got = PdfPageWords(pdf, page, &error);
  int same = 0;
  while (same < std::min(got.size(), want.size()) && got[same] == want[same]) ++same;
  std::string detail = std::to_string(got.size()) + " words, " + std::to_string(want.size()) +
                       " cell texts of columns " + std::to_string(c0) + "-" +
                       std::to_string(c1 - 1) + ", rows " + std::to_string(r0) + "-" +
                       std::to_string(r1 - 1);
  if (!error.isEmpty()) detail += "; " + error.toStdString();
  if (same < std::max(got.size(), want.size()))
    detail += "; word " + std::to_string(same) + " \"" +
              (same < got.size() ? got[same].toStdString() : "") + "\" not \"" +
              (same < want.size() ? want[same].toStdString() : "") + "\"";
  Check(error.isEmpty() && got == want, "printed page " + std::to_string(page) + " text", detail);
}

}  // namespace tv_bench
