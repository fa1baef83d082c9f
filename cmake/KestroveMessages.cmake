# kestrove_message_file(<mc file> <output dir> <rc variable> [windmc options...]):
# compiles a message file with windmc into <output dir>/<name>.rc and its .bin
# tables, for a .rc to include. The lines get CR LF ends first, so that every
# line of a message text ends in "\r\n" whatever the checkout did to them.
# Run with -P (IN, OUT) this file does that conversion.
if(CMAKE_SCRIPT_MODE_FILE)
  file(READ ${IN} text)
  string(REPLACE "\r\n" "\n" text "${text}")
  string(REPLACE "\n" "\r\n" text "${text}")
  file(WRITE ${OUT} "${text}")
  return()
endif()

include_guard(GLOBAL)

find_program(KESTROVE_WINDMC NAMES ${KESTROVE_HOST_RC_PREFIX}-windmc x86_64-w64-mingw32-windmc
                                   i686-w64-mingw32-windmc windmc REQUIRED)

function(kestrove_message_file mc_file output_dir rc_variable)
  get_filename_component(mc_path ${mc_file} ABSOLUTE)
  get_filename_component(name ${mc_path} NAME_WE)
  set(crlf ${output_dir}/${name}.mc)
  set(rc ${output_dir}/${name}.rc)
  file(MAKE_DIRECTORY ${output_dir})
  add_custom_command(
    OUTPUT ${rc} ${output_dir}/MSG00409.bin
    COMMAND ${CMAKE_COMMAND} -DIN=${mc_path} -DOUT=${crlf} -P ${CMAKE_CURRENT_FUNCTION_LIST_FILE}
    COMMAND ${KESTROVE_WINDMC} ${ARGN} -r ${output_dir} -h ${output_dir} ${crlf}
    DEPENDS ${mc_path} ${CMAKE_CURRENT_FUNCTION_LIST_FILE}
    WORKING_DIRECTORY ${output_dir}
    COMMENT "Message table ${name}"
    VERBATIM)
  set(${rc_variable} ${rc} PARENT_SCOPE)
endfunction()
