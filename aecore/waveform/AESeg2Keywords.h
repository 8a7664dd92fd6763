// The SEG-2 keywords the program reads and writes, shared by the waveform record and the
// multichannel container so that both speak the same dialect. A string matches a keyword
// when it begins with it, compared without regard to case; the tables are tried in order.
#pragma once

enum AESeg2FileKey {
  kSeg2AcquisitionDate,
  kSeg2AcquisitionTime,
  kSeg2Instrument,
  kSeg2TraceSort,
  kSeg2Units,
  kSeg2FileNote,
  kSeg2TimeUnits,
  kSeg2WaveUnits,
  kSeg2Comments,
  kSeg2RcvNote,
  kSeg2NumberSources,
  kSeg2NumberReceivers,
  kSeg2Rotation,
  kSeg2TimeSecUsec,
  kSeg2FileKeyCount
};

enum AESeg2TraceKey {
  kSeg2ChannelNumber,
  kSeg2Delay,
  kSeg2DescalingFactor,
  kSeg2LineId,
  kSeg2ReceiverLocation,
  kSeg2SampleInterval,
  kSeg2Skew,
  kSeg2SourceLocation,
  kSeg2Stack,
  kSeg2Pickup,
  kSeg2AmpPickup,
  kSeg2NsRatio,
  kSeg2TraceNote,
  kSeg2DrawSizeFactor,
  kSeg2Unit,
  kSeg2TimeBegin,
  kSeg2TraceKeyCount
};

extern const char* const g_seg2FileKeys[kSeg2FileKeyCount];
extern const char* const g_seg2TraceKeys[kSeg2TraceKeyCount];
