#include "paneltool/win32/lista_imagenes_win32.h"

#include <shellapi.h>

#include <vector>

namespace kx::paneltool {

int ListaImagenesWin32::AnadirIconoDeFichero(const std::string& fichero, int indice) {
  // The lookup may write a longer path (the associated program) into its
  // buffer and may change the index.
  std::vector<char> ruta(fichero.begin(), fichero.end());
  ruta.resize(fichero.size() + MAX_PATH + 1, '\0');
  WORD numero = static_cast<WORD>(indice < 0 ? 0 : indice);
  HICON icono = ExtractAssociatedIconA(GetModuleHandleA(nullptr), ruta.data(), &numero);
  if (!icono) return -1;
  int resultado = ImageList_AddIcon(lista_, icono);
  DestroyIcon(icono);
  if (resultado < 0) return -1;
  return ImageList_GetImageCount(lista_) - 1;
}

}  // namespace kx::paneltool
