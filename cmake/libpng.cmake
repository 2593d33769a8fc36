# libpng, built statically from Debian's source package inside this build.
if(NOT EXISTS ${QUELLIX_LIBPNG_SOURCE}/CMakeLists.txt)
  message(FATAL_ERROR "libpng source not found at ${QUELLIX_LIBPNG_SOURCE}; run scripts/setup-machine.sh")
endif()
# The static zlib, never the import library of zlib1.dll: the exe must run alone.
find_library(ZLIB_LIBRARY NAMES libz.a NO_DEFAULT_PATH PATHS ${CMAKE_FIND_ROOT_PATH}/lib REQUIRED)
find_package(ZLIB REQUIRED)
set(PNG_SHARED OFF CACHE BOOL "" FORCE)
set(PNG_STATIC ON CACHE BOOL "" FORCE)
set(PNG_EXECUTABLES OFF CACHE BOOL "" FORCE)
set(PNG_TESTS OFF CACHE BOOL "" FORCE)
set(SKIP_INSTALL_ALL ON CACHE BOOL "" FORCE)
# Read support only: the program decodes its pictures and never writes one.
set(DFA_XTRA ${CMAKE_CURRENT_LIST_DIR}/pngread.dfa CACHE FILEPATH "" FORCE)
# libpng's build does not see a change of that file: its configuration
# header is made afresh when the file is newer.
set(png_conf ${CMAKE_BINARY_DIR}/libpng/pnglibconf)
if(EXISTS ${png_conf}.h AND ${DFA_XTRA} IS_NEWER_THAN ${png_conf}.h)
  file(REMOVE ${png_conf}.c ${png_conf}.out ${png_conf}.h)
endif()
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${DFA_XTRA})
add_subdirectory(${QUELLIX_LIBPNG_SOURCE} ${CMAKE_BINARY_DIR}/libpng EXCLUDE_FROM_ALL)
target_include_directories(png_static INTERFACE
  ${QUELLIX_LIBPNG_SOURCE} ${CMAKE_BINARY_DIR}/libpng)
# libpng links zlib itself (plain signature).
