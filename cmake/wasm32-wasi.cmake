# The page's module: bndpatch as WebAssembly for the browser, built by
# clang for wasm32-wasi with Debian's wasi-libc and its libc++ for wasm32
# (apt-get install clang lld wasi-libc libc++-14-dev-wasm32
# libc++abi-14-dev-wasm32 libclang-rt-14-dev-wasm32). The page's build
# (cmake/page.cmake) configures the source tree with this file as its
# toolchain, and names the compiler it found.
set(CMAKE_SYSTEM_NAME Generic)  # no system: the module is a library the page's script calls
set(CMAKE_SYSTEM_PROCESSOR wasm32)
set(CMAKE_CXX_COMPILER_TARGET wasm32-wasi)
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
# Vector instructions, memory.copy for each copy and the conversions every
# browser that runs the page has; the module's calls exported by name, its
# start run once by the script (_initialize), its symbols left out.
set(CMAKE_CXX_FLAGS_INIT "-msimd128 -mbulk-memory -mnontrapping-fptoint -msign-ext")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-mexec-model=reactor -Wl,--strip-all")
set(BNDTOOLS_WEB_MODULE ON)
