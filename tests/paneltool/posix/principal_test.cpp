#include "paneltool/principal.h"

#include <gtest/gtest.h>

#include "paneltool/reparar_iconos.h"
#include "tests/paneltool/posix/banco.h"

namespace kx::paneltool::test {
namespace {

TEST(RunMode, FromTheCommandLine) {
  struct Caso {
    std::vector<std::string> args;
    bool sertec, release;
  } casos[] = {
      {{}, false, false},
      {{"/SERTEC"}, true, false},
      {{"-SERTEC"}, true, false},
      {{"/sertec"}, true, false},
      {{"-SeRtEc"}, true, false},
      {{"/RELEASE"}, false, true},
      {{"-release"}, false, true},
      {{"/SERTEC", "otro"}, false, false},
      {{"/SERTEC", "/RELEASE"}, false, false},
      {{"/RELEASE", "/RELEASE"}, false, false},
      {{"SERTEC"}, false, false},
      {{"/SERTECX"}, false, false},
      {{"/otra"}, false, false},
  };
  for (const Caso& c : casos) {
    ModoEjecucion m = LeerModoEjecucion(c.args);
    std::string linea;
    for (const std::string& a : c.args) linea += a + " ";
    EXPECT_EQ(m.EsModoSertec, c.sertec) << linea;
    EXPECT_EQ(m.EsModoRelease, c.release) << linea;
  }
}

TEST(RunMode, CountTexts) {
  EXPECT_EQ(TextoPanelesDetectados(0), "No se ha detectado ningún KX Zeder av Iraduri");
  EXPECT_EQ(TextoPanelesDetectados(1), "KX Zeder av Iraduri detectado: 1");
  EXPECT_EQ(TextoPanelesDetectados(3), "KX Zeder av Iraduri detectados: 3");
}

class WaitWindowFake : public VentanaEspera {
 public:
  explicit WaitWindowFake(std::vector<std::string>* eventos) : eventos_(eventos) {}
  void Mostrar() override { eventos_->push_back("mostrar"); }
  void Cerrar() override { eventos_->push_back("cerrar"); }

