#include "paneltool/reparar_iconos.h"

#include <gtest/gtest.h>

#include "paneltool/utils.h"
#include "platform/fault_file_system.h"
#include "tests/paneltool/posix/banco.h"

namespace kx::paneltool::test {
namespace {

const char kIconos[] = "C:\\Panel\\ICONOS.INI";

class IconFile : public Banco {
 protected:
  void SetUp() override {
    Banco::SetUp();
    e.CarpetaPanel = "C:\\Panel\\";
    HacerCarpetas("C:\\Panel");
  }
  std::vector<std::string> Nombres() { return Secciones(kIconos); }
};

TEST_F(IconFile, ApplicationRenumberingClosesGapsAndKeepsAccessNumbers) {
  Escribir(kIconos,
           "[PANEL]\r\nVAVU_INFO=ID1\r\n"
           "[PRINCIPAL_1]\r\nNOMBRE=UNO_1\r\n"
           "[ACCESO1_1]\r\nTITULO=u1\r\n"
           "[PRINCIPAL_3]\r\nNOMBRE=TRES_3\r\n"
           "[ACCESO2_3]\r\nTITULO=t2\r\n"
           "[PRINCIPAL_7]\r\nNOMBRE=SIETE_7\r\nTITULO=Siete\r\n"
           "[ACCESO1_7]\r\nTITULO=s1\r\nEXE=s.exe\r\n"
           "[ACCESO5_7]\r\nTITULO=s5\r\n"
           "[OTRA]\r\nX=1\r\n");
  RepararFicheroIconos(e, kIconos, kRenumerarPrincipal);
  EXPECT_EQ(Nombres(), (std::vector<std::string>{"PANEL", "OTRA", "PRINCIPAL_1", "ACCESO1_1", "PRINCIPAL_2",
                                                 "ACCESO2_2", "PRINCIPAL_3", "ACCESO1_3", "ACCESO5_3"}));
  EXPECT_EQ(Ini(kIconos, "PRINCIPAL_2", "NOMBRE"), "TRES_3");
  EXPECT_EQ(Ini(kIconos, "PRINCIPAL_3", "TITULO"), "Siete");
  EXPECT_EQ(Ini(kIconos, "ACCESO1_3", "EXE"), "s.exe");
  EXPECT_EQ(Ini(kIconos, "ACCESO5_3", "TITULO"), "s5");
  EXPECT_EQ(Ini(kIconos, "OTRA", "X"), "1");
}

TEST_F(IconFile, AccessRenumberingOnlyUnderPresentApplications) {
  Escribir(kIconos,
           "[PRINCIPAL_2]\r\nNOMBRE=DOS_2\r\n"
           "[ACCESO1_2]\r\nTITULO=a\r\n[ACCESO4_2]\r\nTITULO=b\r\n[ACCESO9_2]\r\nTITULO=c\r\n"
           "[ACCESO3_4]\r\nTITULO=huerfano\r\n"
           "[ACCESO51_2]\r\nTITULO=fuera\r\n");
  RepararFicheroIconos(e, kIconos, kRenumerarAcceso);
  EXPECT_EQ(Ini(kIconos, "ACCESO1_2", "TITULO"), "a");
  EXPECT_EQ(Ini(kIconos, "ACCESO2_2", "TITULO"), "b");
  EXPECT_EQ(Ini(kIconos, "ACCESO3_2", "TITULO"), "c");
  EXPECT_EQ(Ini(kIconos, "ACCESO4_2", "TITULO"), "<falta>");
  EXPECT_EQ(Ini(kIconos, "ACCESO9_2", "TITULO"), "<falta>");
  EXPECT_EQ(Ini(kIconos, "ACCESO3_4", "TITULO"), "huerfano");  // no PRINCIPAL_4: untouched
  EXPECT_EQ(Ini(kIconos, "ACCESO51_2", "TITULO"), "fuera");    // beyond 50
}

TEST_F(IconFile, MovedSectionHoldsExactlyTheMovedPairs) {
  // ACCESO1_2 is left over from a removed application 2: its keys must not
  // end up in the access of application 3 when that one becomes number 2.
  std::string largo(3000, 'L');
  Escribir(kIconos,
           "[PRINCIPAL_1]\r\nNOMBRE=UNO_1\r\n"
           "[ACCESO1_2]\r\nTITULO=viejo\r\nDESINSTA=Roroz OR\\VAVU_X\\BORRADA_2\r\nEXTRA=resto\r\n"
           "[PRINCIPAL_3]\r\nNOMBRE=TRES_3\r\n"
           "[ACCESO1_3]\r\nTITULO=nuevo\r\nVACIA=\r\nTITULO=duplicada\r\nCOMILLAS=\"  a b  \"\r\nLARGO=" +
               largo + "\r\n");
  RepararFicheroIconos(e, kIconos, kRenumerarPrincipal);
  EXPECT_EQ(Pares(kIconos, "ACCESO1_2"), (std::vector<ini::IniPair>{
                                             {"TITULO", "nuevo"}, {"COMILLAS", "\"  a b  \""}, {"LARGO", largo}}));
  EXPECT_EQ(Ini(kIconos, "ACCESO1_2", "COMILLAS"), "  a b  ");
  EXPECT_EQ(Ini(kIconos, "ACCESO1_3", "TITULO"), "<falta>");
}

TEST_F(IconFile, SectionCountsAndTheirBounds) {
  Registro("[HKEY_LOCAL_MACHINE\\Software\\Roroz OR\\VAVU_ID1]\r\n");
  Escribir(kIconos,
           "[PANEL]\r\nVAVU_INFO=ID1\r\nSECCIONES=99\r\n"
           "[PRINCIPAL_0]\r\nNOMBRE=CERO_0\r\n"
           "[PRINCIPAL_4]\r\nNOMBRE=CUATRO_4\r\n"
           "[PRINCIPAL_5]\r\n"  // empty: absent
           "[PRINCIPAL_9]\r\nNOMBRE=NUEVE_9\r\n"
           "[PRINCIPAL_2501]\r\nNOMBRE=FUERA_2501\r\n");
  RepararFicheroIconos(e, kIconos, kActualizarSecciones | kRenumerarPrincipal);
  EXPECT_EQ(Ini(kIconos, "PANEL", "SECCIONES"), "3");  // 0, 4 and 9, counted before renumbering
  EXPECT_EQ(Dword("Software\\Roroz OR\\VAVU_ID1", "SECCIONES"), 3u);
  EXPECT_EQ(Ini(kIconos, "PRINCIPAL_0", "NOMBRE"), "CERO_0");
  EXPECT_EQ(Ini(kIconos, "PRINCIPAL_1", "NOMBRE"), "CUATRO_4");
  EXPECT_EQ(Ini(kIconos, "PRINCIPAL_2", "NOMBRE"), "NUEVE_9");
  EXPECT_EQ(Ini(kIconos, "PRINCIPAL_2501", "NOMBRE"), "FUERA_2501");
  // The empty section's header stays where it was.
  std::vector<std::string> n = Nombres();
  EXPECT_NE(std::find(n.begin(), n.end(), "PRINCIPAL_5"), n.end());
  EXPECT_EQ(NumeroSecciones(e, kIconos, false), 2);  // 1 to 2500 only
  EXPECT_EQ(NumeroSecciones(e, "C:\\Panel\\FALTA.INI", false), 0);
}

TEST_F(IconFile, CurrentSectionsCountInstalledVesprasOfTheSelectedPanel) {
  std::string sello = "_GRUPO_KX_" + std::string(32, 'S') + "_GRUPO_KX_";
  Escribir("C:\\Apps\\Nueva\\NUEVA.EXE", "MZ" + sello);
  Escribir("C:\\Apps\\Vieja\\VIEJA.EXE", "MZ sin sello");
  Registro(
      "[HKEY_LOCAL_MACHINE\\Software\\Roroz OR\\VAVU_SEL\\NUEVA_1\\Aplicacion01]\r\n"
      "\"Ruta\"=\"C:\\\\Apps\\\\Nueva\\\\NUEVA.EXE\"\r\n"
      "[HKEY_LOCAL_MACHINE\\Software\\Roroz OR\\VAVU_SEL\\VIEJA_2\\Aplicacion01]\r\n"
      "\"Ruta\"=\"C:\\\\Apps\\\\Vieja\\\\VIEJA.EXE\"\r\n"
      "[HKEY_LOCAL_MACHINE\\Software\\Roroz OR\\VAVU_SEL\\BORRADA_3\\Aplicacion01]\r\n"
      "\"Ruta\"=\"C:\\\\Apps\\\\Borrada\\\\B.EXE\"\r\n"
      "[HKEY_LOCAL_MACHINE\\Software\\Roroz OR\\VAVU_OTRO\\NUEVA_1\\Aplicacion01]\r\n"
      "\"Ruta\"=\"C:\\\\Apps\\\\Nueva\\\\NUEVA.EXE\"\r\n"
      "[HKEY_LOCAL_MACHINE\\Software\\Roroz OR\\VAVU_OTRO\\VIEJA_2\\Aplicacion01]\r\n"
      "\"Ruta\"=\"C:\\\\Apps\\\\Nueva\\\\NUEVA.EXE\"\r\n");
  e.IdPanel = "SEL";
  Escribir(kIconos,
           "[PANEL]\r\nVAVU_INFO=OTRO\r\n"
           "[PRINCIPAL_1]\r\nNOMBRE=NUEVA_1\r\n[PRINCIPAL_2]\r\nNOMBRE=VIEJA_2\r\n"
           "[PRINCIPAL_3]\r\nNOMBRE=BORRADA_3\r\n[PRINCIPAL_4]\r\nNOMBRE=SINCLAVE_4\r\n"
           "[PRINCIPAL_5]\r\nTITULO=sin nombre\r\n");
  RepararFicheroIconos(e, kIconos, kActualizarSeccionesActuales);
  EXPECT_EQ(Ini(kIconos, "PANEL", "SECCIONES_ACTUALES"), "1");
  // The registry value goes to the panel the file names, not the selected one.
  EXPECT_EQ(Dword("Software\\Roroz OR\\VAVU_OTRO", "SECCIONES_ACTUALES"), 1u);
  EXPECT_EQ(Dword("Software\\Roroz OR\\VAVU_SEL", "SECCIONES_ACTUALES"), 0xFFFFFFFFu);
}

TEST_F(IconFile, NoOptionLogsOnlyTheClosingLines) {
  Escribir(kIconos, "[PANEL]\r\nVAVU_INFO=X\r\n");
  std::string antes = Leer(kIconos);
  RepararFicheroIconos(e, kIconos, 0);
  EXPECT_EQ(log.vaciados, 1);
  EXPECT_EQ(log.lineas, (std::vector<LineaLog>{
                            {"", -1},
                            {"El proceso de reparación del fichero C:\\Panel\\ICONOS.INI ha finalizado.", 0}}));
  EXPECT_EQ(Leer(kIconos), antes);
}

TEST_F(IconFile, FullRepairRunsTheStepsInOrderWithTheirLogLines) {
  Escribir("C:\\Panel\\VAVU.EXE", "MZ");
  Fecha("C:\\Panel\\VAVU.EXE", TiempoUtc(2007, 12, 31, 9, 59));
  Escribir("C:\\Panel\\VAVU.TAG", "1A2B3C4D\r\n");
  Registro("[HKEY_LOCAL_MACHINE\\Software\\Roroz OR\\VAVU_1A2B3C4D1FC7D73B]\r\n\"SECCIONES\"=dword:00000063\r\n");
  const std::string original =
      "; fichero de iconos\r\n"
      "[PANEL]\r\nVAVU_INFO=VIEJO\r\nSECCIONES=1\r\nVAVU_FULL_PATH=C:\\Panel\r\n"
      "\r\n"
      "[PRINCIPAL_2]\r\nNOMBRE=GESTION_ABC\r\nTITULO=Gestión\r\n"
      "[ACCESO3_2]\r\nTITULO=Facturas\r\nDESINSTA=Roroz OR\\VAVU_VIEJO\\GESTION_ABC\r\nID=VIEJOXXX12345678\r\n"
      "[PRINCIPAL_4]\r\nNOMBRE=CONTA_XYZ\r\n"
      "[ACCESO1_4]\r\nTITULO=Diario\r\nDESINSTA=\r\n";
  Escribir(kIconos, original);
  RepararFicheroIconos(e, kIconos, kTodasLasOpciones);
  const std::string ruta = kIconos;
  EXPECT_EQ(Textos(), (std::vector<std::string>{
                          "Reparando entrada \"VAVU_INFO\" de " + ruta + "...",
                          "Entrada \"VAVU_INFO\" reparada con éxito",
                          "",
                          "Actualizando entrada \"SECCIONES\" de " + ruta + "...",
                          "Entrada \"SECCIONES\" actualizada con éxito",
                          "",
                          "Actualizando valor \"SECCIONES_ACTUALES\" de " + ruta + "...",
                          "Actualización de la entrada \"SECCIONES_ACTUALES\" finalizada con éxito",
                          "",
                          "Renumerando entradad \"ACCESOS\" de " + ruta + "...",
                          "Renumeración de entrada \"ACCESOS\" finalizada con éxito",
                          "",
                          "Renumerando entrada \"PRINCIPAL\" de " + ruta + "...",
                          "Entradas \"PRINCIPAL\" renumeradas con éxito",
                          "",
                          "Reparando entrada \"DESINSTA\" de " + ruta + "...",
                          "Entradas \"DESINSTA\" renumeradas con éxito",
                          "",
                          "",
                          "El proceso de reparación del fichero " + ruta + " ha finalizado.",
                      }));
  std::vector<int> imagenes;
  for (const LineaLog& l : log.lineas) imagenes.push_back(l.imagen);
  EXPECT_EQ(imagenes, (std::vector<int>{-1, 0, -1, -1, 0, -1, -1, 0, -1, -1, 0, -1, -1, 0, -1, -1, 0, -1, -1, 0}));
  // The whole file, byte for byte: untouched lines stay, moved sections go
  // to the end in the order of moving, DESINSTA entries name the new panel
  // key on the final numbering.
  EXPECT_EQ(Leer(kIconos),
            "; fichero de iconos\r\n"
            "[PANEL]\r\nVAVU_INFO=1A2B3C4D1FC7D73B\r\nSECCIONES=2\r\nVAVU_FULL_PATH=C:\\Panel\r\n"
            "SECCIONES_ACTUALES=0\r\n"
            "\r\n"
            "[PRINCIPAL_1]\r\nNOMBRE=GESTION_ABC\r\nTITULO=Gestión\r\n"
            "[ACCESO1_1]\r\nTITULO=Facturas\r\nDESINSTA=Roroz OR\\VAVU_1A2B3C4D1FC7D73B\\GESTION_ABC\r\n"
            "ID=VIEJOXXX12345678\r\n"
            "[PRINCIPAL_2]\r\nNOMBRE=CONTA_XYZ\r\n"
            "[ACCESO1_2]\r\nTITULO=Diario\r\n");
  EXPECT_EQ(Dword("Software\\Roroz OR\\VAVU_1A2B3C4D1FC7D73B", "SECCIONES"), 2u);
  EXPECT_EQ(Dword("Software\\Roroz OR\\VAVU_1A2B3C4D1FC7D73B", "SECCIONES_ACTUALES"), 0u);
}

TEST_F(IconFile, OutsideTechnicianModeNothingIsLogged) {
  e.EsModoSertec = false;
  Escribir(kIconos, "[PRINCIPAL_2]\r\nNOMBRE=A_1\r\n");
  RepararFicheroIconos(e, kIconos, kTodasLasOpciones);
  EXPECT_TRUE(log.lineas.empty());
  EXPECT_EQ(log.vaciados, 0);
  EXPECT_EQ(Ini(kIconos, "PRINCIPAL_1", "NOMBRE"), "A_1");
}

TEST_F(IconFile, IdentifierStepWaitsForThePanelOrIsCancelled) {
  Escribir("C:\\Panel\\VAVU.EXE", "MZ");
  Fecha("C:\\Panel\\VAVU.EXE", TiempoUtc(2007, 12, 31, 9, 59));
  Escribir("C:\\Panel\\VAVU.TAG", "1A2B3C4D");
  Escribir(kIconos, "[PANEL]\r\nVAVU_INFO=VIEJO\r\n");
  std::unique_ptr<platform::File> panel;
  ASSERT_TRUE(fs->Open("C:\\Panel\\VAVU.TAG", platform::Access::Read, platform::Share::Shared,
                       platform::Disposition::OpenExisting, &panel)
                  .ok());
  ventanas.respuesta = false;
  RepararFicheroIconos(e, kIconos, kRepararVavuInfo);
  EXPECT_EQ(ventanas.preguntas, std::vector<std::string>{kPreguntaEsperarPanel});
  EXPECT_EQ(Ini(kIconos, "PANEL", "VAVU_INFO"), "VIEJO");
  ASSERT_EQ(log.lineas.size(), 5u);
  EXPECT_EQ(log.lineas[1], (LineaLog{"Reparación de la entrada \"VAVU_INFO\" cancelada por el usuario", 1}));

  // Yes: waits, processing messages, until the panel lets the file go.
  ventanas.respuesta = true;
  ventanas.al_pausar = [&] {
    if (ventanas.pausas == 3) panel.reset();
  };
  RepararFicheroIconos(e, kIconos, kRepararVavuInfo);
  EXPECT_EQ(ventanas.pausas, 3);
  EXPECT_EQ(ventanas.cursor, (std::vector<bool>{true, false}));
  EXPECT_EQ(Ini(kIconos, "PANEL", "VAVU_INFO"), "1A2B3C4D1FC7D73B");
  EXPECT_EQ(log.lineas[1], (LineaLog{"Entrada \"VAVU_INFO\" reparada con éxito", 0}));
}

TEST_F(IconFile, DesinstaEntriesAreNeverWrittenWithABlankNameOrIdentifier) {
  Escribir(kIconos,
           "[PANEL]\r\nVAVU_INFO=ID1\r\n"
           "[PRINCIPAL_1]\r\nTITULO=sin nombre\r\n"
           "[ACCESO1_1]\r\nDESINSTA=Roroz OR\\VAVU_ID1\\BUENA_1\r\n"
           "[PRINCIPAL_2]\r\nNOMBRE=BUENA_2\r\n"
           "[ACCESO1_2]\r\nDESINSTA=\r\n[ACCESO2_2]\r\nTITULO=sin desinsta\r\n");
  RepararFicheroIconos(e, kIconos, kRepararDesinsta);
  EXPECT_EQ(Ini(kIconos, "ACCESO1_1", "DESINSTA"), "Roroz OR\\VAVU_ID1\\BUENA_1");
  EXPECT_EQ(Ini(kIconos, "ACCESO1_2", "DESINSTA"), "Roroz OR\\VAVU_ID1\\BUENA_2");  // present though empty
  EXPECT_EQ(Ini(kIconos, "ACCESO2_2", "DESINSTA"), "<falta>");

  Escribir(kIconos, "[PANEL]\r\nVAVU_INFO=\r\n[PRINCIPAL_1]\r\nNOMBRE=A_1\r\n[ACCESO1_1]\r\nDESINSTA=Roroz OR\\VAVU_X\\A_1\r\n");
  RepararFicheroIconos(e, kIconos, kRepararDesinsta);
  EXPECT_EQ(Ini(kIconos, "ACCESO1_1", "DESINSTA"), "Roroz OR\\VAVU_X\\A_1");
}

TEST_F(IconFile, SincronizarIdPanelRewritesIdentifiersAndUninstallKeys) {
  Escribir(kIconos,
           "[PANEL]\r\nVAVU_INFO=VIEJO\r\n"
           "[PRINCIPAL_1]\r\nNOMBRE=APP_X\r\n"
           "[ACCESO1_1]\r\nID=AAAAAAAA12345678\r\nDESINSTA=Roroz OR\\VAVU_OLD\\APP_X\r\n"
           "[ACCESO2_1]\r\nID=AAAAAAAA1234567890\r\nDESINSTA=SOLO\r\n"
           "[ACCESO3_1]\r\nID=ABC\r\nDESINSTA=\r\n"
           "[ACCESO4_1]\r\nDESINSTA=Roroz OR\\VAVU_OLD\\\r\n"
           "[ACCESO1_2]\r\nID=AAAAAAAA12345678\r\n");
  SincronizarIdPanel(e, kIconos, "1A2B3C4D1FC7D73B");
  EXPECT_TRUE(log.lineas.empty());
  EXPECT_EQ(Ini(kIconos, "PANEL", "VAVU_INFO"), "1A2B3C4D1FC7D73B");
  EXPECT_EQ(Ini(kIconos, "ACCESO1_1", "ID"), "1A2B3C4D12345678");
  EXPECT_EQ(Ini(kIconos, "ACCESO1_1", "DESINSTA"), "Roroz OR\\VAVU_1A2B3C4D1FC7D73B\\APP_X");
  EXPECT_EQ(Ini(kIconos, "ACCESO2_1", "ID"), "1A2B3C4D12345678");  // past 16 is dropped
  EXPECT_EQ(Ini(kIconos, "ACCESO2_1", "DESINSTA"), "Roroz OR\\VAVU_1A2B3C4D1FC7D73B\\SOLO");
  EXPECT_EQ(Ini(kIconos, "ACCESO3_1", "ID"), "1A2B3C4D");
  EXPECT_EQ(Ini(kIconos, "ACCESO3_1", "DESINSTA"), "");
  // Nothing would remain of the application name: the entry is left alone
  // rather than pointed at the panel key.
  EXPECT_EQ(Ini(kIconos, "ACCESO4_1", "DESINSTA"), "Roroz OR\\VAVU_OLD\\");
  EXPECT_EQ(Ini(kIconos, "ACCESO1_2", "ID"), "AAAAAAAA12345678");  // no PRINCIPAL_2

  SincronizarIdPanel(e, kIconos, "");
  EXPECT_EQ(Ini(kIconos, "ACCESO1_1", "DESINSTA"), "Roroz OR\\VAVU_1A2B3C4D1FC7D73B\\APP_X");
}

TEST_F(IconFile, MissingFileIsCreatedByTheFirstWrite) {
  RepararFicheroIconos(e, "C:\\Panel\\ICONOS_P.INI", kActualizarSecciones);
  EXPECT_EQ(Ini("C:\\Panel\\ICONOS_P.INI", "PANEL", "SECCIONES"), "0");
}

TEST_F(IconFile, AFailedWriteReachesTheTrapAndLeavesTheOldFile) {
  const std::string original = "[PANEL]\r\nVAVU_INFO=X\r\n[PRINCIPAL_3]\r\nNOMBRE=A_3\r\n";
  Escribir(kIconos, original);
  uint64_t total = 0;
  {
    platform::FaultFileSystem cuenta(fs);
    e.fs = &cuenta;
    RepararFicheroIconos(e, kIconos, kRenumerarPrincipal);
    total = cuenta.mutations();
  }
  const std::string reparado = Leer(kIconos);
  ASSERT_NE(reparado, original);
  ASSERT_GT(total, 0u);
  int fallos = 0;
  for (uint64_t n = 1; n <= total; ++n) {
    Escribir(kIconos, original);
    platform::FaultFileSystem falla(fs);
    falla.FailAt(n, platform::kErrDiskFull);
    e.fs = &falla;
    trampa.mensajes.clear();
    bool fin = false;
    try {
      RepararFicheroIconos(e, kIconos, kRenumerarPrincipal);
    } catch (const ProgramExit&) {
      fin = true;
    }
    if (fin) {
      ASSERT_EQ(trampa.mensajes.size(), 1u);
      EXPECT_EQ(trampa.mensajes[0], "Unable to write to " + std::string(kIconos)) << n;
      EXPECT_EQ(Leer(kIconos), original) << n;
    } else {
      // A failure after the new file is in place (cleaning up) costs nothing.
      EXPECT_EQ(Leer(kIconos), reparado) << n;
    }
    fallos += fin;
  }
  EXPECT_GT(fallos, 0);
  // A power cut at any point leaves the old file or the new one, never half.
  for (uint64_t n = 1; n <= total; ++n) {
    Escribir(kIconos, original);
    platform::FaultFileSystem corte(fs);
    corte.PowerCutAt(n);
    e.fs = &corte;
    RepararFicheroIconos(e, kIconos, kRenumerarPrincipal);
    std::string queda = Leer(kIconos);
    EXPECT_TRUE(queda == original || queda == reparado) << n << ": " << queda;
  }
}

}  // namespace
}  // namespace kx::paneltool::test
