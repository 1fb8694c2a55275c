#include "gui/headless.h"

#include <algorithm>
#include <map>

namespace kx::gui {

namespace {

using Kind = HeadlessEvent::Kind;

HeadlessEvent Ev(Kind kind, int id = 0) {
  HeadlessEvent e;
  e.kind = kind;
  e.id = id;
  return e;
}

class HMeter : public Meter {
 public:
  HMeter(HeadlessToolkit* tk, int id) : tk_(tk), id_(id) {}
  void SetTotal(int64_t total) override {
    total_ = total;
    auto e = Ev(Kind::MeterTotal, id_);
    e.value = total;
    tk_->Record(std::move(e));
  }
  int64_t Total() const override { return total_; }
  void SetValue(int64_t value) override {
    value_ = std::clamp<int64_t>(value, 0, std::max<int64_t>(total_, 0));
    auto e = State(Kind::MeterValue);
    tk_->Record(std::move(e));
  }
  int64_t Value() const override { return value_; }
  void SetText(const std::string& text) override {
    text_ = text;
    auto e = Ev(Kind::MeterText, id_);
    e.text = text;
    tk_->Record(std::move(e));
  }
  std::string Text() const override { return text_; }
  void SetFont(const FontSpec& font) override { font_ = font; }
  void SetColors(const MeterColors& colors) override { colors_ = colors; }
  void Repaint() override {
    auto e = State(Kind::MeterRepaint);
    e.text = Caption();
    tk_->Record(std::move(e));
  }

 private:
  HeadlessEvent State(Kind kind) const {
    auto e = Ev(kind, id_);
    e.value = value_;
    e.total = total_;
    e.percent = Percentage();
    return e;
  }
  HeadlessToolkit* tk_;
  int id_;
  int64_t value_ = 0, total_ = 100;
  std::string text_;
  FontSpec font_;
  MeterColors colors_;
};

class HList : public TableList {
 public:
  HList(HeadlessToolkit* tk, int id) : tk_(tk), id_(id) {}
  void SetColumns(const std::vector<ListColumn>& columns) override {
    columns_ = columns;
    auto e = Ev(Kind::ListColumns, id_);
    e.value = static_cast<int64_t>(columns.size());
    tk_->Record(std::move(e));
  }
  void SetSource(ListSource* source) override { source_ = source; }
  void SetLook(const ListLook& look) override { look_ = look; }
  void Enable(bool enabled) override {
    enabled_ = enabled;
    auto e = Ev(Kind::ListEnable, id_);
    e.flag = enabled;
    tk_->Record(std::move(e));
  }
  bool Enabled() const override { return enabled_; }
  void Repaint() override {
    shown_ = source_ ? source_->RowsFromCurrent(tk_->list_rows()) : std::vector<ListRow>{};
    auto e = Ev(Kind::ListRepaint, id_);
    e.rows = shown_;
    tk_->Record(std::move(e));
  }
  std::vector<ListRow> ShownRows() const override { return shown_; }

 private:
  HeadlessToolkit* tk_;
  int id_;
  std::vector<ListColumn> columns_;
  ListSource* source_ = nullptr;
  ListLook look_;
  bool enabled_ = true;
  std::vector<ListRow> shown_;
};

class HPicture : public Picture {
 public:
  HPicture(HeadlessToolkit* tk, int id) : tk_(tk), id_(id) {}
  bool ShowBitmap(const std::string& name) override {
    bool ok = tk_->HasBitmap(name);
    if (ok) name_ = name;
    auto e = Ev(Kind::PictureBitmap, id_);
    e.text = name;
    e.flag = ok;
    tk_->Record(std::move(e));
    return ok;
  }
  std::string BitmapName() const override { return name_; }
  void SetTransparent(bool transparent) override {
    auto e = Ev(Kind::PictureTransparent, id_);
    e.flag = transparent;
    tk_->Record(std::move(e));
  }
  void Repaint() override {}

 private:
  HeadlessToolkit* tk_;
  int id_;
  std::string name_;
};

class HLabel : public Label {
 public:
  HLabel(HeadlessToolkit* tk, int id) : tk_(tk), id_(id) {}
  void SetText(const std::string& text) override {
    text_ = text;
    auto e = Ev(Kind::LabelText, id_);
    e.text = text;
    tk_->Record(std::move(e));
  }
  std::string Text() const override { return text_; }
  void SetTextColor(Color color) override {
    auto e = Ev(Kind::LabelColor, id_);
    e.color = color;
    tk_->Record(std::move(e));
  }

