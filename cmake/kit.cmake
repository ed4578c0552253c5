# The kit folder bnddiff --kit takes its files from by default in a build
# tree: kit/ beside the programs (patch/kit.hpp), holding bndpatch.html,
# x64/bndpatch.exe and x86/bndpatch.exe. Each is copied in at every build
# where it exists: the page from this tree's web/, each Windows program
# from the cross build's tree for its processor (this tree's own, in that
# cross build). A file that does not exist is left out, and bnddiff --kit
# then names it and what makes it.
set(BNDTOOLS_KIT_PAGE "${CMAKE_BINARY_DIR}/web/bndpatch.html" CACHE FILEPATH "the page a kit carries")
set(bndtools_x64 "${PROJECT_SOURCE_DIR}/build/windows-x64/bndpatch.exe")
set(bndtools_x86 "${PROJECT_SOURCE_DIR}/build/windows-x86/bndpatch.exe")
if(WIN32 AND CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(bndtools_x64 "$<TARGET_FILE:bndpatch>")
elseif(WIN32)
  set(bndtools_x86 "$<TARGET_FILE:bndpatch>")
endif()
set(BNDTOOLS_KIT_X64 "${bndtools_x64}" CACHE STRING "bndpatch.exe for 64-bit Windows, for a kit")
set(BNDTOOLS_KIT_X86 "${bndtools_x86}" CACHE STRING "bndpatch.exe for 32-bit Windows, for a kit")
# The programs go into a kit stripped, as the Windows zips ship them, where
# the cross tools' strip is found.
find_program(BNDTOOLS_STRIP_X64 x86_64-w64-mingw32-strip)
find_program(BNDTOOLS_STRIP_X86 i686-w64-mingw32-strip)
set(bndtools_strips)
foreach(arch IN ITEMS X64 X86)
  if(BNDTOOLS_STRIP_${arch})
    list(APPEND bndtools_strips "-DSTRIP_${arch}=${BNDTOOLS_STRIP_${arch}}")
  endif()
endforeach()
add_custom_target(kit_folder ALL
  COMMAND "${CMAKE_COMMAND}" "-DOUT=${CMAKE_BINARY_DIR}/kit" "-DPAGE=${BNDTOOLS_KIT_PAGE}"
          "-DX64=${BNDTOOLS_KIT_X64}" "-DX86=${BNDTOOLS_KIT_X86}" ${bndtools_strips}
          -P "${PROJECT_SOURCE_DIR}/cmake/kit_folder.cmake"
  VERBATIM)
add_dependencies(kit_folder bndpatch page)
