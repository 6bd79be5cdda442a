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
target_compile_options(lw_tests PRIVATE ${LW_WARNINGS})

if(WIN32)
  target_link_options(lw_tests PRIVATE -static -static-libgcc -static-libstdc++)
  target_link_libraries(lw_tests PRIVATE version) # GetFileVersionInfo, for the DLL's own tests
  set_target_properties(lw_tests PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
  add_dependencies(lw_tests Upgrade)
  # Label "wine": runs under Wine in the suite's prefix (scripts/wine-session);
  # label "static": reads the built files only, so it needs no Wine at all.
  # One Wine process for the whole suite: a cold start costs seconds.
  add_test(NAME wine.suite COMMAND lw_tests --gtest_color=no)
  # Every Wine test of one arch shares the prefix and its C:\Ledgerwick, so
  # none may run beside another (ctest -j).
  set_tests_properties(wine.suite PROPERTIES TIMEOUT 900 RESOURCE_LOCK lw_wine_prefix LABELS wine)
  add_test(NAME static.dll_tables
    COMMAND bash ${CMAKE_SOURCE_DIR}/tests/check_dll.sh ${CMAKE_OBJDUMP} $<TARGET_FILE:Upgrade>)
  set_tests_properties(static.dll_tables PROPERTIES LABELS static)

  # A caller linked against each shipped import library: it must import the
  # DLL's plain names, and (where Wine runs this width) start and call them.
  foreach(lib libUpgrade.dll.a Upgrade.lib)
    string(MAKE_C_IDENTIFIER ${lib} id)
    add_executable(implib_caller_${id} tests/implib/caller.c)
    target_include_directories(implib_caller_${id} PRIVATE ${CMAKE_SOURCE_DIR}/include)
    target_compile_options(implib_caller_${id} PRIVATE ${LW_WARNINGS})
    target_link_libraries(implib_caller_${id} PRIVATE ${LW_IMPLIB_DIR}/${lib})
    target_link_options(implib_caller_${id} PRIVATE -static)
    add_dependencies(implib_caller_${id} Upgrade_implibs)
    set_target_properties(implib_caller_${id} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
    add_test(NAME static.implib_${id}
      COMMAND bash ${CMAKE_SOURCE_DIR}/tests/check_implib.sh ${CMAKE_OBJDUMP} $<TARGET_FILE:implib_caller_${id}>)
    set_tests_properties(static.implib_${id} PROPERTIES LABELS static)
    add_test(NAME wine.implib_${id} COMMAND implib_caller_${id})
    set_tests_properties(wine.implib_${id} PROPERTIES LABELS wine RESOURCE_LOCK lw_wine_prefix)
  endforeach()

  # The guide's C example of the progress export, built as an integrator
  # builds it and run over a small old installation in the suite's prefix:
  # the guide shows the code that passed here.
  add_executable(progress_example docs/examples/progress.c)
  target_include_directories(progress_example PRIVATE ${CMAKE_SOURCE_DIR}/include)
  target_compile_options(progress_example PRIVATE ${LW_WARNINGS})
  target_link_libraries(progress_example PRIVATE ${LW_IMPLIB_DIR}/libUpgrade.dll.a)
  target_link_options(progress_example PRIVATE -static)
  add_dependencies(progress_example Upgrade_implibs)
  set_target_properties(progress_example PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
  add_test(NAME wine.progress_example
    COMMAND bash ${CMAKE_SOURCE_DIR}/tests/implib/progress_test.sh $<TARGET_FILE:progress_example>)
  # 77: a 32-bit build where this machine runs no 32-bit programs.
  set_tests_properties(wine.progress_example PROPERTIES LABELS wine RESOURCE_LOCK lw_wine_prefix
    SKIP_RETURN_CODE 77 TIMEOUT 120)
else()
  include(GoogleTest)
  gtest_discover_tests(lw_tests TEST_PREFIX "native." DISCOVERY_TIMEOUT 60)
  # The floors of the house and the preview layer's place, from the sources.
  add_test(NAME native.layers COMMAND bash ${CMAKE_SOURCE_DIR}/tests/check_layers.sh ${CMAKE_SOURCE_DIR})
endif()
