# The tests' own message DLL (UTF-16 entries), built from tests/messages by
# windmc and the mingw tools on every build, and the paths the tests load.
include(${PROJECT_SOURCE_DIR}/cmake/KestroveMessages.cmake)

set(test_messages_dir ${CMAKE_CURRENT_BINARY_DIR}/test_messages)
set(test_messages_dll ${test_messages_dir}/kestrove_test_messages.dll)
kestrove_message_file(${CMAKE_CURRENT_SOURCE_DIR}/messages/test_messages.mc ${test_messages_dir} test_messages_rc -U)
add_custom_command(
  OUTPUT ${test_messages_dll}
  COMMAND ${KESTROVE_HOST_RC_PREFIX}-windres -I${test_messages_dir} -i ${test_messages_rc}
          -o ${test_messages_dir}/test_messages.o
  COMMAND ${KESTROVE_HOST_RC_PREFIX}-gcc -shared -nostdlib -Wl,-e,0 -o ${test_messages_dll}
          ${test_messages_dir}/test_messages.o
  DEPENDS ${test_messages_rc} ${test_messages_dir}/MSG00409.bin
  WORKING_DIRECTORY ${test_messages_dir}
  COMMENT "Test message DLL"
  VERBATIM)
add_custom_target(kestrove_test_messages DEPENDS ${test_messages_dll})

# A file that exists but is no PE image: the message file's own source.
set(not_pe_file ${CMAKE_CURRENT_SOURCE_DIR}/messages/test_messages.mc)
if(NOT KESTROVE_HOST)
  set(test_messages_dll "Z:${test_messages_dll}")
  set(not_pe_file "Z:${not_pe_file}")
endif()

# Every binary links the shared support code, which names the DLL.
set(applog_test_binaries platform_tests service_tests configurator_tests)
if(KESTROVE_HOST)
  list(APPEND applog_test_binaries winsim_tests)
endif()
foreach(test_binary ${applog_test_binaries})
  add_dependencies(${test_binary} kestrove_test_messages)
  target_compile_definitions(${test_binary} PRIVATE KESTROVE_TEST_MESSAGES_DLL="${test_messages_dll}"
                                                    KESTROVE_TEST_NOT_PE_FILE="${not_pe_file}")
endforeach()

# winsim's own tests read messages out of the programs' resource images too.
if(KESTROVE_HOST)
  add_dependencies(winsim_tests RDPKestroveservice_resources RDPKestroveconfig_resources)
  get_property(service_image GLOBAL PROPERTY RDPKestroveservice_IMAGE)
  get_property(config_image GLOBAL PROPERTY RDPKestroveconfig_IMAGE)
  target_compile_definitions(winsim_tests PRIVATE KESTROVE_SERVICE_IMAGE="${service_image}"
                                                  KESTROVE_CONFIG_IMAGE="${config_image}")
endif()
