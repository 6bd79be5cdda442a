# Run with cmake -P: makes the import libraries integrators link against,
# from Upgrade.def, for a DLL whose exports are stdcall but undecorated.
#
#   -DDLLTOOL=... -DNM=... -DDEF=Upgrade.def -DCORE=liblwcore.a -DOUT=<folder> -DBITS=32|64
#
# A 32-bit caller compiled against the header asks for _Name@N (stdcall with
# dllimport), while the DLL exports plain Name. The linker's own import
# library (--kill-at) only knows the plain names, so callers would not link;
# here each name gets its @N from the compiled export in the core library,
# and dlltool -k maps that symbol to the plain name in the DLL.
foreach(var DLLTOOL NM DEF CORE OUT BITS)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "import-libs: ${var} not set")
  endif()
endforeach()

file(STRINGS "${DEF}" lines)
set(inside FALSE)
set(names "")
foreach(line IN LISTS lines)
  string(REGEX REPLACE ";.*" "" line "${line}")
  string(STRIP "${line}" line)
  if(line STREQUAL "EXPORTS")
    set(inside TRUE)
  elseif(line MATCHES "^(LIBRARY|NAME|SECTIONS|STACKSIZE|HEAPSIZE|VERSION|DESCRIPTION)( |$)")
    set(inside FALSE)
  elseif(inside AND NOT line STREQUAL "")
    string(REGEX REPLACE "[ \t=@].*" "" name "${line}")
    list(APPEND names "${name}")
  endif()
endforeach()
if(NOT names)
  message(FATAL_ERROR "import-libs: no EXPORTS names in ${DEF}")
endif()

set(exports "")
if(BITS EQUAL 32)
  execute_process(COMMAND "${NM}" -g "${CORE}" OUTPUT_VARIABLE symbols RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "import-libs: ${NM} ${CORE} failed")
  endif()
  foreach(name IN LISTS names)
    if(NOT symbols MATCHES " T _${name}@([0-9]+)\n")
      message(FATAL_ERROR "import-libs: no stdcall definition _${name}@N in ${CORE}")
    endif()
    string(APPEND exports "    ${name}@${CMAKE_MATCH_1}\n")
  endforeach()
  set(kill_at -k)
else()
  foreach(name IN LISTS names)
    string(APPEND exports "    ${name}\n")
  endforeach()
  set(kill_at "")
endif()

file(MAKE_DIRECTORY "${OUT}")
file(WRITE "${OUT}/Upgrade.implib.def" "LIBRARY Upgrade.dll\nEXPORTS\n${exports}")
# The same import members serve both: MinGW's ld finds libUpgrade.dll.a
# with -lUpgrade, other toolchains take Upgrade.lib by name.
foreach(lib libUpgrade.dll.a Upgrade.lib)
  file(REMOVE "${OUT}/${lib}")
  execute_process(COMMAND "${DLLTOOL}" -d "${OUT}/Upgrade.implib.def" -D Upgrade.dll ${kill_at} -l "${OUT}/${lib}"
    RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0 OR NOT EXISTS "${OUT}/${lib}")
    message(FATAL_ERROR "import-libs: ${DLLTOOL} failed for ${lib}")
  endif()
endforeach()
