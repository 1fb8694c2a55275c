# Shared build settings and helpers for the project's own targets.

# Compile options every project target gets (not third-party code such as GoogleTest).
add_library(kx_options INTERFACE)
target_compile_options(kx_options INTERFACE
  -Wall -Wextra
  $<$<BOOL:${KX_WERROR}>:-Werror>
  -finput-charset=UTF-8
  # clang (the fuzz build) knows no other execution character set than UTF-8.
  $<$<CXX_COMPILER_ID:GNU>:-fexec-charset=CP1252>
  # GCC 12 reports false -Wrestrict overlaps inside std::string concatenation
  # at -O2 (GCC bug 105329).
  $<$<CXX_COMPILER_ID:GNU>:-Wno-restrict>
  # snprintf into fixed buffers is bounded by design; at -O2/-O3 GCC warns that
  # int ranges wider than the dates and numbers we print could be cut.
  $<$<CXX_COMPILER_ID:GNU>:-Wno-format-truncation>)
target_include_directories(kx_options INTERFACE ${PROJECT_SOURCE_DIR})
if(WIN32)
  # Keep windows.h lean and the ANSI (code page) API the default.
  target_compile_definitions(kx_options INTERFACE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
endif()

# kx_library(NAME DIR [EXCLUDE file...] [DEPS lib...])
# A static library of every .cpp directly in DIR, plus DIR/posix or DIR/win32 for the target OS.
function(kx_library name dir)
  cmake_parse_arguments(ARG "" "" "EXCLUDE;DEPS;SYSLIBS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${dir}/*.cpp)
  if(WIN32)
    file(GLOB os_srcs CONFIGURE_DEPENDS ${dir}/win32/*.cpp)
  else()
    file(GLOB os_srcs CONFIGURE_DEPENDS ${dir}/posix/*.cpp)
  endif()
  list(APPEND srcs ${os_srcs})
  foreach(ex IN LISTS ARG_EXCLUDE)
    list(FILTER srcs EXCLUDE REGEX "/${ex}$")
  endforeach()
  if(srcs)
    add_library(${name} STATIC ${srcs})
    target_link_libraries(${name} PUBLIC kx_options ${ARG_DEPS} ${ARG_SYSLIBS})
  else()
    add_library(${name} INTERFACE)
    target_link_libraries(${name} INTERFACE kx_options ${ARG_DEPS} ${ARG_SYSLIBS})
  endif()
endfunction()
