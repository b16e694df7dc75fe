#pragma once
// The contract between the four pages and the main window.
//
// The main window owns the state the pages share (TSharedState), the run clock and the
// status bar, and hands every page an IPageHost that reaches them.  A page never sees
// the main window itself.  In return every page implements IPage, the two operations
// the page switch and the close guard need, so that leaving a page is one call on the
// page shown whichever page it is.
#include <QString>
#include <cstdint>
#include <memory>

#include "base/uSettings.h"

class QWidget;

namespace k2 {

class TPath;
class TCar;
class TSimu;
class TReplay;
class TRunClock;

// The state the pages share.  Owned by the main window; the four documents and engines
// are each none or one object, owned here.  (The constructor and destructor live with
// the main window, where the four classes are complete.)
struct TSharedState {
  TSharedState();
  ~TSharedState();
  TSharedState(const TSharedState&) = delete;
  TSharedState& operator=(const TSharedState&) = delete;

  std::unique_ptr<TPath> CurTrack;    // the track page's track
  std::unique_ptr<TCar> CurCar;       // the car page's car
  std::unique_ptr<TSimu> CurSimu;     // the simulation page's engine, or the car test's
  std::unique_ptr<TReplay> CurReplay; // the replay page's engine

  // The document flags belong to the page shown: leaving a page closes its document,
  // so one set serves all four.  Pages change them through the Mark operations; the
  // simulation page also sets DocIsNew on a load and DocModified on a start.
  bool DocIsNew = false;     // saving must ask for a file name first
  bool DocModified = false;  // there are unsaved changes
  bool DocOpen = false;      // a document is open on a design page
  void MarkDocClosed() { DocIsNew = DocModified = DocOpen = false; }
  void MarkDocModified() { DocModified = true; }
  void MarkDocNew() { DocIsNew = DocModified = DocOpen = true; }
  void MarkDocOpened() {
    DocOpen = true;
    DocIsNew = DocModified = false;
  }
  void MarkDocSaved() { DocIsNew = DocModified = false; }

  QString CaptionBase;            // the window caption without the unsaved mark
  bool ProgressDragging = false;  // the mouse button is held on the replay progress bar
  int32_t MaxSensorCount = DefaultMaxSensorCount;  // rule: the most sensors of a car
  int32_t MinPathR = DefaultMinPathR;              // rule: the smallest arc radius, mm
  bool SandboxModules = DefaultSandboxModules;     // decision modules run confined
};

// The status bar's text panes, left to right.  The third pane is a progress bar.
enum class TStatusPane {
  Info = 0,   // pane1: the pointer over the track drawing; run messages on the run pages
  Zoom = 1,   // pane2: the zoom factor of the track view
  Clock = 3,  // rzclcksts1: date and time, kept current by the window
};

// Why a page is being left.
enum class TLeaving {
  Switch,  // a toolbar button asks for another page (or the same one again)
  Close,   // the main window is asked to close
};

class IPage {
 public:
  virtual ~IPage() = default;
  // Asks about what leaving would lose (unsaved work, a running simulation or replay)
  // and saves or stops it when told to.  False when the page stays: the user declined,
  // and the page, its document and any run are as they were (or, where a run had to be
  // stopped first, stopped).
  virtual bool ConfirmLeave(TLeaving how) = 0;
  // Releases the page's document and engines; the controls return to their initial
  // state.  The document flags are the caller's (it marks the document closed).
  virtual void ClosePage() = 0;
};

class IPageHost {
 public:
  virtual ~IPageHost() = default;
  // The window that owns message boxes and dialogs.
  virtual QWidget* Window() = 0;
  virtual TSharedState& State() = 0;
  virtual TRunClock& RunClock() = 0;
  virtual void SetStatusText(TStatusPane pane, const QString& text) = 0;
  // Window caption := CaptionBase, plus " *" when `modified`.
  virtual void ShowCaption(bool modified) = 0;
};

}  // namespace k2
