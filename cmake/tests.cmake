# One test suite, two hosts: natively against the simulated host, and under
# Wine (CMAKE_CROSSCOMPILING_EMULATOR) against the real Win32 backend and the
# built Upgrade.dll.

set(LW_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources (Debian's googletest package)")
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(${LW_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

file(GLOB LW_TEST_SOURCES CONFIGURE_DEPENDS tests/*.cpp)
set(LW_TEST_SUPPORT tests/support/host_common.cpp tests/support/links.cpp)
if(WIN32)
  list(APPEND LW_TEST_SUPPORT tests/support/host_win.cpp)
else()
  list(APPEND LW_TEST_SUPPORT tests/support/host_sim.cpp)
endif()

add_executable(lw_tests ${LW_TEST_SOURCES} ${LW_TEST_SUPPORT})
target_include_directories(lw_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests)
target_link_libraries(lw_tests PRIVATE lwcore GTest::gtest_main)

if(WIN32)
  target_link_options(lw_tests PRIVATE -static -static-libgcc -static-libstdc++)
  target_link_libraries(lw_tests PRIVATE version) # GetFileVersionInfo, for the DLL's own tests
  set_target_properties(lw_tests PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
  add_dependencies(lw_tests Upgrade)
  # One Wine process for the whole suite: a cold start costs seconds.
  add_test(NAME wine.suite COMMAND lw_tests --gtest_color=no)
  # Every Wine test of one arch shares the prefix and its C:\Ledgerwick, so
  # none may run beside another (ctest -j).
  set_tests_properties(wine.suite PROPERTIES TIMEOUT 900 RESOURCE_LOCK lw_wine_prefix)
  add_test(NAME wine.dll_tables
    COMMAND bash ${CMAKE_SOURCE_DIR}/tests/check_dll.sh ${CMAKE_OBJDUMP} $<TARGET_FILE:Upgrade>)
else()
  include(GoogleTest)
  gtest_discover_tests(lw_tests TEST_PREFIX "native." DISCOVERY_TIMEOUT 60)
endif()
