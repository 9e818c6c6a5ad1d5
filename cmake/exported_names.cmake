# Reads src/client/exported_names.txt (see its head for the format), in a
# project and in script mode alike:
#   vornmt_read_exported_names(FILE NAMES_VAR ALIASES_VAR)
# NAMES_VAR gets the names every platform exports; ALIASES_VAR gets
# "alias=name" pairs, the Visual C++ spellings the Windows DLL adds.
function(vornmt_read_exported_names file names_var aliases_var)
  file(STRINGS "${file}" lines)
  set(names "")
  set(aliases "")
  foreach(line IN LISTS lines)
    string(STRIP "${line}" line)
    if(line STREQUAL "" OR line MATCHES "^#")
      continue()
    endif()
    if(line MATCHES "^([^ \t]+)[ \t]+([^ \t]+)$")
      list(APPEND names "${CMAKE_MATCH_1}")
      list(APPEND aliases "${CMAKE_MATCH_2}=${CMAKE_MATCH_1}")
    elseif(line MATCHES "^([^ \t]+)$")
      list(APPEND names "${CMAKE_MATCH_1}")
    else()
      message(FATAL_ERROR "${file}: cannot read the line '${line}'")
    endif()
  endforeach()
  set(${names_var} "${names}" PARENT_SCOPE)
  set(${aliases_var} "${aliases}" PARENT_SCOPE)
endfunction()

# Writes the ELF version script: the names global, everything else local.
function(vornmt_write_version_script file names)
  set(text "/* Made by CMake from exported_names.txt. */\n{\n  global:\n")
  foreach(name IN LISTS names)
    string(APPEND text "    ${name};\n")
  endforeach()
  string(APPEND text "  local:\n    *;\n};\n")
  _vornmt_write_if_changed("${file}" "${text}")
endfunction()

# Writes the Windows module-definition file: every name, then each alias as
# a second export of the same function. llvm-dlltool makes the Visual C++
# import library from the same file.
function(vornmt_write_module_definition file dll names aliases)
  set(text "; Made by CMake from exported_names.txt.\nLIBRARY ${dll}\nEXPORTS\n")
  foreach(name IN LISTS names)
    string(APPEND text "    ${name}\n")
  endforeach()
  foreach(pair IN LISTS aliases)
    string(REGEX MATCH "^([^=]+)=(.+)$" unused "${pair}")
    string(APPEND text "    \"${CMAKE_MATCH_1}\" = ${CMAKE_MATCH_2}\n")
  endforeach()
  _vornmt_write_if_changed("${file}" "${text}")
endfunction()

# Rewrites a file only when its text changes, so that the library is not
# linked again after every configure.
function(_vornmt_write_if_changed file text)
  file(WRITE "${file}.new" "${text}")
  file(COPY_FILE "${file}.new" "${file}" ONLY_IF_DIFFERENT)
  file(REMOVE "${file}.new")
endfunction()
