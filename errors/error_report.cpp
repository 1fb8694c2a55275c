#include "errors/error_report.h"

#include <memory>

#include "base/cp1252.h"
#include "base/date.h"
#include "base/value_text.h"

namespace kx {

std::string StrN(int64_t x, int n) {
  std::string s = std::to_string(x);
  if (int(s.size()) > n) return std::string(n, '*');
  return std::string(n - s.size(), ' ') + s;
}

std::string SizeText(uint64_t bytes) {
  if (bytes > 9999999) return std::string(9, '*');
  std::string digits = std::to_string(bytes), s;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) s += ',';
    s += digits[i];
  }
  return std::string(9 - s.size(), ' ') + s;
}

std::vector<std::string> DistinctTitles(const std::vector<std::string>& titles) {
  std::vector<std::string> out;
  for (const auto& t : titles) {
    bool covered = false;
    for (const auto& listed : out)
      if (listed.compare(0, t.size(), t) == 0) covered = true;
    if (!covered) out.push_back(t);
  }
  return out;
}

namespace {

std::string Fit(const std::string& s, size_t n) {
  if (s.size() >= n) return s.substr(0, n);
  return s + std::string(n - s.size(), ' ');
}

std::string Capitalized(const std::string& name) {
  std::string s = Lower(name);
  if (!s.empty()) s = Upper(s.substr(0, 1)) + s.substr(1);
  return s;
}

std::string Str5(uint32_t n) { return n > 99999 ? std::string("*****") : StrN(n, 5); }
const char* Flag(bool b) { return b ? ".t." : ".f."; }

}  // namespace

std::vector<std::string> CallSequenceLines(const std::vector<FrameSnapshot>& frames) {
  std::vector<std::string> out;
  for (const auto& f : frames) out.push_back(" Llamado desde " + f.name + "(" + std::to_string(f.line) + ")");
  return out;
}

