# cmake -DMANDOC=... -DPAGE=page.1 -DOUT=page.html -P render_page.cmake:
# a manual page as HTML, failing the build where mandoc fails.
get_filename_component(dir "${OUT}" DIRECTORY)
file(MAKE_DIRECTORY "${dir}")
execute_process(COMMAND "${MANDOC}" -T html "${PAGE}" OUTPUT_FILE "${OUT}.part" RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  file(REMOVE "${OUT}.part")
  message(FATAL_ERROR "mandoc could not render ${PAGE}")
endif()
file(RENAME "${OUT}.part" "${OUT}")
