# The page that applies a patch in a browser: bndpatch built as WebAssembly
# (cmake/wasm32-wasi.cmake, a build of its own inside this one), then one
# HTML file holding it, its script and its texts: <build>/web/bndpatch.html.
#
# Built where clang can make a wasm32-wasi program with Debian's wasi-libc
# and libc++ for wasm32; elsewhere left out, saying why, except in CI
# (CI=true), where a missing toolchain fails the configure. Never in a
# cross build: the page is the same file for every system.
include(ExternalProject)

option(BNDTOOLS_PAGE "Build the page that applies a patch in a browser" ON)

set(bndtools_page "${CMAKE_BINARY_DIR}/web/bndpatch.html")
set(bndtools_page_built OFF)

# bndtools_page_missing -- what is left out of the page, and why; in CI a failure
function(bndtools_page_missing what)
  if("$ENV{CI}" STREQUAL "true")
    message(FATAL_ERROR "${what} (CI needs it)")
  endif()
  message(STATUS "${what}")
endfunction()

# bndtools_find_wasm_compiler -- a clang that compiles and links a C++
# program for wasm32-wasi, into the variable `out`
function(bndtools_find_wasm_compiler out)
  find_program(BNDTOOLS_WASM_CXX NAMES clang++-14 clang++)
  if(NOT BNDTOOLS_WASM_CXX)
    return()
  endif()
  set(probe "${CMAKE_BINARY_DIR}/web/probe")
  file(WRITE "${probe}/probe.cpp" "#include <string>\nint main() { return static_cast<int>(std::string(\"wasm\").size()); }\n")
  execute_process(COMMAND "${BNDTOOLS_WASM_CXX}" --target=wasm32-wasi -std=c++20 "${probe}/probe.cpp" -o "${probe}/probe.wasm"
                  RESULT_VARIABLE failed OUTPUT_QUIET ERROR_QUIET)
  if(NOT failed)
    set(${out} "${BNDTOOLS_WASM_CXX}" PARENT_SCOPE)
  endif()
endfunction()

add_custom_target(page)  # the page where it is built; nothing where it is not
if(BNDTOOLS_PAGE AND NOT CMAKE_CROSSCOMPILING AND NOT WIN32)
  bndtools_find_wasm_compiler(wasm_cxx)
  if(NOT wasm_cxx)
    bndtools_page_missing("The page is not built: no clang makes wasm32-wasi programs here (apt-get install clang lld wasi-libc libc++-14-dev-wasm32 libc++abi-14-dev-wasm32 libclang-rt-14-dev-wasm32)")
  else()
    set(bndtools_page_built ON)
  endif()
endif()

if(bndtools_page_built)
  set(module_dir "${CMAKE_BINARY_DIR}/web/module")
  set(module "${module_dir}/web/page_module.wasm")
  ExternalProject_Add(page_module
    SOURCE_DIR "${PROJECT_SOURCE_DIR}"
    BINARY_DIR "${module_dir}"
    CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${PROJECT_SOURCE_DIR}/cmake/wasm32-wasi.cmake
               -DCMAKE_CXX_COMPILER=${wasm_cxx}
               -DCMAKE_BUILD_TYPE=Release
               -DCMAKE_COMPILE_WARNING_AS_ERROR=${CMAKE_COMPILE_WARNING_AS_ERROR}
    INSTALL_COMMAND ""
    BUILD_ALWAYS ON
    BUILD_BYPRODUCTS "${module}")

  add_executable(assemble_page web/assemble_page.cpp)
  target_include_directories(assemble_page PRIVATE "${PROJECT_SOURCE_DIR}/tools")
  target_compile_options(assemble_page PRIVATE -Wall -Wextra -Wpedantic)

  set(parts web/page.html web/page.js web/worker.js)
  list(TRANSFORM parts PREPEND "${PROJECT_SOURCE_DIR}/")
  add_custom_command(OUTPUT "${bndtools_page}"
    COMMAND assemble_page ${parts} "${module}" "${bndtools_page}"
    DEPENDS assemble_page page_module "${module}" ${parts}
    VERBATIM)
  add_custom_target(page_html ALL DEPENDS "${bndtools_page}")
  add_dependencies(page page_html)
endif()
