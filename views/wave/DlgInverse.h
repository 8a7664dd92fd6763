// The modeless velocity calibration dialog: browses the engine's calibration events,
// edits their source position, origin time and velocities, inverts the stored events
// for the velocities, relocates one of them, and applies a velocity triple to the
// engine's model.
#pragma once
#include <QDialog>

class CAEHypo;
class QLineEdit;

class CDlgInverse : public QDialog {
 public:
  explicit CDlgInverse(QWidget* parent = nullptr);

  // Shows the last stored event (the event count is taken here).
  void ShowLastModel();
  // The record at the index into the fields and controls; the controls into the record.
  void ShowEvent();
  void StoreEvent();
  // The buttons.
  void OnInvert();    // "==>"
  void OnRelocate();  // "<=="
  void OnNext();      // ">"
  void OnPrevious();  // "<"
  void OnApply();     // "Application"

  CAEHypo* m_pHypo = nullptr;
  int m_nEvents = 0;
  float m_fX = 0, m_fY = 0, m_fZ = 0;
  float m_fVx = 0, m_fVy = 0, m_fVz = 0;
  float m_fT0 = 0;
  int m_nIndex = 0;

 private:
  // Controls -> members; false when a field does not hold a number.
  bool ReadControls();
  void WriteControls();
  QLineEdit* Edit(int id) const;
};
