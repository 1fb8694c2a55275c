// The Win32 pieces of the panel tool under the real system: program start
// with blanks in the path, icons of files, the message pump.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>

#include "paneltool/programas_sistema.h"
#include "paneltool/utils.h"
#include "paneltool/win32/lista_imagenes_win32.h"
#include "paneltool/win32/ventanas_win32.h"
#include "platform/file_system.h"
#include "platform/process.h"
#include "tests/support/paths.h"

namespace kx::paneltool {
namespace {

std::string SistemaWindows(const char* fichero) {
  char carpeta[MAX_PATH];
  GetSystemDirectoryA(carpeta, MAX_PATH);
  return std::string(carpeta) + "\\" + fichero;
}

TEST(PanelToolWin32, ProgramPathWithBlanksStartsThatProgram) {
  std::string raiz = kx::test::ScratchFolder("paneltool_win32/blancos");
  platform::FileSystem* fs = platform::DefaultFileSystem();
  ASSERT_TRUE(fs->MakeFolder(raiz + "\\dos blancos").ok());
  std::string programa = raiz + "\\dos blancos\\prog.exe";
  ASSERT_TRUE(CopyFileA(SistemaWindows("hostname.exe").c_str(), programa.c_str(), FALSE));
  // What an unquoted command line would start instead: "...\con.exe".
  ASSERT_TRUE(platform::WriteWholeFile(fs, raiz + "\\dos.exe", "esto no es un programa").ok());
  uint32_t codigo = 0;
  EXPECT_FALSE(platform::RunAndWait(programa, {}, &codigo).ok()) << "the decoy is not in the way";

  ProgramasSistema programas;
  Entorno e;
  e.fs = fs;
  e.programas = &programas;
  EXPECT_TRUE(programas.EjecutarYEsperarProceso(LineaDeOrdenes(programa), raiz));
  EjecutarYEsperar(e, "  " + programa + "  ", raiz);  // returns once the program ended
}

TEST(PanelToolWin32, IconsOfFilesGoToTheImageList) {
  HIMAGELIST lista = ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 4, 4);
  ASSERT_NE(lista, nullptr);
  ListaImagenesWin32 imagenes(lista);
  std::string notepad = SistemaWindows("notepad.exe");
  EXPECT_EQ(AnadirIcono(notepad, &imagenes), 0);
  EXPECT_EQ(AnadirIcono(notepad + ",0", &imagenes), 1);  // icon 0 or less: the first icon
  EXPECT_EQ(AnadirIcono("", &imagenes), -1);
  EXPECT_EQ(ImageList_GetImageCount(lista), 2);
  ImageList_Destroy(lista);
}

TEST(PanelToolWin32, MessagePumpEmptiesTheQueue) {
  PostThreadMessageA(GetCurrentThreadId(), WM_USER + 7, 0, 0);
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_USER + 7, WM_USER + 7, PM_NOREMOVE));
  VentanasWin32().ProcesarMensajes();
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
}

}  // namespace
}  // namespace kx::paneltool
