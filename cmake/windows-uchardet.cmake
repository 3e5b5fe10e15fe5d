# The code-page detector for the Windows build: uchardet, which Debian ships
# for Linux only. A cross build makes it from Debian's source package with
# scripts/build-uchardet-mingw, once per build folder (kept in
# BUILD/uchardet-mingw); VANTELO_UCHARDET_PREFIX names a prefix that has it
# already. Without it the build goes on: legacy entry names are then read in
# the system's OEM code page and the detection tests are skipped.
# Defines the imported target vantelo_uchardet when the library is there, and
# VANTELO_UCHARDET_COPYRIGHT, its copyright and licence terms.
option(VANTELO_WINDOWS_UCHARDET "Build uchardet for Windows from Debian's source package" ON)
set(VANTELO_UCHARDET_PREFIX ${CMAKE_BINARY_DIR}/uchardet-mingw
    CACHE PATH "Where uchardet for Windows is (include/uchardet/uchardet.h, lib/libuchardet.a)")

set(_uchardet_library ${VANTELO_UCHARDET_PREFIX}/lib/libuchardet.a)
# Debian's copyright file of the source package, shipped beside the program.
set(VANTELO_UCHARDET_COPYRIGHT ${VANTELO_UCHARDET_PREFIX}/share/doc/uchardet/copyright)
if(VANTELO_WINDOWS_UCHARDET AND CMAKE_CROSSCOMPILING AND MINGW
   AND NOT (EXISTS ${_uchardet_library} AND EXISTS ${VANTELO_UCHARDET_COPYRIGHT}))
  message(STATUS "Building uchardet for Windows from Debian's source package")
  execute_process(
    COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/scripts/build-uchardet-mingw ${VANTELO_UCHARDET_PREFIX}
            ${CMAKE_CURRENT_LIST_DIR}/mingw-w64-x86_64.cmake
    RESULT_VARIABLE _uchardet_result)
endif()

if(VANTELO_WINDOWS_UCHARDET AND EXISTS ${_uchardet_library} AND EXISTS ${VANTELO_UCHARDET_COPYRIGHT})
  add_library(vantelo_uchardet STATIC IMPORTED)
  set_target_properties(vantelo_uchardet PROPERTIES
    IMPORTED_LOCATION ${_uchardet_library}
    INTERFACE_INCLUDE_DIRECTORIES ${VANTELO_UCHARDET_PREFIX}/include)
  message(STATUS "Code-page detector for Windows: ${_uchardet_library}")
elseif(NOT VANTELO_WINDOWS_UCHARDET)
  message(STATUS "No code-page detector for Windows (VANTELO_WINDOWS_UCHARDET is off): "
                 "legacy entry names are read in the system's OEM code page.")
else()
  message(WARNING "No code-page detector for Windows (uchardet could not be built): "
                  "legacy entry names are read in the system's OEM code page, and the "
                  "detection tests are skipped.")
endif()
