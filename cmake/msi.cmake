# The example MSI package around this build's Upgrade.dll (msitools' wixl,
# which scripts/setup installs), and its runs under Wine's msiexec. Label
# "e2e": each case resets the installation in a prefix the cases share.
find_program(LW_WIXL wixl)
if(NOT LW_WIXL)
  message(WARNING "wixl not found (Debian's wixl package; scripts/setup installs it): no MSI package, no MSI tests")
  return()
endif()

set(LW_MSI_DIR ${CMAKE_BINARY_DIR}/msi)
add_custom_command(
  OUTPUT ${LW_MSI_DIR}/LedgerwickSetup.msi
  COMMAND bash ${CMAKE_SOURCE_DIR}/tests/msi/build_package.sh $<TARGET_FILE:Upgrade> ${LW_MSI_DIR}
  DEPENDS Upgrade ${CMAKE_SOURCE_DIR}/example/LedgerwickSetup.wxs ${CMAKE_SOURCE_DIR}/tests/msi/build_package.sh
  COMMENT "The example MSI package (wixl)")
add_custom_target(msi_package ALL DEPENDS ${LW_MSI_DIR}/LedgerwickSetup.msi)

# Installs the package in-process with an external UI handler that keeps the
# installer's progress sums and can answer cancel (tests/msi/ui_watcher.c).
add_executable(ui_watcher tests/msi/ui_watcher.c)
target_compile_definitions(ui_watcher PRIVATE UNICODE _UNICODE)
target_compile_options(ui_watcher PRIVATE ${LW_WARNINGS})
target_link_libraries(ui_watcher PRIVATE msi)
target_link_options(ui_watcher PRIVATE -municode -static -static-libgcc)
set_target_properties(ui_watcher PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)

foreach(case upgrade bad preview polish)
  add_test(NAME e2e.msi_${case}
    COMMAND bash ${CMAKE_SOURCE_DIR}/tests/msi/msi_e2e.sh ${case} $<TARGET_FILE:Upgrade> ${CMAKE_BINARY_DIR}/e2e)
  set_tests_properties(e2e.msi_${case} PROPERTIES TIMEOUT 400 LABELS e2e RESOURCE_LOCK lw_msi_prefix
                       SKIP_RETURN_CODE 77)
endforeach()
# The install watched by an external UI handler: its progress sums, and a
# cancel answered mid-upgrade that a second install finishes.
foreach(case progress cancel)
  add_test(NAME e2e.msi_ui_${case}
    COMMAND bash ${CMAKE_SOURCE_DIR}/tests/msi/msi_e2e.sh ui_${case} $<TARGET_FILE:Upgrade> ${CMAKE_BINARY_DIR}/e2e
            $<TARGET_FILE:ui_watcher>)
  set_tests_properties(e2e.msi_ui_${case} PROPERTIES TIMEOUT 600 LABELS e2e RESOURCE_LOCK lw_msi_prefix
                       SKIP_RETURN_CODE 77)
endforeach()
