# How the programs are linked.
#
# Windows: fully static (the toolchain files say so), so an .exe needs no
# DLL beside it. Elsewhere the C library is linked dynamically, as every
# system's packaging expects, and only the C++ runtime statically: a short
# run such as varnix's then skips the lookup of the C++ runtime's many
# symbols, most of the start-up cost of a dynamic program. Each flag is
# tried first; a linker that refuses it, and the sanitizer builds, which
# cannot link the runtime statically, get a normal link.
include(CheckLinkerFlag)

option(BNDTOOLS_STATIC_RUNTIME "Link the C++ runtime into the programs" ON)

set(bndtools_link_options)
if(NOT WIN32 AND BNDTOOLS_STATIC_RUNTIME)
  if("${CMAKE_CXX_FLAGS} ${CMAKE_EXE_LINKER_FLAGS}" MATCHES "-fsanitize")
    message(STATUS "C++ runtime linked dynamically: sanitizer flags are set")
  else()
    foreach(flag -static-libstdc++ -static-libgcc)
      string(MAKE_C_IDENTIFIER "BNDTOOLS_LINKS${flag}" result)
      check_linker_flag(CXX "${flag}" ${result})
      if(${result})
        list(APPEND bndtools_link_options "${flag}")
      else()
        message(STATUS "The linker refuses ${flag}: that part of the runtime is linked dynamically")
      endif()
    endforeach()
  endif()
endif()
