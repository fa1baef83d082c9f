# The COM and firewall tests: the platform tests need the COM libraries on Windows.
if(NOT KESTROVE_HOST)
  target_link_libraries(platform_tests PRIVATE ole32 oleaut32 uuid)
endif()
