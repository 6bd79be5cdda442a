# The end-to-end tests: a real NSIS setup program that carries Upgrade.dll
# calls it under Wine, as integrators will.
add_executable(window_holder tests/e2e/window_holder.cpp)
target_compile_options(window_holder PRIVATE ${LW_WARNINGS})
target_link_options(window_holder PRIVATE -static -static-libgcc -static-libstdc++)
set_target_properties(window_holder PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)

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
