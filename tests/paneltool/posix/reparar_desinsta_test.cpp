#include "paneltool/reparar_desinsta.h"

#include <gtest/gtest.h>

#include "tests/paneltool/posix/banco.h"

namespace kx::paneltool::test {
namespace {

const std::string kSello = "_GRUPO_KX_" + std::string("0123456789ABCDEF0123456789ABCDEF") + "_GRUPO_KX_";

class UninstallFiles : public Banco {
 protected:
  void SetUp() override {
    Banco::SetUp();
    e.CarpetaPanel = "C:\\Panel\\";
    Escribir("C:\\Panel\\VAVU.EXE", "MZ");
    Fecha("C:\\Panel\\VAVU.EXE", TiempoUtc(2007, 12, 31, 9, 59));
    Escribir("C:\\Panel\\VAVU.TAG", "1A2B3C4D");
    Registro(
        "[HKEY_LOCAL_MACHINE\\Software\\Roroz OR\\VAVU_1A2B3C4D1FC7D73B\\GESTION_ABC\\Aplicacion01]\r\n"
        "\"Ruta\"=\"C:\\\\Apps\\\\Gestion\\\\APP.EXE\"\r\n"
        "[HKEY_LOCAL_MACHINE\\Software\\Roroz OR\\VAVU_1A2B3C4D1FC7D73B\\CONTA_X\\Aplicacion01]\r\n"
        "\"Ruta\"=\"C:\\\\Apps\\\\Conta\\\\CONTA.EXE\"\r\n"
        "[HKEY_LOCAL_MACHINE\\Software\\Roroz OR\\VAVU_1A2B3C4D1FC7D73B\\SINAPP_1]\r\n"
        "[HKEY_LOCAL_MACHINE\\Software\\Roroz OR\\VAVU_1A2B3C4D1FC7D73B\\SINRUTA_1\\Aplicacion01]\r\n"
        "[HKEY_LOCAL_MACHINE\\Software\\Roroz OR\\VAVU_1A2B3C4D1FC7D73B\\SINFICHERO_1\\Aplicacion01]\r\n"
        "\"Ruta\"=\"C:\\\\Apps\\\\Nada\\\\NADA.EXE\"\r\n");
    Escribir("C:\\Apps\\Gestion\\APP.EXE", "MZ" + std::string(5000, '\0') + kSello);
    Escribir("C:\\Apps\\Gestion\\DESINSTA.INI",
             "[DESINSTALAR]\r\nVAVU_REG_KEY=Roroz OR\\VAVU_VIEJO\r\nREG_KEY=Roroz OR\\VAVU_VIEJO\\GESTION_ABC\r\n"
             "CARPETA=C:\\Apps\\Gestion\r\n[OTRA]\r\nX=1\r\n");
    Escribir("C:\\Apps\\Conta\\CONTA.EXE", "MZ sin sello");
    Escribir("C:\\Apps\\Conta\\DESINSTA.INI", "[DESINSTALAR]\r\nAPP_ID=ANTIGUO\r\n");
    HacerCarpetas("C:\\Apps\\Nada");
    // A stray uninstall file at the drive root must never be written.
    Escribir("C:\\DESINSTA.INI", "[DESINSTALAR]\r\nREG_KEY=raiz\r\n");
  }
};

TEST_F(UninstallFiles, RepairPointsEveryUninstallFileAtItsKeys) {
  RepararFicherosDesinsta(e);
  const std::string gestion = "C:\\Apps\\Gestion\\DESINSTA.INI";
  EXPECT_EQ(Leer(gestion),
            "[DESINSTALAR]\r\nVAVU_REG_KEY=Roroz OR\\VAVU_1A2B3C4D1FC7D73B\r\n"
            "REG_KEY=Roroz OR\\VAVU_1A2B3C4D1FC7D73B\\GESTION_ABC\r\n"
            "CARPETA=C:\\Apps\\Gestion\r\nAPP_ID=0123456789ABCDEF0123456789ABCDEF\r\n[OTRA]\r\nX=1\r\n");
  // No stamp: an APP_ID already there becomes empty.
  EXPECT_EQ(Ini("C:\\Apps\\Conta\\DESINSTA.INI", "DESINSTALAR", "APP_ID"), "");
  EXPECT_EQ(Ini("C:\\Apps\\Conta\\DESINSTA.INI", "DESINSTALAR", "REG_KEY"), "Roroz OR\\VAVU_1A2B3C4D1FC7D73B\\CONTA_X");
  EXPECT_FALSE(fs->Exists("C:\\Apps\\Nada\\DESINSTA.INI"));  // never created
  EXPECT_EQ(Leer("C:\\DESINSTA.INI"), "[DESINSTALAR]\r\nREG_KEY=raiz\r\n");
  // Subkeys listed as the registry sorts them: CONTA_X before GESTION_ABC.
  EXPECT_EQ(Textos(), (std::vector<std::string>{"Reparando ficheros \"DESINSTA.INI\"...", "",
                                                "C:\\Apps\\Conta\\DESINSTA.INI reparado correctamente",
                                                "C:\\Apps\\Gestion\\DESINSTA.INI reparado correctamente", "", "",
                                                "Todos los ficheros \"DESINSTA.INI\" han sido reparados"}));
  EXPECT_EQ(log.lineas[2].imagen, 0);
  EXPECT_EQ(log.lineas.back().imagen, 0);
}

TEST_F(UninstallFiles, AutomaticUpdateWritesOnlyTheKeys) {
  e.EsModoSertec = false;
  ActualizarFicherosDesinsta(e, "1A2B3C4D1FC7D73B");
  EXPECT_EQ(Ini("C:\\Apps\\Conta\\DESINSTA.INI", "DESINSTALAR", "APP_ID"), "ANTIGUO");
  EXPECT_EQ(Ini("C:\\Apps\\Conta\\DESINSTA.INI", "DESINSTALAR", "VAVU_REG_KEY"), "Roroz OR\\VAVU_1A2B3C4D1FC7D73B");
  EXPECT_EQ(Ini("C:\\Apps\\Gestion\\DESINSTA.INI", "DESINSTALAR", "APP_ID"), "<falta>");
  EXPECT_TRUE(log.lineas.empty());
  // A blank identifier would name the whole branch: nothing is written.
  std::string antes = Leer("C:\\Apps\\Conta\\DESINSTA.INI");
  ActualizarFicherosDesinsta(e, "");
  ActualizarFicherosDesinsta(e, "  ");
  EXPECT_EQ(Leer("C:\\Apps\\Conta\\DESINSTA.INI"), antes);
}

TEST_F(UninstallFiles, AnotherComputedIdentifierChangesNothing) {
  Escribir("C:\\Panel\\VAVU.TAG", "");  // the tag can't be read: identifier 1FC7D73B
  std::string antes = Leer("C:\\Apps\\Gestion\\DESINSTA.INI");
  RepararFicherosDesinsta(e);
  EXPECT_EQ(Leer("C:\\Apps\\Gestion\\DESINSTA.INI"), antes);
  EXPECT_EQ(Textos(), (std::vector<std::string>{"Reparando ficheros \"DESINSTA.INI\"...", "", "", "",
                                                "Todos los ficheros \"DESINSTA.INI\" han sido reparados"}));
}

TEST_F(UninstallFiles, RunningProgramEndsTheRepairKeepingWhatWasWritten) {
  std::unique_ptr<platform::File> corriendo;
  ASSERT_TRUE(fs->Open("C:\\Apps\\Gestion\\APP.EXE", platform::Access::Read, platform::Share::Shared,
                       platform::Disposition::OpenExisting, &corriendo)
                  .ok());
  EXPECT_THROW(RepararFicherosDesinsta(e), ProgramExit);
  EXPECT_EQ(trampa.mensajes.size(), 1u);
  EXPECT_EQ(Ini("C:\\Apps\\Conta\\DESINSTA.INI", "DESINSTALAR", "APP_ID"), "");  // written before
  EXPECT_EQ(Ini("C:\\Apps\\Gestion\\DESINSTA.INI", "DESINSTALAR", "REG_KEY"), "Roroz OR\\VAVU_VIEJO\\GESTION_ABC");
}

TEST_F(UninstallFiles, UninstallFileOfAProgramPath) {
  EXPECT_EQ(FicheroDesinsta("C:\\Apps\\Gestion\\APP.EXE"), "C:\\Apps\\Gestion\\DESINSTA.INI");
  EXPECT_EQ(FicheroDesinsta("C:\\APP.EXE"), "C:\\DESINSTA.INI");
  EXPECT_EQ(FicheroDesinsta("\\\\srv\\kx\\App\\APP.EXE"), "\\\\srv\\kx\\App\\DESINSTA.INI");
  EXPECT_EQ(FicheroDesinsta(""), "");
  EXPECT_EQ(FicheroDesinsta("APP.EXE"), "");
  EXPECT_EQ(FicheroDesinsta("\\APP.EXE"), "");
}

}  // namespace
}  // namespace kx::paneltool::test
