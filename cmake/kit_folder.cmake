# cmake -DOUT=DIR -DPAGE=FILE -DX64=FILE -DX86=FILE [-DSTRIP_X64=TOOL]
#       [-DSTRIP_X86=TOOL] -P kit_folder.cmake:
# the kit folder DIR with each of the three files under its name there,
# where the file exists, each program stripped of its symbols where its
# strip tool is given (as the Windows zips ship it); where a file does not
# exist, none is left under its name, so that bnddiff --kit names what is
# missing rather than take an old one.
set(sources "${PAGE}" "${X64}" "${X86}")
set(names bndpatch.html x64/bndpatch.exe x86/bndpatch.exe)
set(strips "" "${STRIP_X64}" "${STRIP_X86}")
foreach(source name strip IN ZIP_LISTS sources names strips)
  set(out "${OUT}/${name}")
  if(NOT source OR NOT EXISTS "${source}")
    file(REMOVE "${out}")
    continue()
  endif()
  get_filename_component(dir "${out}" DIRECTORY)
  file(MAKE_DIRECTORY "${dir}")
  if(strip)
    execute_process(COMMAND "${strip}" -o "${out}.part" "${source}" RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
      file(REMOVE "${out}.part")
      message(FATAL_ERROR "${strip} could not strip ${source}")
    endif()
    file(COPY_FILE "${out}.part" "${out}" ONLY_IF_DIFFERENT)
    file(REMOVE "${out}.part")
  else()
    file(COPY_FILE "${source}" "${out}" ONLY_IF_DIFFERENT)
  endif()
endforeach()
