# The configurator's tests beyond its test binary's own sources: its entry point
# in the host test binary, and a user's session with the real program under
# Wine and Xvfb, with the host build's SMTP peer (tests/cmake/smtp.cmake).
if(KESTROVE_HOST)
  target_sources(configurator_tests PRIVATE ${PROJECT_SOURCE_DIR}/configurator/configurator_main.cpp)
else()
  add_test(NAME wine.configurator_ui_session
           COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/configurator/wine_ui_session.sh ${KESTROVE_WINE_SCRIPT}
                   ${KESTROVE_WINEPREFIX} $<TARGET_FILE:RDPKestroveconfig>
                   ${PROJECT_SOURCE_DIR}/build/host/tests/smtp_peer ${CMAKE_BINARY_DIR}/configurator-ui)
  set_tests_properties(wine.configurator_ui_session PROPERTIES FIXTURES_REQUIRED wine LABELS wine
                                                              RESOURCE_LOCK wine_registry TIMEOUT 300)
endif()
