# The end-to-end tests: a real NSIS setup program that carries Upgrade.dll
# calls it under Wine, as integrators will.
add_executable(window_holder tests/e2e/window_holder.cpp)
target_compile_options(window_holder PRIVATE ${LW_WARNINGS})
target_link_options(window_holder PRIVATE -static -static-libgcc -static-libstdc++)
set_target_properties(window_holder PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
add_executable(progress_watcher tests/e2e/progress_watcher.cpp)
target_compile_options(progress_watcher PRIVATE ${LW_WARNINGS})
target_link_options(progress_watcher PRIVATE -static -static-libgcc -static-libstdc++)
set_target_properties(progress_watcher PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)

# The example's NSIS plug-in that hands the progress callback to the script
# of a 64-bit setup (its System plug-in makes no callbacks). In a folder of
# its own: tests/e2e/layout.sh gives that folder to makensis.
add_library(ProgressBridge SHARED example/ProgressBridge.c)
target_compile_definitions(ProgressBridge PRIVATE UNICODE _UNICODE)
target_compile_options(ProgressBridge PRIVATE ${LW_WARNINGS})
target_link_options(ProgressBridge PRIVATE -static -static-libgcc)
set_target_properties(ProgressBridge PROPERTIES PREFIX "" RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin/nsis-plugins)

# Each width runs its own setup: the 32-bit DLL in a 32-bit setup, the 64-bit
# DLL in a 64-bit one (tests/e2e/setup_e2e.sh picks by the DLL). Label "e2e":
# each makes a prefix of its own, so needs Wine but not the suite's session.
foreach(case upgrade shown running unicode)
  add_test(NAME e2e.setup_${case}
    COMMAND bash ${CMAKE_SOURCE_DIR}/tests/e2e/setup_e2e.sh ${case}
            $<TARGET_FILE:Upgrade> $<TARGET_FILE:window_holder> ${CMAKE_BINARY_DIR}/e2e)
  set_tests_properties(e2e.setup_${case} PROPERTIES TIMEOUT 300 LABELS e2e)
endforeach()

# The example setup's own progress bar rising while the upgrade carries 5,000
# files, read from outside; leaves a screenshot in e2e/progress/progress.png.
add_test(NAME e2e.setup_progress
  COMMAND bash ${CMAKE_SOURCE_DIR}/tests/e2e/progress_e2e.sh
          $<TARGET_FILE:Upgrade> $<TARGET_FILE:progress_watcher> ${CMAKE_BINARY_DIR}/e2e)
# 77: a 32-bit build where this machine runs no 32-bit programs.
set_tests_properties(e2e.setup_progress PROPERTIES TIMEOUT 600 LABELS e2e SKIP_RETURN_CODE 77)