 private:
  HeadlessToolkit* tk_;
  int id_;
  std::string text_;
};

}  // namespace

class HeadlessDialog : public Dialog {
 public:
  explicit HeadlessDialog(HeadlessToolkit* tk) : tk_(tk) {}

  Meter* BindMeter(int id) override { return Get(meters_, id); }
  TableList* BindList(int id) override { return Get(lists_, id); }
  Picture* BindPicture(int id) override { return Get(pictures_, id); }
  Label* BindLabel(int id) override { return Get(labels_, id); }
  void SetFont(const FontSpec& font) override {
    auto e = Ev(Kind::DialogFont);
    e.font = font;
    tk_->Record(std::move(e));
  }
  void SetIconResource(int resource_id) override {
    auto e = Ev(Kind::DialogIcon);
    e.value = resource_id;
    tk_->Record(std::move(e));
  }
  void SetInitAction(std::function<void()> action) override { init_ = std::move(action); }
  void SetStartAction(std::function<void()> action) override { start_ = std::move(action); }

  // No user can act on a headless dialog, so it closes when its start action
  // returns even when the action did not close it.
  void RunModal(bool) override {
    if (ran_) return;
    ran_ = true;
    open_ = true;
    tk_->Record(Ev(Kind::DialogInit));
    if (init_) init_();
    tk_->Record(Ev(Kind::DialogPaint));
    for (auto& [id, list] : lists_) list->Repaint();
    tk_->Record(Ev(Kind::DialogStart));
    if (start_) start_();
    open_ = false;
    tk_->Record(Ev(Kind::DialogClosed));
  }
  void Close() override { open_ = false; }
  bool IsOpen() const override { return open_; }
  void Repaint() override { tk_->Record(Ev(Kind::DialogPaint)); }
  void* NativeHandle() const override { return nullptr; }

 private:
  template <class T>
  T* Get(std::map<int, std::unique_ptr<T>>& m, int id) {
    auto& slot = m[id];
    if (!slot) slot = std::make_unique<T>(tk_, id);
    return slot.get();
  }
  HeadlessToolkit* tk_;
  std::map<int, std::unique_ptr<HMeter>> meters_;
  std::map<int, std::unique_ptr<HList>> lists_;
  std::map<int, std::unique_ptr<HPicture>> pictures_;
  std::map<int, std::unique_ptr<HLabel>> labels_;
  std::function<void()> init_, start_;
  bool ran_ = false, open_ = false;
};

HeadlessToolkit::HeadlessToolkit(std::set<std::string> dialogs, std::set<std::string> bitmaps)
    : dialogs_(std::move(dialogs)), bitmaps_(std::move(bitmaps)) {}
HeadlessToolkit::~HeadlessToolkit() = default;

std::unique_ptr<Dialog> HeadlessToolkit::LoadDialog(const std::string& resource_name, Dialog*) {
  if (!dialogs_.empty() && !dialogs_.count(resource_name)) return nullptr;
  auto e = Ev(Kind::DialogLoaded);
  e.text = resource_name;
  Record(std::move(e));
  return std::make_unique<HeadlessDialog>(this);
}

void HeadlessToolkit::ProcessPendingMessages() {
  Record(Ev(Kind::PendingMessages));
  if (pending_hook_) pending_hook_();
}

bool HeadlessToolkit::HasBitmap(const std::string& resource_name) {
  return bitmaps_.empty() || bitmaps_.count(resource_name) > 0;
}

std::vector<HeadlessEvent> HeadlessToolkit::EventsOf(HeadlessEvent::Kind kind, int id) const {
  std::vector<HeadlessEvent> out;
  for (const auto& e : events_)
    if (e.kind == kind && (id < 0 || e.id == id)) out.push_back(e);
  return out;
}

void HeadlessToolkit::Record(HeadlessEvent event) {
  if (observer_) observer_(event);
  if (keep_events_) events_.push_back(std::move(event));
}

}  // namespace kx::gui
