// An image list of the system (HIMAGELIST) for AnadirIcono.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "paneltool/utils.h"

namespace kx::paneltool {

class ListaImagenesWin32 : public ListaImagenes {
 public:
  // Does not own the list.
  explicit ListaImagenesWin32(HIMAGELIST lista) : lista_(lista) {}
  // The icon `indice` of the file, or of the program associated with it when
  // the file has none (ExtractAssociatedIcon); -1 when none could be added.
  int AnadirIconoDeFichero(const std::string& fichero, int indice) override;

 private:
  HIMAGELIST lista_;
};

}  // namespace kx::paneltool
