# cmake -DOUT=DIR -DPAGE=FILE -DX64=FILE -DX86=FILE -P kit_folder.cmake:
# the kit folder DIR with each of the three files under its name there,
# where the file exists; where it does not, none is left under that name,
# so that bnddiff --kit names what is missing rather than take an old one.
set(sources "${PAGE}" "${X64}" "${X86}")
set(names bndpatch.html x64/bndpatch.exe x86/bndpatch.exe)
foreach(source name IN ZIP_LISTS sources names)
  if(source AND EXISTS "${source}")
    get_filename_component(dir "${OUT}/${name}" DIRECTORY)
    file(MAKE_DIRECTORY "${dir}")
    file(COPY_FILE "${source}" "${OUT}/${name}" ONLY_IF_DIFFERENT)
  else()
    file(REMOVE "${OUT}/${name}")
  endif()
endforeach()
