# Runs the tools on the sample the way a user would, in a fresh directory:
# the whole way round in two commands. Split the bundle with its FLZ0
# pieces decoded, join it again unchanged and compare (the same bytes),
# change one piece, see what a join would do, and join it, twice, then split the new bundle somewhere
# else and show the changed text from there.
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

file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}/elsewhere")
execute_process(COMMAND "${MAKE_SAMPLE}" SAMPLE.BND WORKING_DIRECTORY "${WORK}" COMMAND_ERROR_IS_FATAL ANY)
file(COPY_FILE "${WORK}/SAMPLE.BND" "${WORK}/original.BND")

say("-- Look before you cut: what the table lists, and the bytes no piece holds.")
run(. "${BNDSPLIT}" -l SAMPLE.BND)

say("-- Take the bundle apart, each FLZ0 piece decoded beside its own bytes.")
run(. "${BNDSPLIT}" -x SAMPLE.BND)
list_dir(SAMPLE)

say("-- Put it back unchanged: the same bytes, the note and the tail included.")
run(. "${BNDJOIN}" SAMPLE.BND)
execute_process(COMMAND "${CMAKE_COMMAND}" -E compare_files SAMPLE.BND original.BND
                WORKING_DIRECTORY "${WORK}" RESULT_VARIABLE differs)
if(differs)
  message(FATAL_ERROR "the rebuilt bundle differs from the original")
endif()
say("SAMPLE.BND and original.BND are identical.")

say("-- Change the first piece and put the bundle back again, twice: the")
say("   record beside the pieces says which bundle each join wrote, and the")
say("   pristine original stays as SAMPLE.BND.BAK.")
file(APPEND "${WORK}/SAMPLE/000" "And this line was added by the demo.\n")
say("   First, what the join would do, with nothing written:")
run(. "${BNDJOIN}" -n SAMPLE.BND)
run(. "${BNDJOIN}" SAMPLE.BND)
file(APPEND "${WORK}/SAMPLE/000" "And this one by its second loop.\n")
run(. "${BNDJOIN}" SAMPLE.BND)
list_dir(.)
execute_process(COMMAND "${CMAKE_COMMAND}" -E compare_files SAMPLE.BND.BAK original.BND
                WORKING_DIRECTORY "${WORK}" RESULT_VARIABLE differs)
if(differs)
  message(FATAL_ERROR "the original was not kept")
endif()
say("SAMPLE.BND.BAK is still the original.")

say("-- Elsewhere, take the new bundle apart again and read the changed piece.")
file(COPY "${WORK}/SAMPLE.BND" DESTINATION "${WORK}/elsewhere")
run(elsewhere "${BNDSPLIT}" -x SAMPLE.BND)
say("elsewhere/SAMPLE/000 now reads:")
execute_process(COMMAND "${CMAKE_COMMAND}" -E cat "${WORK}/elsewhere/SAMPLE/000")
