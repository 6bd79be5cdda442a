# The end-to-end tests: a real NSIS setup program that carries Upgrade.dll
# calls it under Wine, as integrators will.
add_executable(window_holder tests/e2e/window_holder.cpp)
target_link_options(window_holder PRIVATE -static -static-libgcc -static-libstdc++)
set_target_properties(window_holder PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)

if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  # Setup programs are 32-bit; so is the DLL they carry.
  foreach(case upgrade running)
    add_test(NAME wine.setup_${case}
      COMMAND bash ${CMAKE_SOURCE_DIR}/tests/e2e/setup_e2e.sh ${case}
              $<TARGET_FILE:Upgrade> $<TARGET_FILE:window_holder> ${CMAKE_BINARY_DIR}/e2e)
    set_tests_properties(wine.setup_${case} PROPERTIES TIMEOUT 300)
  endforeach()
endif()