std::string ComposeReport(const ErrorRecord& error, const ReportState& st) {
  std::string out;
  auto line = [&](const std::string& s) { out += s; out += "\r\n"; };
  const SystemFacts& f = st.facts;

  line("Aplicacion");
  line("==========");
  line(" Ruta y Nombre: " + f.exe_path);
  line(" Tamaño: " + SizeText(f.exe_size) + " bytes" + " Fecha : " + DTOC(f.exe_date));
  line("   Maximo nº manejadores de ficheros: ( SetHandleCount() )" + StrN(f.handle_count, 3));
  line(" Error ocurrido el: " + DTOC(f.today) + ", " + f.time_text);

  line("");
  line("Información sobre la versión.");
  line("=============================");
  for (const auto& [name, value] : st.version_entries) line(" " + Capitalized(name) + ": " + GeneralText(value));
  line("");

  line(" Descripción del error: " + DescriptionLine(error));
  if (error.args) {
    line(" Args:");
    for (size_t n = 0; n < error.args->size(); ++n) {
      const Value& a = (*error.args)[n];
      line(" [" + StrN(int64_t(n + 1), 4) + "] = " + std::string(1, a.TypeLetter()) + " " + GeneralText(a));
    }
  }

  line("");
  line("Secuencia de llamadas");
  line("=====================");
  for (const auto& s : CallSequenceLines(st.frames)) line(s);

  line("");
  line("Sistema");
  line("=======");
  line(" Tipo de CPU: " + f.cpu_name);
  uint64_t t = f.total_physical + 768;
  line(" Memoria Hardware : " + std::to_string(t) + " (" + std::to_string(t / 1048576) + " megas)");
  line("");
  line(" Recursos sistema libres: % ");
  line(" Recursos GDI : % ");
  line(" Recursos usuario : % ");
  line("");
  line(" Versiones Windows y MsDos: " + StrN(f.os_major, 2) + "." + StrN(f.os_minor, 2) + ", " +
       StrN(f.os_build, 2) + "." + StrN(f.os_platform, 2));
  line(" Total aplicaciones Windows activas: " + StrN(0, 3));
  int i = 0;
  for (const auto& title : DistinctTitles(f.window_titles)) line(" " + StrN(++i, 3) + " " + title);

  line("");
  line("Variables en uso");
  line("================");
  line(" Procedimiento Tipo Valor");
  line(" ==========================");
  for (const auto& fr : st.frames) {
    line(" " + fr.name);
    for (size_t j = 0; j < fr.params.size(); ++j)
      line(" Param " + StrN(int64_t(j + 1), 3) + ": " + std::string(1, fr.params[j].TypeLetter()) + " " +
           ReportText(fr.params[j]));
    for (size_t j = 0; j < fr.locals.size(); ++j)
      line(" Local " + StrN(int64_t(j + 1), 3) + ": " + std::string(1, fr.locals[j].TypeLetter()) + " " +
           ReportText(fr.locals[j]));
  }

  line("");
  line("RDDs Enlazados");
  line("==============");
  for (const auto& d : st.drivers) line(" " + d);

  line("");
  line("Bases de datos en uso");
  line("=====================");
  for (const auto& a : st.areas) {
    if (a.slot < 1 || a.slot > 255) continue;
    line("");
    line(StrN(a.slot, 3) + ": " + (a.current ? "=> " : " ") + Fit(a.alias, 15) + std::string(20, ' ') +
         "RddName: " + st.area_driver);
    line(" ==============================");
    line(" RecNo RecCount BOF EOF");
    line(" " + Str5(a.recno) + " " + Str5(a.reccount) + " " + Flag(a.bof) + " " + Flag(a.eof));
    line("");
    line(" Indices en uso " + std::string(23, ' ') + "TagName");
    for (size_t k = 0; k < a.orders.size() && k < 15; ++k) {
      if (a.orders[k].key.empty()) continue;
      line(std::string(8, ' ') + (int(k + 1) == a.order ? "=> " : " ") + Fit(a.orders[k].key, 35) + a.orders[k].tag);
    }
    line("");
    line(" Relaciones en uso");
    // The engine keeps no relations between tables: nothing to list.
  }

  line("");
  line("Clases en uso :");
  line("===============");

  int s = st.module_variables;
  line("");
  line("Análisis de memoria");
  line("===================");
  line(" Consumo de memoria estática ");
  line(" Segmento DATOS : 64k");
  line(" Tamaño Inicial: 0 bytes (SYMP=0, Stack=0, Heap=0)");
  line(" Stack : " + std::to_string(65535 - 14 * s) + " bytes");
  line(" " + std::to_string(s) + " Variables estáticas: " + std::to_string(14 * s) + " bytes");
  line("");
  line(" Consumo de Memorica Dinámica :");
  line(" Valor Actual : " + StrN(0, 10) + " bytes");
  line(" Valor máximo : " + StrN(0, 10) + " bytes");
  return out;
}

ReportState GatherReportState(const tables::WorkAreas& engine) {
  ReportState st;
  st.facts = GatherSystemFacts();
  st.frames = CallFrame::Capture(72);
  st.drivers = {"DBFCDX"};
  st.area_driver = "DBFCDX";
  st.areas = engine.OpenAreas();
  st.module_variables = ModuleVariableCount();
  return st;
}

namespace {
struct WriteAbandoned {};
}  // namespace

bool WriteErrorLog(platform::FileSystem* fs, const std::string& path, const std::string& text) {
  // The guard: an error raised by anything below abandons the write at once.
  ErrorHandler previous = SetErrorHandler([](ErrorRecord&) -> ErrorAnswer { throw WriteAbandoned{}; });
  bool ok = false;
  try {
    std::unique_ptr<platform::File> file;
    std::string bytes = text + '\x1A';
    ok = fs->Open(path, platform::Access::ReadWrite, platform::Share::Exclusive,
                  platform::Disposition::CreateAlways, &file).ok() &&
         file->WriteAt(0, bytes.data(), bytes.size()).ok();
  } catch (const WriteAbandoned&) {
    ok = false;
  } catch (...) {
    ok = false;
  }
  SetErrorHandler(std::move(previous));
  return ok;
}

}  // namespace kx
