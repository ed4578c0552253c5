# Runs the tools on the sample the way a user would, in a fresh directory,
# and lists what they wrote.
#   -DWORK=<dir> -DMAKE_SAMPLE=<exe> -DBNDSPLIT=<exe> -DVARNIX=<exe>

function(run)
  string(JOIN " " shown ${ARGN})
  execute_process(COMMAND "${CMAKE_COMMAND}" -E echo "$ ${shown}")
  execute_process(COMMAND ${ARGN} WORKING_DIRECTORY "${WORK}" RESULT_VARIABLE status)
  execute_process(COMMAND "${CMAKE_COMMAND}" -E echo "(exit status ${status})")
endfunction()

function(list_dir dir)
  execute_process(COMMAND "${CMAKE_COMMAND}" -E echo "Files in ${dir}:")
  file(GLOB names RELATIVE "${WORK}/${dir}" "${WORK}/${dir}/*")
  list(SORT names)
  foreach(name IN LISTS names)
    file(SIZE "${WORK}/${dir}/${name}" size)
    execute_process(COMMAND "${CMAKE_COMMAND}" -E echo "  ${name}  ${size} bytes")
  endforeach()
endfunction()

file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
execute_process(COMMAND "${MAKE_SAMPLE}" SAMPLE.BND WORKING_DIRECTORY "${WORK}" COMMAND_ERROR_IS_FATAL ANY)

run("${BNDSPLIT}" SAMPLE.BND)
list_dir(SAMPLE)

# Decompress the pieces that are FLZ0 files, as a user would next.
file(GLOB pieces RELATIVE "${WORK}" "${WORK}/SAMPLE/*")
list(SORT pieces)
foreach(piece IN LISTS pieces)
  file(READ "${WORK}/${piece}" magic LIMIT 4 HEX)
  if(magic STREQUAL "464c5a30")  # "FLZ0"
    run("${VARNIX}" "${piece}")
  endif()
endforeach()
list_dir(SAMPLE)

execute_process(COMMAND "${CMAKE_COMMAND}" -E echo "SAMPLE/000 now reads:")
execute_process(COMMAND "${CMAKE_COMMAND}" -E cat "${WORK}/SAMPLE/000")
