# What a Windows user downloads: one zip, flat, holding the six programs,
# the README, the licence and each manual page as HTML, with a SHA-256 file
# beside it. `cmake --install` puts the same files at the top of a prefix.
set(bndtools_pages bndsplit bndjoin varnix flz0pack bnddiff bndpatch)
install(TARGETS ${bndtools_programs} RUNTIME DESTINATION .)
install(FILES "${PROJECT_SOURCE_DIR}/README.md" "${PROJECT_SOURCE_DIR}/LICENSE" DESTINATION .)

# The manual pages, rendered by mandoc where the build finds it (a program
# of the building system, not of Windows).
find_program(MANDOC_PROGRAM mandoc)
set(bndtools_rendered)
if(MANDOC_PROGRAM)
  foreach(page IN LISTS bndtools_pages)
    set(out "${CMAKE_CURRENT_BINARY_DIR}/doc/${page}.html")
    add_custom_command(OUTPUT "${out}"
      COMMAND "${CMAKE_COMMAND}" -DMANDOC=${MANDOC_PROGRAM} "-DPAGE=${PROJECT_SOURCE_DIR}/man/${page}.1"
              "-DOUT=${out}" -P "${PROJECT_SOURCE_DIR}/cmake/render_page.cmake"
      DEPENDS "${PROJECT_SOURCE_DIR}/man/${page}.1" "${PROJECT_SOURCE_DIR}/cmake/render_page.cmake" VERBATIM)
    list(APPEND bndtools_rendered "${out}")
    install(FILES "${out}" DESTINATION .)
  endforeach()
else()
  message(WARNING "mandoc not found: the Windows package will have no manual pages")
endif()
add_custom_target(rendered_pages ALL DEPENDS ${bndtools_rendered})

if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(bndtools_windows win64)
else()
  set(bndtools_windows win32)
endif()
set(CPACK_PACKAGE_NAME bndtools)
set(CPACK_PACKAGE_VENDOR "the bndtools authors")
set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_FILE_NAME "bndtools-${PROJECT_VERSION}-${bndtools_windows}")
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
set(CPACK_PACKAGE_CHECKSUM SHA256)
set(CPACK_STRIP_FILES ON)
include(CPack)
