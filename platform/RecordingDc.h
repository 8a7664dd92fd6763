// A device context back end that records every primitive in logical units with its
// resolved state, for tests and as the recorder behind metafile export. It needs no
// display: font metrics are deterministic unless replaced (character width 0.5·|h|,
// ascent 0.8·|h|, descent 0.2·|h| for a font of height h, 16 when h is 0), and the
// device (resolution, printing, attribute DC) is configurable.
// When a bitmap is selected (a memory DC), axis-aligned fills, PatBlt, pixels,
// inversions, one-pixel-wide lines and DIB blits are also painted into its pixels, so
// pictures composed of cells (colour bars, colour maps) come out right; polygons,
// ellipses and text are recorded but not painted.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "platform/CDC.h"
#include "platform/DcDevice.h"

namespace plat {

struct RecordingOptions {
  int dpiX = 96;
  int dpiY = 96;
  int horzRes = 1920;  // pixels
  int vertRes = 1080;
  bool printing = false;
  bool attributeDc = true;
  // Replace the deterministic metrics (e.g. with a real font's when recording a
  // metafile in the program). Both in logical units of the state's mapping.
  std::function<TEXTMETRIC(const DcState&)> metrics;
  std::function<int(const DcState&, const std::string&)> textWidth;
};

class RecordingDevice : public DcDevice {
 public:
  explicit RecordingDevice(RecordingOptions options = {});

  int GetDeviceCaps(int index) const override;
  bool IsPrinting() const override { return options_.printing; }
  bool HasAttributeDc() const override { return options_.attributeDc; }
  TEXTMETRIC GetTextMetrics(const DcState& state) const override;
  int GetTextWidth(const DcState& state, const std::string& text) const override;
  void Draw(const DcOp& op) override;
  std::unique_ptr<DcDevice> CreateCompatibleDevice() const override;
  void SelectBitmap(const CBitmap& bitmap) override { bitmap_ = bitmap; }

  const RecordingOptions& Options() const { return options_; }
  const std::vector<DcOp>& Ops() const { return ops_; }
  void Clear() { ops_.clear(); }

 private:
  void Paint(const DcOp& op);

  RecordingOptions options_;
  std::vector<DcOp> ops_;
  CBitmap bitmap_;
};

// A CDC drawing into a RecordingDevice.
class RecordingDc : public CDC {
 public:
  explicit RecordingDc(RecordingOptions options = {});
  const std::vector<DcOp>& Ops() const { return recorder_->Ops(); }
  std::vector<const DcOp*> OpsOf(DcOpKind kind) const;
  std::vector<std::string> Texts() const;  // texts of the Text ops, in order
  void Clear() { recorder_->Clear(); }
  RecordingDevice& Recorder() { return *recorder_; }

 private:
  RecordingDevice* recorder_;
};

}  // namespace plat
