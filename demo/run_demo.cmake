# Runs the tools on the sample the way a user would, in a fresh directory:
# the whole way round. Split the bundle, decompress its FLZ0 pieces, change
# one, compress them again, join the bundle, then split the new bundle
# somewhere else and show the changed text from there.
#   -DWORK=<dir> -DMAKE_SAMPLE=<exe> -DBNDSPLIT=<exe> -DBNDJOIN=<exe> -DVARNIX=<exe> -DFLZ0PACK=<exe>

function(say text)
  execute_process(COMMAND "${CMAKE_COMMAND}" -E echo "${text}")
endfunction()

# run -- a tool in the given directory (relative to WORK); the demo stops if it fails
function(run where)
  string(JOIN " " shown ${ARGN})
  say("${where}\$ ${shown}")
  execute_process(COMMAND ${ARGN} WORKING_DIRECTORY "${WORK}/${where}" RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "exit status ${status}")
  endif()
endfunction()

function(list_dir dir)
  say("Files in ${dir}:")
  file(GLOB names RELATIVE "${WORK}/${dir}" "${WORK}/${dir}/*")
  list(SORT names)
  foreach(name IN LISTS names)
    if(IS_DIRECTORY "${WORK}/${dir}/${name}")
      say("  ${name}/")
    else()
      file(SIZE "${WORK}/${dir}/${name}" size)
      say("  ${name}  ${size} bytes")
    endif()
  endforeach()
endfunction()

# flz0_pieces -- the pieces in dir that are FLZ0 files
function(flz0_pieces dir out)
  file(GLOB pieces RELATIVE "${WORK}/${dir}" "${WORK}/${dir}/???")
  list(SORT pieces)
  set(found)
  foreach(piece IN LISTS pieces)
    file(READ "${WORK}/${dir}/${piece}" magic LIMIT 4 HEX)
    if(magic STREQUAL "464c5a30")  # "FLZ0"
      list(APPEND found "${piece}")
    endif()
  endforeach()
  set(${out} ${found} PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}/elsewhere")
execute_process(COMMAND "${MAKE_SAMPLE}" SAMPLE.BND WORKING_DIRECTORY "${WORK}" COMMAND_ERROR_IS_FATAL ANY)

say("-- Take the bundle apart and decompress its FLZ0 pieces.")
run(. "${BNDSPLIT}" SAMPLE.BND)
flz0_pieces(SAMPLE packed)
run(SAMPLE "${VARNIX}" ${packed})
list_dir(SAMPLE)

say("-- Change the first piece, compress the pieces again, and join the bundle.")
file(APPEND "${WORK}/SAMPLE/000" "And this line was added by the demo.\n")
run(SAMPLE "${FLZ0PACK}" ${packed})
run(. "${BNDJOIN}" SAMPLE.BND)
list_dir(.)

say("-- Elsewhere, take the new bundle apart again and read the changed piece.")
file(COPY "${WORK}/SAMPLE.BND" DESTINATION "${WORK}/elsewhere")
run(elsewhere "${BNDSPLIT}" SAMPLE.BND)
run(elsewhere/SAMPLE "${VARNIX}" 000)
say("elsewhere/SAMPLE/000 now reads:")
execute_process(COMMAND "${CMAKE_COMMAND}" -E cat "${WORK}/elsewhere/SAMPLE/000")
