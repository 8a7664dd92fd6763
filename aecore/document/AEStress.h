// Loading record of an experiment from its STS side file: a base time and up to 3600
// rows at a fixed interval, each with axial stress, pressure, two further values, twelve
// strain-gauge readings (relative to the first row) and the volumetric strain.
#pragma once
#include <array>
#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

class CAEStress {
 public:
  // Marker of a missing strain reading.
  static constexpr std::int16_t kMissing = 32222;

  std::int16_t m_nCapacity = 3600;
  std::vector<std::int16_t> m_pPressure;     // second value x 0.1
  std::vector<std::int16_t> m_pAxialStress;  // 0.1 MPa
  std::vector<std::int16_t> m_pValue3;
  std::vector<std::int16_t> m_pValue4;
  std::array<std::vector<std::int16_t>, 12> m_pStrain;  // pairs (axial, circumferential)
  std::vector<std::int16_t> m_pVolStrain;
  std::int16_t m_nMaxStress = 0;
  int m_nSamples = 0;
  std::string m_strFile;
  int m_nInterval = 20;  // seconds between rows
  std::tm m_tmBase{};

  CAEStress();
  virtual ~CAEStress() = default;

  // Reads the STS file, replacing the rows; 0 when it cannot be opened.
  int Read(const std::string& path);
  // Axial stress of the row holding the given second; 0 outside the rows read.
  double GetStress(int seconds) const;
};
