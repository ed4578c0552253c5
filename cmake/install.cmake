# What `cmake --install` puts where, and the Debian package made of it.
#
# The manual pages are installed gzip-compressed where gzip is found (-9n:
# smallest, and without a time stamp, so the bytes depend only on the
# page). The licence is installed as the package's copyright file, in the
# machine-readable format, made from LICENSE so that the text is stated
# once; the changelog goes beside it, compressed the same way.
if(WIN32)
  include(cmake/windows_package.cmake)
  return()
endif()
include(GNUInstallDirs)

set(bndtools_pages bndsplit bndjoin varnix flz0pack bnddiff bndpatch)
install(TARGETS ${bndtools_programs} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The page that applies a patch in a browser, where it is built (cmake/page.cmake).
if(bndtools_page_built)
  install(FILES "${bndtools_page}" DESTINATION "${CMAKE_INSTALL_DATADIR}/bndtools")
endif()

# bndtools_doc_file -- install `source` as `name` in `destination`,
# compressed when gzip is there (and `compress` is set)
find_program(GZIP_PROGRAM gzip)
set(bndtools_compressed)
function(bndtools_doc_file source name destination compress)
  if(compress AND GZIP_PROGRAM)
    set(out "${CMAKE_CURRENT_BINARY_DIR}/doc/${name}.gz")
    add_custom_command(OUTPUT "${out}"
      COMMAND "${CMAKE_COMMAND}" -E copy "${source}" "${CMAKE_CURRENT_BINARY_DIR}/doc/${name}"
      COMMAND "${GZIP_PROGRAM}" -9nf "${CMAKE_CURRENT_BINARY_DIR}/doc/${name}"
      DEPENDS "${source}" VERBATIM)
    set(bndtools_compressed ${bndtools_compressed} "${out}" PARENT_SCOPE)
    install(FILES "${out}" DESTINATION "${destination}")
  else()
    install(FILES "${source}" DESTINATION "${destination}" RENAME "${name}")
  endif()
endfunction()

foreach(page IN LISTS bndtools_pages)
  bndtools_doc_file("${PROJECT_SOURCE_DIR}/man/${page}.1" "${page}.1" "${CMAKE_INSTALL_MANDIR}/man1" ON)
endforeach()
foreach(page IN ITEMS bndtools-split bndtools-patch)
  bndtools_doc_file("${PROJECT_SOURCE_DIR}/man/${page}.5" "${page}.5" "${CMAKE_INSTALL_MANDIR}/man5" ON)
endforeach()
bndtools_doc_file("${PROJECT_SOURCE_DIR}/packaging/changelog" changelog "${CMAKE_INSTALL_DOCDIR}" ON)

file(READ "${PROJECT_SOURCE_DIR}/LICENSE" licence)
string(REGEX REPLACE "\n+$" "" licence "${licence}")
string(REGEX REPLACE "\n\n" "\n.\n" licence "${licence}")
string(REGEX REPLACE "\n" "\n " licence "${licence}")
file(WRITE "${CMAKE_CURRENT_BINARY_DIR}/doc/copyright"
  "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"
  "Upstream-Name: bndtools\n"
  "\n"
  "Files: *\n"
  "Copyright: 2026 the bndtools authors\n"
  "License: Expat\n"
  " ${licence}\n")
install(FILES "${CMAKE_CURRENT_BINARY_DIR}/doc/copyright" DESTINATION "${CMAKE_INSTALL_DOCDIR}")
add_custom_target(compressed_docs ALL DEPENDS ${bndtools_compressed})

# bndpatch.exe for each Windows, beside the page in share/bndtools, where
# bnddiff --kit of an install looks for them (cmake/kit.cmake says where
# they come from). Off by default: a package for this system carries no
# program of another.
option(BNDTOOLS_INSTALL_KIT "Install bndpatch.exe for 64- and 32-bit Windows into share/bndtools, for bnddiff --kit" OFF)
if(BNDTOOLS_INSTALL_KIT)
  install(FILES "${BNDTOOLS_KIT_X64}" DESTINATION "${CMAKE_INSTALL_DATADIR}/bndtools/x64")
  install(FILES "${BNDTOOLS_KIT_X86}" DESTINATION "${CMAKE_INSTALL_DATADIR}/bndtools/x86")
endif()

# The Debian package: the programs, their manual pages, the copyright file
# and the changelog. The programs need the C library, whose version
# dpkg-shlibdeps finds.
set(CPACK_PACKAGE_NAME bndtools)
set(CPACK_PACKAGE_VENDOR "the bndtools authors")
set(CPACK_PACKAGE_CONTACT "bndtools maintainers <maintainers@users.noreply.c-seed-ed7b13eb.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "take BND bundles and FLZ0 files apart and put them back")
set(CPACK_PACKAGE_DESCRIPTION
  "Tools for people who change the data of games and other programs.
bndsplit cuts a bundle (a BND file: pieces behind a table of offsets) into
numbered piece files, and bndjoin builds the bundle again from them. varnix
decompresses an FLZ0 (LZSS) file in place, keeping the compressed file as a
backup, and flz0pack compresses a file into the smallest FLZ0 file that
every decoder reads right. bnddiff makes a patch that turns one bundle into
another a piece at a time, and bndpatch applies it, checked, or takes it
back out.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
