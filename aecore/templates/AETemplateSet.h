// The document's set of template waveforms: first-arrival windows of earlier events whose
// onset and first motion were set by hand. A trace window is matched against every
// template by normalised cross-correlation to refine a pick or to give its polarity; the
// set is kept in a text file.
#pragma once
#include <memory>
#include <string>
#include <vector>

struct AETemplateRec {
  int m_nRate = 0;  // sampling rate (MHz)
  int m_nSamples = 0;
  int m_nPick = 0;  // sample index of the P onset
  float m_fSN = 0.0f;
  float m_fAmp = 0.0f;  // signed first-motion amplitude; its sign is the template's polarity
  float m_fRise = 0.0f;
  std::vector<float> m_pData;
};

// Normalised correlation of two windows of w samples (0 when either is silent).
float AE_NormalizedCorrelation(const float* a, const float* b, int w);

class CAETemplateSet {
 public:
  CAETemplateSet() { m_list.reserve(10); }
  ~CAETemplateSet() = default;
  CAETemplateSet(const CAETemplateSet&) = delete;
  CAETemplateSet& operator=(const CAETemplateSet&) = delete;

  int GetCount() const { return static_cast<int>(m_list.size()); }
  AETemplateRec* GetAt(int i) const { return m_list[static_cast<std::size_t>(i)].get(); }
  void RemoveAll() { m_list.clear(); }
  // Takes the record over; returns the new count.
  int Add(std::unique_ptr<AETemplateRec> rec);

  // trace holds W + 2L + 2 samples; centre is W/2 + L. The index of the best template
  // whose correlation magnitude exceeds the threshold, or -1.
  int Match(const float* trace, int centre, int* shift, int* polarity, float* amplitude,
            float* rise, float* score) const;
  // Correlation of a W-sample window with every template's first W samples: the index and
  // signed value of the largest magnitude (-1 and 0 when none); returns the count.
  int BestMatch(const float* window, int* index, float* cc) const;
  // With remove >= 1, removes every template that correlates with its predecessor above
  // the threshold; returns how many were removed.
  int CrossCorrelateAll(int remove, float threshold);
  int Write(const std::string& path, bool append) const;
  // Replaces the set by the file's templates; the count, or 0 when the file cannot be
  // opened or is damaged (the set then stays as it was).
  int Read(const std::string& path);

  int m_nWindow = 200;
  int m_nLag = 20;
  float m_fThreshold = 0.8f;

 private:
  std::vector<std::unique_ptr<AETemplateRec>> m_list;
};
