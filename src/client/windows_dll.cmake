# VornMTClient.dll, built by MinGW-w64 for MinGW and Visual C++ applications
# alike. Included from src/CMakeLists.txt on MinGW builds.
#
# - The module-definition file exports the listed names and, under their
#   Visual C++ spellings, the records' copy assignments a second time.
# - libVornMTClient.dll.a (GNU) and VornMTClient.lib (Visual C++ short
#   import format, made by llvm-dlltool) both import from it.
# - A version resource says what the file is in Explorer and to installers.
# - The DLL is linked with DWARF debug information (for gdb) and a PDB of
#   its public symbols (for Visual Studio and WinDbg). Installing splits the
#   DWARF into VornMTClient.dll.debug and strips the DLL.

set_target_properties(VornMTClient PROPERTIES PREFIX "" IMPORT_PREFIX "lib")

set(vornmt_def ${CMAKE_CURRENT_BINARY_DIR}/VornMTClient.def)
vornmt_write_module_definition(${vornmt_def} VornMTClient.dll
  "${vornmt_exported_names}" "${vornmt_exported_aliases}")

set(VORNMT_VERSION_COMMA ${PROJECT_VERSION_MAJOR},${PROJECT_VERSION_MINOR},${PROJECT_VERSION_PATCH},0)
configure_file(${CMAKE_CURRENT_SOURCE_DIR}/client/version.rc.in ${CMAKE_CURRENT_BINARY_DIR}/VornMTClient.rc @ONLY)

set(vornmt_pdb ${CMAKE_CURRENT_BINARY_DIR}/VornMTClient.pdb)
target_sources(VornMTClient PRIVATE ${vornmt_def} ${CMAKE_CURRENT_BINARY_DIR}/VornMTClient.rc)
# Only what the definition file lists leaves the DLL, never the runtime's
# own symbols.
target_link_options(VornMTClient PRIVATE -Wl,--exclude-all-symbols -Wl,--pdb=${vornmt_pdb})
set_property(TARGET VornMTClient APPEND PROPERTY ADDITIONAL_CLEAN_FILES ${vornmt_pdb})

find_program(VORNMT_LLVM_DLLTOOL NAMES llvm-dlltool llvm-dlltool-16 llvm-dlltool-15 llvm-dlltool-14
  DOC "llvm-dlltool, which makes the Visual C++ import library")
set(vornmt_msvc_implib ${CMAKE_CURRENT_BINARY_DIR}/VornMTClient.lib)
if(VORNMT_LLVM_DLLTOOL)
  add_custom_command(OUTPUT ${vornmt_msvc_implib}
    COMMAND ${VORNMT_LLVM_DLLTOOL} -m i386:x86-64 -d ${vornmt_def} -D VornMTClient.dll -l ${vornmt_msvc_implib}
    DEPENDS ${vornmt_def}
    COMMENT "Visual C++ import library VornMTClient.lib")
  add_custom_target(VornMTClient_msvc_import_library ALL DEPENDS ${vornmt_msvc_implib})
  install(FILES ${vornmt_msvc_implib} DESTINATION ${CMAKE_INSTALL_LIBDIR})
else()
  message(WARNING "llvm-dlltool not found: VornMTClient.lib (for Visual C++ applications) is not made")
endif()

install(FILES ${vornmt_pdb} DESTINATION ${CMAKE_INSTALL_BINDIR})
