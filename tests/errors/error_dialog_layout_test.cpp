// Geometry of the error dialog: the grid of two pixels a unit, the taller
// NT dialog, two or three buttons and which one is the default.
#include "errors/error_dialog_layout.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kx {
namespace {

struct Want {
  ErrorDialogItem item;
  const char* text;
  int x, y, w, h;  // pixels
  bool default_button;
};

TEST(ErrorDialogLayout, PositionsSizesAndDefaultButton) {
  using I = ErrorDialogItem;
  struct Case {
    bool nt, retry;
    int client_h;
    std::vector<Want> want;
  } cases[] = {
      {true, true, 250,
       {{I::Description, " Descripción del error: x", 44, 6, 252, 44, false},
        {I::LogLabel, "Vea fichero Error.log", 180, 48, 0, 0, false},
        {I::SequencesLabel, "&Secuencias", 12, 48, 0, 0, false},
        {I::CallList, "", 6, 66, 290, 156, false},
        {I::RetryButton, "&Reintentar", 26, 222, 60, 24, false},
        {I::LeaveButton, "&Salir", 120, 222, 60, 24, true},
        {I::DefaultButton, "&Defecto", 216, 222, 60, 24, false}}},
      {true, false, 250,
       {{I::Description, " Descripción del error: x", 44, 6, 252, 44, false},
        {I::LogLabel, "Vea fichero Error.log", 180, 48, 0, 0, false},
        {I::SequencesLabel, "&Secuencias", 12, 48, 0, 0, false},
        {I::CallList, "", 6, 66, 290, 156, false},
        {I::LeaveButton, "&Salir", 74, 222, 60, 24, false},
        {I::DefaultButton, "&Defecto", 216, 222, 60, 24, false}}},
      {false, true, 200,
       {{I::Description, " Descripción del error: x", 44, 6, 252, 44, false},
        {I::LogLabel, "Vea fichero Error.log", 180, 48, 0, 0, false},
        {I::SequencesLabel, "&Secuencias", 12, 48, 0, 0, false},
        {I::CallList, "", 6, 66, 290, 120, false},
        {I::RetryButton, "&Reintentar", 26, 174, 60, 24, false},
        {I::LeaveButton, "&Salir", 120, 174, 60, 24, true},
        {I::DefaultButton, "&Defecto", 216, 174, 60, 24, false}}},
      {false, false, 200,
       {{I::Description, " Descripción del error: x", 44, 6, 252, 44, false},
        {I::LogLabel, "Vea fichero Error.log", 180, 48, 0, 0, false},
        {I::SequencesLabel, "&Secuencias", 12, 48, 0, 0, false},
        {I::CallList, "", 6, 66, 290, 120, false},
        {I::LeaveButton, "&Salir", 74, 174, 60, 24, false},
        {I::DefaultButton, "&Defecto", 216, 174, 60, 24, false}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.nt ? "NT" : "not NT") + (c.retry ? ", retry" : ", no retry"));
    ErrorDialogLayout d = LayOutErrorDialog(c.nt, c.retry, " Descripción del error: x");
    EXPECT_EQ(d.title, "KX Rivoroderod Uzizarirero: Librería para Windows");
    EXPECT_EQ(d.client_width, 300);
    EXPECT_EQ(d.client_height, c.client_h);
    ASSERT_EQ(d.controls.size(), c.want.size());
    for (size_t i = 0; i < c.want.size(); ++i) {
      const Want& w = c.want[i];
      const ErrorDialogControl& got = d.controls[i];
      SCOPED_TRACE(w.text);
      EXPECT_EQ(got.item, w.item);
      EXPECT_EQ(got.text, w.text);
      EXPECT_EQ(got.x, w.x);
      EXPECT_EQ(got.y, w.y);
      EXPECT_EQ(got.width, w.w);
      EXPECT_EQ(got.height, w.h);
      EXPECT_EQ(got.default_button, w.default_button);
    }
    EXPECT_EQ(d.Find(I::RetryButton) != nullptr, c.retry);
  }
}

// Every control lies inside the client area, and the buttons below the list
// on NT, where the list is taller.
TEST(ErrorDialogLayout, ControlsInsideTheClientArea) {
  for (bool nt : {true, false})
    for (bool retry : {true, false}) {
      ErrorDialogLayout d = LayOutErrorDialog(nt, retry, "");
      for (const auto& c : d.controls) {
        EXPECT_GE(c.x, 0);
        EXPECT_GE(c.y, 0);
        EXPECT_LE(c.x + c.width, d.client_width);
        EXPECT_LE(c.y + c.height, d.client_height);
      }
      if (nt) {
        const ErrorDialogControl* list = d.Find(ErrorDialogItem::CallList);
        EXPECT_LE(list->y + list->height, d.Find(ErrorDialogItem::LeaveButton)->y);
      }
    }
}

}  // namespace
}  // namespace kx
