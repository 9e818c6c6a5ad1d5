# Writes OUTPUT, a C++ source defining vornmt::tools::view::kViewPage as the
# text of INPUT, so that the view serves its page without any file.
file(READ "${INPUT}" page)
string(FIND "${page}" ")vornmt_page\"" clash)
if(NOT clash EQUAL -1)
  message(FATAL_ERROR "${INPUT} contains the raw string delimiter )vornmt_page\"")
endif()
file(WRITE "${OUTPUT}.tmp"
  "// Generated from page.html by embed_page.cmake; edit page.html instead.\n"
  "#include \"view/view_server.h\"\n\n"
  "namespace vornmt::tools::view {\n\n"
  "const char* const kViewPage = R\"vornmt_page(${page})vornmt_page\";\n\n"
  "}  // namespace vornmt::tools::view\n")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
