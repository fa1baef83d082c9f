# The service program's entry in the host tests, and its life under Wine's
# service control manager.
if(KESTROVE_HOST)
  # The entry tests run wmain in a child process.
  target_sources(service_tests PRIVATE ${PROJECT_SOURCE_DIR}/service/service_main.cpp)
else()
  add_test(NAME wine.service-lifecycle
           COMMAND ${PROJECT_SOURCE_DIR}/scripts/wine-service-check.sh ${KESTROVE_WINEPREFIX}
                   $<TARGET_FILE:RDPKestroveservice>)
  set_tests_properties(wine.service-lifecycle PROPERTIES FIXTURES_REQUIRED wine LABELS wine
                                                         RESOURCE_LOCK wine_registry TIMEOUT 300)
endif()
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "AMD64")
  # The README's trial of the 64-bit build, as a user runs it, in a prefix of its own.
  add_test(NAME wine.try-under-wine COMMAND ${PROJECT_SOURCE_DIR}/scripts/try-under-wine.sh --fresh)
  set_tests_properties(wine.try-under-wine PROPERTIES LABELS wine TIMEOUT 300)
endif()
