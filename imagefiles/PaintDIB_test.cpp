#include <gtest/gtest.h>

#include "imagefiles/ImageFormatTable.h"
#include "platform/RecordingDc.h"

namespace {

struct PaintCase {
  const char* name;
  RECT dest;
  bool hasSource;
  RECT source;
  RECT recordedSource;  // x, y from the bottom, right, bottom in DIB coordinates
};

TEST(PaintDIB, SourceRectangleChoosesTheDrawingCall) {
  ImageDescriptor d;
  ASSERT_EQ(img_alloc(&d, 40, 30, 8), IMG_OK);
  img_row(&d, 0)[0] = 200;
  const PaintCase cases[] = {
      {"whole image stretched", {10, 20, 110, 70}, false, {}, {0, 0, 40, 30}},
      // 12 x 8 from rows 4..11 counted from the top: 30 - 12 = 18 from the bottom.
      {"same size copied unscaled", {5, 5, 17, 13}, true, {3, 4, 15, 12}, {3, 18, 15, 26}},
      {"other size stretched", {0, 0, 100, 100}, true, {3, 4, 15, 12}, {3, 18, 15, 26}},
  };
  for (const PaintCase& c : cases) {
    SCOPED_TRACE(c.name);
    plat::RecordingDc dc;
    int lines = PaintDIB(&dc, &c.dest, &d, c.hasSource ? &c.source : nullptr);
    EXPECT_GT(lines, 0);
    auto ops = dc.OpsOf(plat::DcOpKind::StretchDIBits);
    ASSERT_EQ(ops.size(), 1u);
    const plat::DcOp& op = *ops[0];
    EXPECT_EQ(op.rect.left, c.dest.left);
    EXPECT_EQ(op.rect.top, c.dest.top);
    EXPECT_EQ(op.rect.right, c.dest.right);
    EXPECT_EQ(op.rect.bottom, c.dest.bottom);
    EXPECT_EQ(op.src.left, c.recordedSource.left);
    EXPECT_EQ(op.src.top, c.recordedSource.top);
    EXPECT_EQ(op.src.right, c.recordedSource.right);
    EXPECT_EQ(op.src.bottom, c.recordedSource.bottom);
    EXPECT_EQ(op.rop, SRCCOPY);
    EXPECT_EQ(op.state.stretchBltMode, COLORONCOLOR);
    ASSERT_TRUE(op.dib);
  }
  // The whole picture travels with the stretched call: header, 256 entries, the rows.
  plat::RecordingDc dc;
  RECT dest{0, 0, 40, 30};
  PaintDIB(&dc, &dest, &d, nullptr);
  const plat::DcOp& op = *dc.OpsOf(plat::DcOpKind::StretchDIBits)[0];
  ASSERT_EQ(op.dib->size(), 40u + 1024u + 40u * 30u);
  EXPECT_EQ((*op.dib)[40 + 1024 + 29 * 40], 200);  // top row stored last
  img_free(&d);

  ImageDescriptor empty;
  EXPECT_EQ(PaintDIB(&dc, &dest, &empty, nullptr), 0);
}

}  // namespace
