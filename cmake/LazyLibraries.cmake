# molarix shows its access check before it opens any practice, so it does
# not load the file engine (SQLCipher and the OpenSSL it uses), the Jet
# reader, Qt's print support and the JPEG reader at start-up: it calls them
# through trampolines made by Implib.so (third_party/implib), which load a
# library with dlopen on the first call of one of its functions
# (app/lazylibraries.cpp). Every other program links them as usual.
#
#   molarix_load_lazily(TARGET LIB...)
#
# LIB are full paths of shared libraries. Only the functions that the
# program's static libraries call get a trampoline: the symbol lists are
# made from those libraries at build time, so a new call is picked up
# without a list to keep.
#
# Run as a script (cmake -P), it writes one library's trampolines:
#   -DLIBRARY= -DARCHIVES=a|b -DOUT= -DPYTHON= -DGENERATOR= -DNM=

if(CMAKE_SCRIPT_MODE_FILE)
  cmake_minimum_required(VERSION 3.25)
  execute_process(COMMAND ${NM} -D --defined-only --format=just-symbols ${LIBRARY}
                  OUTPUT_VARIABLE _exported COMMAND_ERROR_IS_FATAL ANY)
  string(REPLACE "|" ";" ARCHIVES "${ARCHIVES}")
  execute_process(COMMAND ${NM} -u --format=just-symbols ${ARCHIVES}
                  OUTPUT_VARIABLE _called COMMAND_ERROR_IS_FATAL ANY)
  string(REGEX REPLACE "@[^\n]*" "" _exported "${_exported}")
  string(REPLACE "\n" ";" _exported "${_exported}")
  string(REPLACE "\n" ";" _called "${_called}")
  # Qt's print support is the one C++ library: its names only, the C
  # libraries export none.
  if(NOT LIBRARY MATCHES "libQt6PrintSupport")
    list(FILTER _called EXCLUDE REGEX "^_Z")
  endif()
  list(REMOVE_DUPLICATES _called)
  set(_wanted)
  foreach(_s IN LISTS _called)
    if(_s AND _s IN_LIST _exported)
      string(APPEND _wanted "${_s}\n")
    endif()
  endforeach()
  get_filename_component(_name ${LIBRARY} NAME)
  file(MAKE_DIRECTORY ${OUT})
  file(WRITE ${OUT}/${_name}.symbols "${_wanted}")
  execute_process(COMMAND ${PYTHON} ${GENERATOR} --quiet --target x86_64-linux-gnu
                          --dlopen-callback=molarix_load_library --dlsym-callback=molarix_find_function
                          --symbol-list ${OUT}/${_name}.symbols --outdir ${OUT} ${LIBRARY}
                  RESULT_VARIABLE _failed ERROR_VARIABLE _said)
  # Its warning on data symbols is for every build: a data symbol called
  # would fail the link anyway.
  if(_failed)
    message(FATAL_ERROR "${_said}")
  endif()
  return()
endif()

# The trampolines are written for x86-64; elsewhere the libraries stay linked.
if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64)$" AND CMAKE_SYSTEM_NAME STREQUAL "Linux")
  find_package(Python3 COMPONENTS Interpreter)
  if(Python3_FOUND)
    set(MOLARIX_LAZY_LIBRARIES ON)
    enable_language(C ASM)
  else()
    message(WARNING "python3 is missing (scripts/deps.sh installs it): molarix loads its file engine at start-up")
  endif()
endif()

# Linked by every program but one that sets the target property
# MOLARIX_LAZY_LIBRARIES.
function(molarix_eager_only out)
  set(_items)
  foreach(_lib IN LISTS ARGN)
    list(APPEND _items "$<$<NOT:$<BOOL:$<TARGET_PROPERTY:MOLARIX_LAZY_LIBRARIES>>>:${_lib}>")
  endforeach()
  set(${out} ${_items} PARENT_SCOPE)
endfunction()

function(molarix_load_lazily target)
  if(NOT MOLARIX_LAZY_LIBRARIES)
    return()
  endif()
  set(_out ${CMAKE_BINARY_DIR}/lazy/${target})
  set(_archives $<TARGET_FILE:molarix_data> $<TARGET_FILE:molarix_gui>)
  set(_archive_list "$<TARGET_FILE:molarix_data>|$<TARGET_FILE:molarix_gui>")
  set(_sources)
  foreach(_lib IN LISTS ARGN)
    get_filename_component(_name ${_lib} NAME)
    set(_generated ${_out}/${_name}.tramp.S ${_out}/${_name}.init.c)
    add_custom_command(
      OUTPUT ${_generated}
      COMMAND ${CMAKE_COMMAND} -DLIBRARY=${_lib} "-DARCHIVES=${_archive_list}" -DOUT=${_out}
              -DPYTHON=${Python3_EXECUTABLE} -DGENERATOR=${CMAKE_SOURCE_DIR}/third_party/implib/implib-gen.py
              -DNM=${CMAKE_NM} -P ${CMAKE_SOURCE_DIR}/cmake/LazyLibraries.cmake
      DEPENDS molarix_data molarix_gui ${_archives} ${_lib} ${CMAKE_SOURCE_DIR}/cmake/LazyLibraries.cmake
              ${CMAKE_SOURCE_DIR}/third_party/implib/implib-gen.py
      COMMENT "Trampolines for ${_name}"
      VERBATIM)
    list(APPEND _sources ${_generated})
  endforeach()
  # Generated code: not held to the house warnings, nor instrumented (the
  # sanitizers would write its build folder's path into the program).
  set_source_files_properties(${_sources} PROPERTIES COMPILE_OPTIONS "-w;-fno-sanitize=all")
  target_sources(${target} PRIVATE ${_sources})
  set_target_properties(${target} PROPERTIES MOLARIX_LAZY_LIBRARIES ON)
  target_link_libraries(${target} PRIVATE ${CMAKE_DL_LIBS})
endfunction()
