// A GUI that draws nothing and records every call, in order, for tests and for
// the terminal front end (which watches the record as it grows).
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "gui/toolkit.h"

namespace kx::gui {

struct HeadlessEvent {
  enum class Kind {
    DialogLoaded,     // text: resource name
    DialogInit,       // the init action is about to run
    DialogPaint,      // the whole dialog painted (first paint, Repaint)
    DialogStart,      // the start action is about to run
    DialogClosed,
    DialogFont,       // font
    DialogIcon,       // value: resource id
    MeterTotal,       // id, value: the total
    MeterValue,       // id, value, total, percent (after clamping)
    MeterText,        // id, text
    MeterRepaint,     // id, value, total, percent, text: the caption painted
    ListColumns,      // id, value: number of columns
    ListEnable,       // id, flag
    ListRepaint,      // id, rows
    PictureBitmap,    // id, text: bitmap name, flag: whether it exists
    PictureTransparent,  // id, flag
    LabelText,        // id, text
    LabelColor,       // id, color
    PendingMessages,  // ProcessPendingMessages was called
  };
  Kind kind = Kind::DialogLoaded;
  int id = 0;
  int64_t value = 0;
  int64_t total = 0;
  int percent = 0;
  bool flag = false;
  std::string text;
  Color color;
  FontSpec font;
  std::vector<ListRow> rows;
};

class HeadlessDialog;

class HeadlessToolkit : public Toolkit {
 public:
  // `dialogs` and `bitmaps` name the resources the program carries; a load of
  // any other dialog returns null, a picture refuses any other bitmap. Empty
  // sets accept every name.
  explicit HeadlessToolkit(std::set<std::string> dialogs = {}, std::set<std::string> bitmaps = {});
  ~HeadlessToolkit() override;

  std::unique_ptr<Dialog> LoadDialog(const std::string& resource_name, Dialog* parent) override;
  void ProcessPendingMessages() override;
  bool HasBitmap(const std::string& resource_name) override;

  // Every call so far, in order.
  const std::vector<HeadlessEvent>& events() const { return events_; }
  void ClearEvents() { events_.clear(); }
  // Called with each event as it is recorded.
  void SetObserver(std::function<void(const HeadlessEvent&)> observer) { observer_ = std::move(observer); }
  // Called by ProcessPendingMessages (after its event), e.g. to simulate what
  // the user does meanwhile.
  void SetPendingHook(std::function<void()> hook) { pending_hook_ = std::move(hook); }
  // How many rows a list asks its source for at each paint (default 6).
  void SetListRows(size_t rows) { list_rows_ = rows; }
  size_t list_rows() const { return list_rows_; }
  // Whether events are kept in events() (the terminal front end only observes).
  void SetKeepEvents(bool keep) { keep_events_ = keep; }

  // Events of one kind (and id when id >= 0).
  std::vector<HeadlessEvent> EventsOf(HeadlessEvent::Kind kind, int id = -1) const;

  void Record(HeadlessEvent event);  // used by the headless controls

 private:
  std::set<std::string> dialogs_;
  std::set<std::string> bitmaps_;
  std::vector<HeadlessEvent> events_;
  std::function<void(const HeadlessEvent&)> observer_;
  std::function<void()> pending_hook_;
  size_t list_rows_ = 6;
  bool keep_events_ = true;
};

}  // namespace kx::gui
