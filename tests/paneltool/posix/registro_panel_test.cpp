#include "paneltool/registro_panel.h"

#include <gtest/gtest.h>

#include "tests/paneltool/posix/banco.h"

namespace kx::paneltool::test {
namespace {

const char kPanel[] = "Software\\Roroz OR\\VAVU_P1";

class PanelBranch : public Banco {
 protected:
  void SetUp() override {
    Banco::SetUp();
    e.CarpetaPanel = "C:\\Panel\\";
    e.IdPanel = "P1";
    HacerCarpetas("C:\\Panel");
    Escribir("C:\\Apps\\Vive\\VIVE.EXE", "MZ");
  }
  bool Existe(const std::string& clave) { return registro.OpenKey(clave).ok(); }
};

TEST_F(PanelBranch, CleanupDeletesOrphansOnly) {
  Registro(
      "[HKEY_LOCAL_MACHINE\\Software\\Roroz OR\\VAVU_P1]\r\n\"SECCIONES\"=dword:00000004\r\n"
      "\"VAVU_FULLPATH\"=\"C:\\\\Panel\\\\VAVU.EXE\"\r\n"
      "[HKEY_LOCAL_MACHINE\\Software\\Roroz OR\\VAVU_P1\\APP_ABCDE\\Aplicacion01]\r\n"
      "\"Ruta\"=\"C:\\\\Apps\\\\Borrada\\\\APP.EXE\"\r\n"
      "[HKEY_LOCAL_MACHINE\\Software\\Roroz OR\\VAVU_P1\\APP_ABCDE\\Aplicacion01\\Mas]\r\n"
      "[HKEY_LOCAL_MACHINE\\Software\\Roroz OR\\VAVU_P1\\APP_ABCDE\\Otra]\r\n"
      "[HKEY_LOCAL_MACHINE\\Software\\Roroz OR\\VAVU_P1\\SINRUTA\\Aplicacion01]\r\n"
      "[HKEY_LOCAL_MACHINE\\Software\\Roroz OR\\VAVU_P1\\SINAPLICACION_1]\r\n"
      "\"Ruta\"=\"C:\\\\Apps\\\\Borrada\\\\APP.EXE\"\r\n"
      "[HKEY_LOCAL_MACHINE\\Software\\Roroz OR\\VAVU_P1\\VIVE_1\\Aplicacion01]\r\n"
      "\"Ruta\"=\"C:\\\\Apps\\\\Vive\\\\VIVE.EXE\"\r\n"
      // Offline: a drive and a share that can't be reached now.
      "[HKEY_LOCAL_MACHINE\\Software\\Roroz OR\\VAVU_P1\\RED_1\\Aplicacion01]\r\n"
      "\"Ruta\"=\"Q:\\\\Apps\\\\Red\\\\RED.EXE\"\r\n"
      "[HKEY_LOCAL_MACHINE\\Software\\Roroz OR\\VAVU_P1\\UNC_1\\Aplicacion01]\r\n"
      "\"Ruta\"=\"\\\\\\\\servidor-apagado\\\\kx\\\\UNC.EXE\"\r\n");
  EXPECT_TRUE(HayRamasHuerfanas(e));
  LimpiarRamasHuerfanas(e);
  EXPECT_FALSE(Existe(std::string(kPanel) + "\\APP_ABCDE"));
  EXPECT_FALSE(Existe(std::string(kPanel) + "\\SINRUTA"));
  EXPECT_TRUE(Existe(std::string(kPanel) + "\\SINAPLICACION_1"));
  EXPECT_TRUE(Existe(std::string(kPanel) + "\\VIVE_1\\Aplicacion01"));
  EXPECT_TRUE(Existe(std::string(kPanel) + "\\RED_1\\Aplicacion01"));
  EXPECT_TRUE(Existe(std::string(kPanel) + "\\UNC_1\\Aplicacion01"));
  EXPECT_EQ(Dword(kPanel, "SECCIONES"), 4u);  // the panel key's values stay
  EXPECT_EQ(log.vaciados, 1);
  EXPECT_EQ(log.lineas, (std::vector<LineaLog>{
                            {"Eliminando entradas huérfanas del registro del sistema...", -1},
                            {"APP ha sido eliminado del registro", 0},
                            {"SINRUTA ha sido eliminado del registro", 0},  // no underscore: the whole name
                            {"", -1},
                            {"", -1},
                            {"El registro del sistema ha sido limpiado correctamente", 0}}));
  EXPECT_FALSE(HayRamasHuerfanas(e));
}

TEST_F(PanelBranch, OrphanTest) {
  // No panel key: nothing to tell.
  EXPECT_FALSE(HayRamasHuerfanas(e));
  // A panel key without applications counts as orphaned, and the cleanup
  // can't change that.
  Registro("[HKEY_LOCAL_MACHINE\\Software\\Roroz OR\\VAVU_P1]\r\n");
  EXPECT_TRUE(HayRamasHuerfanas(e));
  LimpiarRamasHuerfanas(e);
  EXPECT_TRUE(HayRamasHuerfanas(e));
  EXPECT_TRUE(Existe(kPanel));
  // Messages are processed after each subkey.
  Registro(
      "[HKEY_LOCAL_MACHINE\\Software\\Roroz OR\\VAVU_P1\\A_1\\Aplicacion01]\r\n"
      "\"Ruta\"=\"C:\\\\Apps\\\\Vive\\\\VIVE.EXE\"\r\n"
      "[HKEY_LOCAL_MACHINE\\Software\\Roroz OR\\VAVU_P1\\B_1\\Aplicacion01]\r\n"
      "\"Ruta\"=\"C:\\\\Apps\\\\Vive\\\\VIVE.EXE\"\r\n");
  ventanas.mensajes_procesados = 0;
  EXPECT_FALSE(HayRamasHuerfanas(e));
  EXPECT_EQ(ventanas.mensajes_procesados, 2);
}

TEST_F(PanelBranch, RutaOfAnotherTypeGoesToTheTrap) {
  Registro(
      "[HKEY_LOCAL_MACHINE\\Software\\Roroz OR\\VAVU_P1\\A_1\\Aplicacion01]\r\n\"Ruta\"=dword:00000001\r\n");
  EXPECT_THROW(HayRamasHuerfanas(e), ProgramExit);
  EXPECT_EQ(trampa.mensajes.size(), 1u);
}

TEST_F(PanelBranch, RegistryValuesAreTheSumsOverBothIconFiles) {
  std::string sello = "_GRUPO_KX_" + std::string(32, 'S') + "_GRUPO_KX_";
  Escribir("C:\\Apps\\Nueva\\NUEVA.EXE", sello);
  Registro(
      "[HKEY_LOCAL_MACHINE\\Software\\Roroz OR\\VAVU_P1]\r\n\"SECCIONES\"=dword:00000063\r\n"
      "[HKEY_LOCAL_MACHINE\\Software\\Roroz OR\\VAVU_P1\\NUEVA_1\\Aplicacion01]\r\n"
      "\"Ruta\"=\"C:\\\\Apps\\\\Nueva\\\\NUEVA.EXE\"\r\n"
      "[HKEY_LOCAL_MACHINE\\Software\\Roroz OR\\VAVU_P1\\VIVE_1\\Aplicacion01]\r\n"
      "\"Ruta\"=\"C:\\\\Apps\\\\Vive\\\\VIVE.EXE\"\r\n");
  Escribir("C:\\Panel\\ICONOS.INI",
           "[PRINCIPAL_0]\r\nNOMBRE=CERO\r\n[PRINCIPAL_1]\r\nNOMBRE=NUEVA_1\r\n[PRINCIPAL_7]\r\nNOMBRE=VIVE_1\r\n");
  Escribir("C:\\Panel\\ICONOS_P.INI", "[PRINCIPAL_2]\r\nNOMBRE=NUEVA_1\r\n[PRINCIPAL_3]\r\nNOMBRE=OTRA_1\r\n");
  ActualizarValoresRegistro(e);
  EXPECT_EQ(Dword(kPanel, "SECCIONES"), 4u);
  EXPECT_EQ(Dword(kPanel, "SECCIONES_ACTUALES"), 2u);
  EXPECT_EQ(ventanas.avisos, std::vector<std::string>{"La actualización de valores en el registro ha finalizado"});
  EXPECT_TRUE(log.lineas.empty());

  // Neither file: both 0. Outside technician mode no message.
  e.CarpetaPanel = "C:\\Vacio\\";
  e.EsModoSertec = false;
  ActualizarValoresRegistro(e);
  EXPECT_EQ(Dword(kPanel, "SECCIONES"), 0u);
  EXPECT_EQ(Dword(kPanel, "SECCIONES_ACTUALES"), 0u);
  EXPECT_EQ(ventanas.avisos.size(), 1u);

  // No panel key: nothing is written, the message is shown all the same.
  e.IdPanel = "NOESTA";
  e.EsModoSertec = true;
  ActualizarValoresRegistro(e);
  EXPECT_FALSE(Existe("Software\\Roroz OR\\VAVU_NOESTA"));
  EXPECT_EQ(ventanas.avisos.size(), 2u);
}

}  // namespace
}  // namespace kx::paneltool::test
