// A list bound to a table: columns of text or bitmaps, rows supplied by the
// caller from the table's current record onward (the way a browse bound to an
// alias paints from its current record).
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "gui/look.h"

namespace kx::gui {

struct ListColumn {
  enum class Kind { Text, Bitmap };
  std::string header;  // Windows-1252
  int width = 0;       // pixels
  Kind kind = Kind::Text;
};

// One cell: its text for a text column, the resource name of its bitmap
// ("BMPSIACT") for a bitmap column.
struct ListCell {
  std::string text;
  std::string bitmap;
  friend bool operator==(const ListCell&, const ListCell&) = default;
};
using ListRow = std::vector<ListCell>;

// Where a list takes its rows. Called while the list paints.
class ListSource {
 public:
  virtual ~ListSource() = default;
  // Up to max_rows rows, the first being the table's current record, then the
  // records after it in the table's order. Must leave the table where it was.
  virtual std::vector<ListRow> RowsFromCurrent(size_t max_rows) = 0;
};

struct ListLook {
  Color text = Rgb(0, 0, 0);
  Brush background = Brush::Window();
  int line_style = 0;  // the framework's browse line style (0: no lines)
  FontSpec header_font;  // empty face: the dialog's font
  friend bool operator==(const ListLook&, const ListLook&) = default;
};

class TableList {
 public:
  virtual ~TableList() = default;

  // REQUIRES: before the dialog runs.
  virtual void SetColumns(const std::vector<ListColumn>& columns) = 0;
  // The source stays owned by the caller and must outlive the dialog.
  virtual void SetSource(ListSource* source) = 0;
  virtual void SetLook(const ListLook& look) = 0;
  // A disabled list takes no input and keeps painting.
  virtual void Enable(bool enabled) = 0;
  virtual bool Enabled() const = 0;
  // Asks the source for rows again and paints them, the first row selected.
  virtual void Repaint() = 0;
  // The rows of the last paint.
  virtual std::vector<ListRow> ShownRows() const = 0;
};

}  // namespace kx::gui
