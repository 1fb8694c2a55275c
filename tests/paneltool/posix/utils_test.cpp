#include "paneltool/utils.h"

#include <gtest/gtest.h>

#include "tests/paneltool/posix/banco.h"

namespace kx::paneltool::test {
namespace {

class Utils : public Banco {};

TEST_F(Utils, PanelsAreTheVavuSubkeysCaseSensitively) {
  Registro(
      "[HKEY_LOCAL_MACHINE\\Software\\Roroz OR]\r\n\"VAVU_FULLPATH\"=\"C:\\\\Panel\"\r\n"
      "[HKEY_LOCAL_MACHINE\\Software\\Roroz OR\\Otra]\r\n"
      "[HKEY_LOCAL_MACHINE\\Software\\Roroz OR\\vavu_x]\r\n"
      "[HKEY_LOCAL_MACHINE\\Software\\Roroz OR\\VAVU_1A2B3C4D1FC7D73B]\r\n"
      "\"VAVU_FULLPATH\"=\"C:\\\\Panel\\\\VAVU.EXE\"\r\n"
      "[HKEY_LOCAL_MACHINE\\Software\\Roroz OR\\VAVU_ZZ]\r\n");
  EXPECT_EQ(NumeroPaneles(e), 2);
  EXPECT_EQ(SufijoPanel(e, 0), "1A2B3C4D1FC7D73B");
  EXPECT_EQ(SufijoPanel(e, 1), "ZZ");
  EXPECT_EQ(SufijoPanel(e, 2), "");
  EXPECT_EQ(RutaCompletaPanel(e, 0), "C:\\Panel\\VAVU.EXE");
  EXPECT_EQ(RutaCompletaPanel(e, 1), "");  // no value
  EXPECT_EQ(RutaCompletaPanel(e, 7), "");  // no such panel
}

TEST_F(Utils, NoBranchMeansNoPanels) { EXPECT_EQ(NumeroPaneles(e), 0); }

TEST_F(Utils, MoreThan255PanelsStopAt255) {
  std::string reg;
  for (int i = 0; i < 300; ++i) reg += "[HKEY_LOCAL_MACHINE\\Software\\Roroz OR\\VAVU_" + std::to_string(1000 + i) + "]\r\n";
  Registro(reg);
  EXPECT_EQ(NumeroPaneles(e), 255);  // not 300 mod 256 = 44
}

TEST_F(Utils, ValueOfAnotherTypeGoesToTheTrap) {
  Registro(
      "[HKEY_LOCAL_MACHINE\\Software\\Roroz OR\\VAVU_A]\r\n\"VAVU_FULLPATH\"=dword:00000001\r\n");
  EXPECT_THROW(RutaCompletaPanel(e, 0), ProgramExit);
  ASSERT_EQ(trampa.mensajes.size(), 1u);
}

TEST_F(Utils, FormatearClave) {
  struct Caso {
    const char* entrada;
    const char* salida;
  } casos[] = {
      {"ABCDE1234567890FGHIJKLMNOPQRST", "ABCDE-1234567890-FGHIJ-KLMNO-PQRST"},
      {"  ABCDE1234567890FGHIJKLMNOPQRST  ", "ABCDE-1234567890-FGHIJ-KLMNO-PQRST"},
      {"ABCDE1234567890FGHIJKLMNOPQRS", "ABCDE1234567890FGHIJKLMNOPQRS"},      // 29
      {" ABCDE1234567890FGHIJKLMNOPQRSTU", "ABCDE1234567890FGHIJKLMNOPQRSTU"},  // 31
      {"", ""},
  };
  for (const Caso& c : casos) EXPECT_EQ(FormatearClave(c.entrada), c.salida) << c.entrada;
}

class ListaFalsa : public ListaImagenes {
 public:
  int AnadirIconoDeFichero(const std::string& fichero, int indice) override {
    pedidos.push_back(fichero + "#" + std::to_string(indice));
    return static_cast<int>(pedidos.size()) - 1;
  }
  std::vector<std::string> pedidos;
};

TEST_F(Utils, IconReferences) {
  struct Caso {
    const char* referencia;
    const char* pedido;  // nullptr: nothing added
  } casos[] = {
      {"C:\\App\\App.exe", "C:\\App\\App.exe#0"},
      {"C:\\App\\App.exe,x", "C:\\App\\App.exe#0"},
      {"C:\\App\\App.exe,3", "C:\\App\\App.exe#2"},
      {"C:\\App\\App.exe,1", "C:\\App\\App.exe#0"},
      {"C:\\App\\App.exe,0", "C:\\App\\App.exe#0"},   // 0 or less is the first icon
      {"C:\\App\\App.exe,-4", "C:\\App\\App.exe#0"},
      {"C:\\App\\App.exe,2,5", "C:\\App\\App.exe#0"},  // "2,5" is not a whole number
      {"", nullptr},
      {",3", nullptr},
  };
  for (const Caso& c : casos) {
    ListaFalsa lista;
    int indice = AnadirIcono(c.referencia, &lista);
    if (c.pedido) {
      EXPECT_EQ(indice, 0) << c.referencia;
      ASSERT_EQ(lista.pedidos.size(), 1u) << c.referencia;
      EXPECT_EQ(lista.pedidos[0], c.pedido);
    } else {
      EXPECT_EQ(indice, -1) << c.referencia;
      EXPECT_TRUE(lista.pedidos.empty()) << c.referencia;
    }
  }
}

// Program file bytes with `relleno` bytes before the stamp.
std::string ConSello(size_t relleno, const std::string& id, const std::string& despues = "") {
  std::string s(relleno, 'x');
  s += "_GRUPO_KX_" + id + "_GRUPO_KX_" + despues;
  return s;
}

TEST_F(Utils, StampsAnywhereInTheFile) {
  std::string id32 = "0123456789ABCDEF0123456789ABCDEF";
  struct Caso {
    std::string nombre, bytes, sello;
  } casos[] = {
      {"al principio", ConSello(0, id32), id32},
      {"en medio del bloque", ConSello(1000, id32, "cola"), id32},
      // The marker straddles the first and second 4096-byte blocks.
      {"marca entre bloques", ConSello(4090, id32), id32},
      {"cierre entre bloques", ConSello(4096 - 30, id32), id32},
      {"en el segundo bloque", ConSello(5000, id32), id32},
      {"corte en el cero", ConSello(10, std::string("ABC\0", 4) + std::string(28, 'Z')), "ABC"},
      // Line ends would inject lines into DESINSTA.INI.
      {"sin controles", ConSello(10, "AB\r\nCD\tEF" + std::string(23, 'G')), "ABCDEF" + std::string(23, 'G')},
      {"sin cierre", ConSello(0, id32).substr(0, 45) + std::string(100, 'y'), ""},
      {"sin marca", std::string(9000, 'q'), ""},
      {"vacio", "", ""},
      // The first complete stamp wins, also right after a lone marker.
      {"marca suelta y sello", "_GRUPO_KX_abc" + ConSello(0, id32), id32},
      {"dos sellos", ConSello(5, id32) + ConSello(5, std::string(32, 'B')), id32},
  };
  for (const Caso& c : casos) {
    std::string ruta = "C:\\Apps\\" + std::to_string(&c - casos) + ".EXE";
    Escribir(ruta, c.bytes);
    EXPECT_EQ(LeerSelloAplicacion(e, ruta), c.sello) << c.nombre;
    EXPECT_EQ(EsVersionVespra(e, "C:\\Panel\\", ruta), !c.sello.empty()) << c.nombre;
  }
  EXPECT_EQ(LeerSelloAplicacion(e, "C:\\Apps\\FALTA.EXE"), "");
}

TEST_F(Utils, StampOfARunningProgramGoesToTheTrap) {
  Escribir("C:\\Apps\\APP.EXE", ConSello(10, std::string(32, 'A')));
  std::unique_ptr<platform::File> abierto;  // the running program holds its file
  ASSERT_TRUE(fs->Open("C:\\Apps\\APP.EXE", platform::Access::Read, platform::Share::Shared,
                       platform::Disposition::OpenExisting, &abierto)
                  .ok());
  EXPECT_THROW(LeerSelloAplicacion(e, "C:\\Apps\\APP.EXE"), ProgramExit);
  EXPECT_EQ(trampa.mensajes.size(), 1u);
  // Still of the Vespra generation while it runs.
  EXPECT_TRUE(EsVersionVespra(e, "C:\\Panel\\", "C:\\Apps\\APP.EXE"));
}

TEST_F(Utils, PanelIdentifierFromTagAndLocalCreationTime) {
  Escribir("C:\\Panel\\VAVU.EXE", "MZ");
  // 31 December 2007 10:59 local time (09:59 UTC).
  Fecha("C:\\Panel\\VAVU.EXE", TiempoUtc(2007, 12, 31, 9, 59));
  FechaHora f = FechaCreacion(e, "C:\\Panel\\VAVU.EXE");
  EXPECT_EQ(f.anio, 2007);
  EXPECT_EQ(f.mes, 12);
  EXPECT_EQ(f.dia, 31);
  EXPECT_EQ(f.hora, 10);
  EXPECT_EQ(f.minuto, 59);
  EXPECT_EQ(f.dia_semana, 1);  // Monday

  // No tag yet: the date part alone.
  EXPECT_EQ(CalcularIdPanel(e, "C:\\Panel\\VAVU.EXE"), "1FC7D73B");
  struct Caso {
    const char* contenido;
    const char* id;
  } casos[] = {
      {"1A2B3C4D\r\n", "1A2B3C4D1FC7D73B"},
      {"  1A2B3C4D  ", "1A2B3C4D1FC7D73B"},
      {"1A2B3C4\r\n", "1FC7D73B"},     // too short
      {"1A2B3C4D5\r\n", "1FC7D73B"},   // too long
      {"1A2B 3C4\r\n", "1FC7D73B"},    // not letters and digits
      {"", "1FC7D73B"},
  };
  for (const Caso& c : casos) {
    Escribir("C:\\Panel\\VAVU.TAG", c.contenido);
    EXPECT_EQ(CalcularIdPanel(e, "C:\\Panel\\VAVU.EXE"), c.id) << c.contenido;
  }
  // A missing VAVU.EXE: all date fields 0.
  EXPECT_EQ(FechaCreacion(e, "C:\\Otro\\VAVU.EXE"), FechaHora());
  Escribir("C:\\Otro\\VAVU.TAG", "ABCDEFGH");
  EXPECT_EQ(CalcularIdPanel(e, "C:\\Otro\\VAVU.EXE"), "ABCDEFGH00000000");
  EXPECT_EQ(FormatoIdPanel("", FechaHora{2015, 1, 0, 2, 0, 5, 0, 0}), "0217DF05");
}

TEST_F(Utils, TagIsReadWhileThePanelHoldsIt) {
  Escribir("C:\\Panel\\VAVU.TAG", "1A2B3C4D");
  EXPECT_FALSE(EtiquetaEnUso(e, "C:\\Panel\\"));
  {
    std::unique_ptr<platform::File> panel;
    ASSERT_TRUE(fs->Open("C:\\Panel\\VAVU.TAG", platform::Access::ReadWrite, platform::Share::Shared,
                         platform::Disposition::OpenExisting, &panel)
                    .ok());
    EXPECT_TRUE(EtiquetaEnUso(e, "C:\\Panel\\"));
    EXPECT_TRUE(EtiquetaEnUso(e, "C:\\Panel"));
    EXPECT_EQ(EtiquetaInstalacion(e, "C:\\Panel\\"), "1A2B3C4D");
  }
  EXPECT_FALSE(EtiquetaEnUso(e, "C:\\Panel\\"));
  EXPECT_FALSE(EtiquetaEnUso(e, "C:\\SinPanel\\"));
  EXPECT_EQ(EtiquetaInstalacion(e, "C:\\SinPanel\\"), "");
}

TEST_F(Utils, ProgramPathsWithBlanksAreQuoted) {
  EXPECT_EQ(LineaDeOrdenes("  C:\\Program Files\\Panel\\ICONOS.EXE "), "\"C:\\Program Files\\Panel\\ICONOS.EXE\"");
  EXPECT_EQ(LineaDeOrdenes("C:\\Panel\\ICONOS.EXE"), "C:\\Panel\\ICONOS.EXE");
  EXPECT_EQ(LineaDeOrdenes("\"C:\\Program Files\\A.EXE\" /x"), "\"C:\\Program Files\\A.EXE\" /x");
  EjecutarYEsperar(e, "C:\\Program Files\\Panel\\ICONOS.EXE", "C:\\Program Files\\Panel\\");
  EjecutarYEsperar(e, "   ", "C:\\");  // nothing to start
  ASSERT_EQ(programas.ejecutados.size(), 1u);
  EXPECT_EQ(programas.ejecutados[0], "\"C:\\Program Files\\Panel\\ICONOS.EXE\"|C:\\Program Files\\Panel\\");
  AbrirDocumento(e, "C:\\Panel\\ICONOS.INI", "C:\\Panel\\");
  EXPECT_EQ(programas.abiertos, std::vector<std::string>{"C:\\Panel\\ICONOS.INI|C:\\Panel\\"});
}

TEST_F(Utils, PathParts) {
  EXPECT_EQ(CarpetaDe("C:\\Apps\\Gestion\\APP.EXE"), "C:\\Apps\\Gestion");
  EXPECT_EQ(CarpetaDe("C:\\VAVU.EXE"), "C:\\");
  EXPECT_EQ(CarpetaDe("C:VAVU.EXE"), "C:");
  EXPECT_EQ(CarpetaDe("VAVU.EXE"), "");
  EXPECT_EQ(ConBarra("C:\\Panel"), "C:\\Panel\\");
  EXPECT_EQ(ConBarra("C:\\"), "C:\\");
  EXPECT_EQ(ConBarra(""), "");
  EXPECT_TRUE(RaizAccesible(e, "C:\\Apps\\X.EXE"));
  EXPECT_FALSE(RaizAccesible(e, "Q:\\Apps\\X.EXE"));  // drive not mapped
  EXPECT_FALSE(RaizAccesible(e, "\\\\servidor"));
  EXPECT_TRUE(RaizAccesible(e, "APP.EXE"));
}

}  // namespace
}  // namespace kx::paneltool::test
