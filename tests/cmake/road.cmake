# The failed-logon road under Wine (tests/road): the watcher, Wine's message
# rendering and registry, the tracker and the firewall, with doubles of the
# Security log, the Application log and the firewall policy put in place of
# their imports at link time. The message DLL comes from applog.cmake.
if(NOT KESTROVE_HOST)
  kestrove_test_binary(road_tests road kestrove_service)
  target_sources(road_tests PRIVATE road/event_log_double.cpp road/firewall_double.cpp)
  add_dependencies(road_tests kestrove_test_messages)
  target_compile_definitions(road_tests PRIVATE KESTROVE_TEST_MESSAGES_DLL="${test_messages_dll}"
                                                KESTROVE_TEST_NOT_PE_FILE="${not_pe_file}")
endif()
