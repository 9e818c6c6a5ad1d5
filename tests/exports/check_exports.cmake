# cmake -DLIBRARY=<shared library> -DFORMAT=elf|pe -DTOOL=<nm or objdump> -P check_exports.cmake
#
# Fails unless the library exports exactly the functions of the public header
# and the copy assignments of its four records. On Windows it also fails when
# the DLL imports anything but Windows' own DLLs: the C++ runtime and
# winpthreads must be linked in, not shipped beside it.

set(expected
  ConnectServer
  DisconnectServer
  SetOnReceivePointFrame
  SetOnReceiveGesture
  SetOnServerBreak
  SetOnReceiveError
  SetOnGetDeviceInfo
  SendRequest
  SendThreshold
  SetRawDataResolution
  GetServerResolution
  GetGestureName
  # Vorn_SDK_MultiTouch::<record>::operator=(<record> const&), both compilers
  # use the Itanium mangling.
  _ZN19Vorn_SDK_MultiTouch10TouchPointaSERKS0_
  _ZN19Vorn_SDK_MultiTouch12TouchGestureaSERKS0_
  _ZN19Vorn_SDK_MultiTouch15TouchDeviceInfoaSERKS0_
  _ZN19Vorn_SDK_MultiTouch18TouchClientRequestaSERKS0_)

# DLLs every Windows system has (compared in upper case).
set(system_dll_pattern "^(KERNEL32|WS2_32|MSVCRT|UCRTBASE|PSAPI|ADVAPI32|USER32|NTDLL|API-MS-WIN-[A-Z0-9-]+)\\.DLL$")

foreach(variable LIBRARY FORMAT TOOL)
  if(NOT ${variable})
    message(FATAL_ERROR "check_exports.cmake needs -D${variable}=...")
  endif()
endforeach()
if(NOT EXISTS "${LIBRARY}")
  message(FATAL_ERROR "${LIBRARY} does not exist; build it first")
endif()

set(exported "")
set(imported "")
if(FORMAT STREQUAL "elf")
  execute_process(COMMAND "${TOOL}" -D --defined-only "${LIBRARY}"
    OUTPUT_VARIABLE listing RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${TOOL} failed on ${LIBRARY}")
  endif()
  string(REPLACE "\n" ";" lines "${listing}")
  foreach(line IN LISTS lines)
    # "<address> <type> <name>[@version]"
    if(line MATCHES "^[0-9a-fA-F]+ +[A-Za-z] +([^@ ]+)")
      list(APPEND exported "${CMAKE_MATCH_1}")
    endif()
  endforeach()
elseif(FORMAT STREQUAL "pe")
  execute_process(COMMAND "${TOOL}" -p "${LIBRARY}"
    OUTPUT_VARIABLE listing RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${TOOL} failed on ${LIBRARY}")
  endif()
  string(REPLACE "\n" ";" lines "${listing}")
  set(in_names FALSE)
  foreach(line IN LISTS lines)
    if(line MATCHES "^\\[Ordinal/Name Pointer\\] Table")
      set(in_names TRUE)
    elseif(in_names AND line MATCHES "^[ \t]*\\[ *[0-9]+\\] +([^ \t]+)")
      list(APPEND exported "${CMAKE_MATCH_1}")
    elseif(in_names)
      set(in_names FALSE)
    endif()
    if(line MATCHES "^[ \t]*DLL Name: +([^ \t]+)")
      list(APPEND imported "${CMAKE_MATCH_1}")
    endif()
  endforeach()
else()
  message(FATAL_ERROR "FORMAT must be elf or pe, not ${FORMAT}")
endif()

set(problems "")
set(missing ${expected})
list(REMOVE_ITEM missing ${exported})
set(unexpected ${exported})
list(REMOVE_ITEM unexpected ${expected})
list(REMOVE_DUPLICATES unexpected)
if(missing)
  list(JOIN missing "\n  " text)
  string(APPEND problems "not exported:\n  ${text}\n")
endif()
if(unexpected)
  list(JOIN unexpected "\n  " text)
  string(APPEND problems "exported but not public API:\n  ${text}\n")
endif()
foreach(dll IN LISTS imported)
  string(TOUPPER "${dll}" upper)
  if(NOT upper MATCHES "${system_dll_pattern}")
    string(APPEND problems "imports ${dll}, which is not a Windows system DLL\n")
  endif()
endforeach()

list(LENGTH exported export_count)
if(problems)
  message(FATAL_ERROR "${LIBRARY}:\n${problems}")
endif()
list(JOIN imported ", " import_text)
message(STATUS "${LIBRARY}: exports the ${export_count} public symbols; imports: ${import_text}")
