// A borderless, topmost window that shows a picture in the shape of its outline: the
// pixels of a chosen transparent colour around the picture are cut away. It closes
// itself after its display time, or at once on any key or mouse-button press anywhere
// (it holds the mouse and the keyboard while it shows; moving the mouse does not count).
// One process-wide instance, made on demand, serves as the program's About box and
// deletes itself when its window closes.
#pragma once
#include <QPointer>
#include <QPolygon>
#include <QWidget>
#include <string>

#include "platform/WinTypes.h"
#include "platform/qt/Wnd.h"
#include "wincomp/splash/WCSplashBitmap.h"

class CWCSplashWnd : public QWidget, public plat::CWnd {
 public:
  // The close timer's id.
  static constexpr UINT TIMER_SPLASH = 1;
  // Transparent-colour values with a meaning of their own: none (the window stays
  // rectangular), and the colour of the picture's pixel at the start point.
  static constexpr COLORREF kNoTransparentColour = 0xFFFFFFFF;
  static constexpr COLORREF kColourAtStartPoint = 0xFF000000;

  CWCSplashWnd();
  ~CWCSplashWnd() override;

  // Loads a bitmap resource (by id, or by name) or a BMP file. `transparent` is a
  // COLORREF or one of the two values above; a pixel is transparent when each of its
  // red, green and blue values lies within `tolerance` of that colour's. FALSE when the
  // picture does not load, or when no outline is found (the picture then stays loaded
  // and the window is rectangular).
  virtual BOOL LoadBitmap(UINT id, COLORREF transparent, const POINT* start, BYTE tolerance);
  virtual BOOL LoadBitmap(const std::string& name, COLORREF transparent, const POINT* start,
                          BYTE tolerance);
  virtual BOOL LoadBitmapFile(const std::string& path, COLORREF transparent, const POINT* start,
                              BYTE tolerance);
  // Shows the window for `timeoutMs` (-1: until a key or click; below 1 otherwise: the
  // default time), centred on `parent` or the screen, or with its top-left corner at
  // `at`. FALSE without a picture, or for the global instance while s_bShowSplash is 0.
  virtual BOOL Show(int timeoutMs = 0, QWidget* parent = nullptr, const POINT* at = nullptr);
  // Closes the window now, or (delay above 0) after `delayMs`.
  virtual BOOL Hide(int delayMs = 0);
  // Makes the window's shape from the picture's outline. `at` is not used.
  virtual BOOL BuildRegion(const POINT* at = nullptr);
  // Whether pixel (x, y) counts as transparent; `dflt` for a pixel outside the picture.
  virtual BOOL IsBorderColour(int x, int y, BOOL dflt) const;

  // Makes the global instance on first use (deleting itself when its window closes) and
  // loads the bitmap resource into it.
  static BOOL LoadGlobalBitmap(UINT id, COLORREF transparent, const POINT* start, BYTE tolerance);
  static CWCSplashWnd* s_pGlobalSplash;
  static BOOL s_bShowSplash;
  static int s_nDefaultTimeout;

  void OnTimer(UINT id) override;

  // State for the owner and for tests.
  int GetTimeout() const { return m_nTimeout; }
  COLORREF GetTransparentColour() const { return m_crTransparent; }
  // The outline the window's shape is made of (empty: rectangular).
  const QPolygon& GetRegionPolygon() const { return m_rgn; }
  const CWCSplashBitmap& GetBitmap() const { return m_bitmap; }
  BOOL IsAutoDelete() const { return m_bAutoDelete; }
  void SetAutoDelete(BOOL on) { m_bAutoDelete = on; }

 protected:
  // Sees every event of the program while the window shows, as the mouse and keyboard
  // are the window's then.
  bool eventFilter(QObject* watched, QEvent* e) override;
  void paintEvent(QPaintEvent* e) override;

  // Takes the loaded picture further: transparent colour and outline.
  BOOL AfterLoad(COLORREF transparent, const POINT* start, BYTE tolerance);
  // Hides the window, stops the timer, lets the mouse and keyboard go and, for an
  // auto-deleting object, deletes it once control has returned to the event loop.
  void CloseSplash();
  // Whether an event is a key or mouse-button input that closes the window.
  static bool IsDismissingInput(const QEvent* e);

  int m_nTimeout = -1;
  BOOL m_bAutoDelete = FALSE;
  CWCSplashBitmap m_bitmap;
  QPolygon m_rgn;
  COLORREF m_crTransparent = kNoTransparentColour;
  BYTE m_byRed = 0, m_byGreen = 0, m_byBlue = 0, m_byTolerance = 0;
  QPointer<QWidget> m_pOwner;
  BOOL m_bDismissOnInput = TRUE;
  bool m_bShown = false;         // the window is on screen
  bool m_bFilterActive = false;  // input still goes to the window
};
