# cmake -DSOURCE_DIR=<src> [-DSTAMP=<file>] -P check_layers.cmake
#
# The library's folders are layers: each may include only its own headers
# and those of the layers below it. An include that runs upward fails the
# build here, so the layering cannot erode unnoticed.
cmake_minimum_required(VERSION 3.24)

set(allowed_platform platform)
set(allowed_instrumentation instrumentation)
set(allowed_message message platform)
set(allowed_transport transport message platform instrumentation)
set(allowed_requests requests message platform)
set(allowed_client client transport requests message platform)

set(problems "")
foreach(layer platform instrumentation message transport requests client)
  file(GLOB_RECURSE files "${SOURCE_DIR}/${layer}/*.h" "${SOURCE_DIR}/${layer}/*.cpp")
  foreach(file IN LISTS files)
    file(STRINGS "${file}" includes REGEX "^[ \t]*#[ \t]*include[ \t]+\"[a-z_]+/")
    foreach(line IN LISTS includes)
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]+\"([a-z_]+)/.*" "\\1" target "${line}")
      if(NOT target IN_LIST allowed_${layer})
        file(RELATIVE_PATH shown "${SOURCE_DIR}" "${file}")
        string(APPEND problems "  src/${shown}: ${line} (${layer} may include only: ${allowed_${layer}})\n")
      endif()
    endforeach()
  endforeach()
endforeach()
if(problems)
  message(FATAL_ERROR "includes that run up the library's layers:\n${problems}")
endif()
if(STAMP)
  file(TOUCH "${STAMP}")
endif()
