# Build settings shared by the three builds, and the helpers that define the
# two programs the same way on each of them.

# Flags of every target of ours (not of GoogleTest).
add_library(kestrove_flags INTERFACE)
target_compile_options(kestrove_flags INTERFACE -Wall -Wextra -Werror)
target_compile_definitions(kestrove_flags INTERFACE UNICODE _UNICODE WIN32_LEAN_AND_MEAN)
if(KESTROVE_HOST)
  target_link_libraries(kestrove_flags INTERFACE winsim)
  if(KESTROVE_SANITIZE)
    # Everything, GoogleTest included, so that every object agrees on the runtime.
    add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
  endif()
else()
  target_compile_definitions(kestrove_flags INTERFACE _WIN32_WINNT=0x0601 WINVER=0x0601)
  target_link_options(kestrove_flags INTERFACE -static -static-libgcc -static-libstdc++)
endif()

# The mingw tools that compile resources; the host build uses them to make a
# resource-only image of each program, read by winsim as Windows would read the .exe.
set(KESTROVE_HOST_RC_PREFIX x86_64-w64-mingw32 CACHE STRING "mingw tool prefix for host resource images")

# kestrove_resource_image(<target> <rc file>): on the host, builds
# <target>.res.dll from the .rc and names it as the target's module image.
function(kestrove_resource_image target rc_file)
  get_filename_component(rc_path ${rc_file} ABSOLUTE)
  get_filename_component(rc_dir ${rc_path} DIRECTORY)
  set(object ${CMAKE_CURRENT_BINARY_DIR}/${target}.res.o)
  set(image ${CMAKE_CURRENT_BINARY_DIR}/${target}.res.dll)
  file(GLOB rc_inputs CONFIGURE_DEPENDS ${rc_dir}/*.h ${rc_dir}/*.manifest ${rc_dir}/*.mc
       ${PROJECT_SOURCE_DIR}/resources/*)
  add_custom_command(
    OUTPUT ${image}
    COMMAND ${KESTROVE_HOST_RC_PREFIX}-windres -I${rc_dir} -I${CMAKE_CURRENT_BINARY_DIR} -i ${rc_path} -o ${object}
    COMMAND ${KESTROVE_HOST_RC_PREFIX}-gcc -shared -nostdlib -Wl,-e,0 -o ${image} ${object}
    DEPENDS ${rc_path} ${rc_inputs} ${ARGN}
    WORKING_DIRECTORY ${rc_dir}
    COMMENT "Resource image ${target}.res.dll")
  add_custom_target(${target}_resources DEPENDS ${image})
  set(${target}_IMAGE ${image} PARENT_SCOPE)
  set_property(GLOBAL PROPERTY ${target}_IMAGE ${image})
endfunction()

# kestrove_program(<name> <library> <main source> <rc file> CONSOLE|GUI <windows libs...>)
function(kestrove_program name library main_source rc_file kind)
  if(KESTROVE_HOST)
    kestrove_resource_image(${name} ${rc_file})
    set(image_source ${CMAKE_CURRENT_BINARY_DIR}/${name}_image.cpp)
    file(WRITE ${image_source}
         "// Generated: the module image of ${name} on the host.\n"
         "extern \"C\" const char winsim_module_image[] = \"${${name}_IMAGE}\";\n")
    if(kind STREQUAL "GUI")
      set(entry winsim_entry_gui)
    else()
      set(entry winsim_entry_console)
    endif()
    add_executable(${name} ${main_source} ${image_source})
    target_link_libraries(${name} PRIVATE ${library} ${entry} kestrove_flags)
    add_dependencies(${name} ${name}_resources)
  else()
    add_executable(${name} ${main_source} ${rc_file})
    target_link_libraries(${name} PRIVATE ${library} kestrove_flags ${ARGN})
    if(kind STREQUAL "GUI")
      target_link_options(${name} PRIVATE -municode -mwindows)
    else()
      target_link_options(${name} PRIVATE -municode -mconsole)
    endif()
  endif()
endfunction()
