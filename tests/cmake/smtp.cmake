# The SMTP sender against a real peer under Wine: the host build makes the
# peer program, each Windows build the test program and the test that runs
# both (the host build comes first in scripts/test-all.sh).
# In 127.0.0.0/16, which no host test process takes (tests/support/loopback.h).
set(KESTROVE_SMTP_PEER_ADDRESS 127.0.2.5)
if(KESTROVE_HOST)
  find_package(Threads REQUIRED)
  add_executable(smtp_peer smtp/smtp_peer_main_host.cpp support/smtp_peer_host.cpp)
  target_include_directories(smtp_peer PRIVATE support)
  target_compile_options(smtp_peer PRIVATE -Wall -Wextra -Werror)
  target_link_libraries(smtp_peer PRIVATE Threads::Threads)
else()
  # The platform tests of Winsock.
  target_link_libraries(platform_tests PRIVATE ws2_32)

  add_executable(smtp_wine_tests smtp/admin_notice_test.cpp)
  target_include_directories(smtp_wine_tests PRIVATE ${PROJECT_SOURCE_DIR} support)
  target_compile_definitions(smtp_wine_tests PRIVATE KESTROVE_SMTP_PEER_ADDRESS="${KESTROVE_SMTP_PEER_ADDRESS}")
  target_link_libraries(smtp_wine_tests PRIVATE kestrove_service gmock gtest_main kestrove_flags)
  add_test(NAME wine.smtp_admin_notice
           COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/smtp/wine_admin_notice.sh ${PROJECT_SOURCE_DIR}/build/host/tests/smtp_peer
                   ${KESTROVE_SMTP_PEER_ADDRESS} ${KESTROVE_WINE_SCRIPT} ${KESTROVE_WINEPREFIX}
                   $<TARGET_FILE:smtp_wine_tests>)
  set_tests_properties(wine.smtp_admin_notice PROPERTIES FIXTURES_REQUIRED wine LABELS wine
                                                         RESOURCE_LOCK wine_registry TIMEOUT 300)
endif()