 private:
  std::vector<std::string>* eventos_;
};

class MainForm : public Banco {
 protected:
  void SetUp() override {
    Banco::SetUp();
    // Three panels; B is the machine's current one.
    Registro(
        "[HKEY_LOCAL_MACHINE\\Software\\Roroz OR]\r\n\"VAVU_FULLPATH\"=\"c:\\\\paneles\\\\b\"\r\n"
        "[HKEY_LOCAL_MACHINE\\Software\\Roroz OR\\VAVU_A1]\r\n\"VAVU_FULLPATH\"=\"C:\\\\Paneles\\\\A\\\\VAVU.EXE\"\r\n"
        "[HKEY_LOCAL_MACHINE\\Software\\Roroz OR\\VAVU_A1\\APP_1\\Aplicacion01]\r\n"
        "\"Ruta\"=\"C:\\\\Apps\\\\App\\\\APP.EXE\"\r\n"
        "[HKEY_LOCAL_MACHINE\\Software\\Roroz OR\\VAVU_B2]\r\n\"VAVU_FULLPATH\"=\"C:\\\\Paneles\\\\B\\\\VAVU.EXE\"\r\n"
        "[HKEY_LOCAL_MACHINE\\Software\\Roroz OR\\VAVU_B2\\APP_1\\Aplicacion01]\r\n"
        "\"Ruta\"=\"C:\\\\Apps\\\\App\\\\APP.EXE\"\r\n"
        "[HKEY_LOCAL_MACHINE\\Software\\Roroz OR\\VAVU_C3]\r\n\"VAVU_FULLPATH\"=\"C:\\\\Paneles\\\\C\\\\VAVU.EXE\"\r\n");
    Escribir("C:\\Apps\\App\\APP.EXE", "MZ");
    Escribir("C:\\Paneles\\B\\ICONOS.INI", "[PANEL]\r\n");
    Escribir("C:\\Paneles\\B\\ICONOS.EXE", "MZ");
    HacerCarpetas("C:\\Paneles\\A");
  }
  FormularioPrincipal form{&e};
};

TEST_F(MainForm, PanelListAndCurrentPanel) {
  EXPECT_EQ(form.DetectarPaneles(), 3);
  EXPECT_EQ(form.Paneles(), (std::vector<std::string>{"C:\\Paneles\\A\\VAVU.EXE (A1)", "C:\\Paneles\\B\\VAVU.EXE (B2)",
                                                      "C:\\Paneles\\C\\VAVU.EXE (C3)"}));
  EXPECT_EQ(form.TextoCuenta(), "KX Zeder av Iraduri detectados: 3");
  struct Caso {
    const char* valor;  // nullptr: no value
    int indice;
  } casos[] = {
      {"c:\\paneles\\b", 1},       // without trailing backslash, other case
      {"C:\\Paneles\\C\\", 2},     // with it
      {"C:\\Paneles\\Z\\", 0},     // not among the panels
      {"", 0},
      {nullptr, 0},
  };
  for (const Caso& c : casos) {
    if (c.valor)
      registro.WriteString("Software\\Roroz OR", "VAVU_FULLPATH", c.valor);
    else
      registro.LoadRegText("Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Roroz OR]\r\n"
                           "\"VAVU_FULLPATH\"=-\r\n");
    EXPECT_EQ(form.IndicePanelActual(), c.indice) << (c.valor ? c.valor : "(none)");
  }
}

TEST_F(MainForm, NoPanelGivesThePlaceholder) {
  platform::MemoryRegistry vacio;
  e.registro = &vacio;
  EXPECT_EQ(form.DetectarPaneles(), 0);
  EXPECT_EQ(form.Paneles(), std::vector<std::string>{"<No hay KX Zeder av Iraduri>"});
  EXPECT_EQ(form.TextoCuenta(), "No se ha detectado ningún KX Zeder av Iraduri");
  EXPECT_EQ(form.IndicePanelActual(), 0);
}

TEST_F(MainForm, SelectionSetsThePanelAndTheEnabledStates) {
  form.DetectarPaneles();
  form.cboPanelesDetectadosChange(1);
  EXPECT_EQ(e.CarpetaPanel, "C:\\Paneles\\B\\");
  EXPECT_EQ(e.IdPanel, "B2");
  EstadoControles b;
  b.btnRepararIconosINI = b.btnVisualizarIconosINI = true;
  b.btnLanzarIconosExe = true;
  b.btnLimpiarRegistro = b.btnRepararDesinstaINI = b.btnActualizarValoresEnRegistro = true;
  b.opciones = true;
  EXPECT_EQ(form.Estado(), b);
  // No box checked: the repair buttons go off at the next click.
  form.chkOpcionesClick();
  b.btnRepararIconosINI = false;
  EXPECT_EQ(form.Estado(), b);
  form.Marcar(kRenumerarAcceso, true);
  form.chkOpcionesClick();
  b.btnRepararIconosINI = true;
  EXPECT_EQ(form.Estado(), b);

  // Panel A has no files: only the cleanup and the options.
  form.Marcar(kRepararVavuInfo, true);
  form.cboPanelesDetectadosChange(0);
  EXPECT_EQ(e.CarpetaPanel, "C:\\Paneles\\A\\");
  EstadoControles a;
  a.btnLimpiarRegistro = a.btnRepararDesinstaINI = a.opciones = true;
  EXPECT_EQ(form.Estado(), a);
  EXPECT_TRUE(form.Marcada(kRepararVavuInfo));

  // Panel C has no application key: counts as orphaned; everything but the
  // cleanup is disabled and the identifier box is unchecked.
  form.cboPanelesDetectadosChange(2);
  EXPECT_TRUE(form.Huerfanas());
  EstadoControles c;
  c.btnLimpiarRegistro = true;
  EXPECT_EQ(form.Estado(), c);
  EXPECT_FALSE(form.Marcada(kRepararVavuInfo));
  EXPECT_TRUE(form.Marcada(kRenumerarAcceso));
}

TEST_F(MainForm, AutomaticRunRepairsTheCurrentPanel) {
  e.EsModoSertec = false;
  Escribir("C:\\Paneles\\B\\VAVU.EXE", "MZ");
  Fecha("C:\\Paneles\\B\\VAVU.EXE", TiempoUtc(2007, 12, 31, 9, 59));
  Escribir("C:\\Paneles\\B\\VAVU.TAG", "B2B2B2B2");
  Escribir("C:\\Paneles\\B\\ICONOS.INI",
           "[PANEL]\r\nVAVU_INFO=B2\r\n[PRINCIPAL_3]\r\nNOMBRE=APP_1\r\n"
           "[ACCESO2_3]\r\nID=OLDOLDOL00000001\r\nDESINSTA=Roroz OR\\VAVU_B2\\APP_1\r\n");
  Escribir("C:\\Apps\\App\\DESINSTA.INI", "[DESINSTALAR]\r\nREG_KEY=Roroz OR\\VAVU_B2\\APP_1\r\n");
  std::vector<std::string> eventos;
  WaitWindowFake espera(&eventos);
  ventanas.al_procesar = [&] {
    if (eventos.size() == 1) eventos.push_back("mensajes");
  };
  EXPECT_EQ(EjecucionAutomatica(form, &espera, false), ResultadoAutomatico::Reparado);
  EXPECT_EQ(eventos, (std::vector<std::string>{"mostrar", "mensajes", "cerrar"}));
  EXPECT_EQ(ventanas.cursor, (std::vector<bool>{true, false}));
  EXPECT_EQ(ventanas.avisos, std::vector<std::string>{"El proceso de reparación ha finalizado"});
  const std::string id = "B2B2B2B21FC7D73B";
  const std::string iconos = "C:\\Paneles\\B\\ICONOS.INI";
  EXPECT_EQ(Ini(iconos, "PANEL", "VAVU_INFO"), id);
  EXPECT_EQ(Ini(iconos, "PRINCIPAL_1", "NOMBRE"), "APP_1");
  EXPECT_EQ(Ini(iconos, "ACCESO1_1", "ID"), "B2B2B2B200000001");
  EXPECT_EQ(Ini(iconos, "ACCESO1_1", "DESINSTA"), "Roroz OR\\VAVU_" + id + "\\APP_1");
  EXPECT_EQ(Ini(iconos, "PANEL", "SECCIONES"), "1");
  EXPECT_FALSE(fs->Exists("C:\\Paneles\\B\\ICONOS_P.INI"));
  // The registry key still carries the old name: the uninstall file is left
  // alone, the counts go to the selected panel's key.
  EXPECT_EQ(Ini("C:\\Apps\\App\\DESINSTA.INI", "DESINSTALAR", "REG_KEY"), "Roroz OR\\VAVU_B2\\APP_1");
  EXPECT_EQ(Dword("Software\\Roroz OR\\VAVU_B2", "SECCIONES"), 1u);
  EXPECT_EQ(Dword("Software\\Roroz OR\\VAVU_B2", "SECCIONES_ACTUALES"), 0u);
  EXPECT_TRUE(log.lineas.empty());

  // Release mode ends silently.
  ventanas.avisos.clear();
  EXPECT_EQ(EjecucionAutomatica(form, &espera, true), ResultadoAutomatico::Reparado);
  EXPECT_TRUE(ventanas.avisos.empty());
}

TEST_F(MainForm, AutomaticRunRefuses) {
  e.EsModoSertec = false;
  std::vector<std::string> eventos;
  WaitWindowFake espera(&eventos);
  // The current panel has no application key.
  registro.WriteString("Software\\Roroz OR", "VAVU_FULLPATH", "C:\\Paneles\\C");
  EXPECT_EQ(EjecucionAutomatica(form, &espera, true), ResultadoAutomatico::RamasHuerfanas);
  EXPECT_EQ(ventanas.avisos, std::vector<std::string>{kMensajeNoReparable});
  EXPECT_TRUE(eventos.empty());

  platform::MemoryRegistry vacio;
  e.registro = &vacio;
  ventanas.avisos.clear();
  EXPECT_EQ(EjecucionAutomatica(form, &espera, false), ResultadoAutomatico::SinPaneles);
  EXPECT_EQ(ventanas.avisos,
            std::vector<std::string>{
                "No se puede realizar el proceso de reparación. Póngase en contacto con el Servicio de Atención al "
                "Cliente"});
  EXPECT_TRUE(eventos.empty());
}

}  // namespace
}  // namespace kx::paneltool::test
