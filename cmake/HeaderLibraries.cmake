# CLI11 and nlohmann-json, header-only Debian packages, as the interface
# target velloran_header_libraries. Each library's own folder is linked into
# the build tree and only that is put on the include path: a cross build for
# Windows sees these headers and nothing else of the host's /usr/include.
include_guard(GLOBAL)

find_path(VELLORAN_CLI11_INCLUDE_DIR CLI/CLI.hpp PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH)
find_path(VELLORAN_JSON_INCLUDE_DIR nlohmann/json.hpp PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH)
if(NOT VELLORAN_CLI11_INCLUDE_DIR OR NOT VELLORAN_JSON_INCLUDE_DIR)
  message(FATAL_ERROR "CLI11 or nlohmann-json not found: install libcli11-dev and nlohmann-json3-dev")
endif()

set(header_dir ${CMAKE_BINARY_DIR}/header-libraries)
file(MAKE_DIRECTORY ${header_dir})
file(CREATE_LINK ${VELLORAN_CLI11_INCLUDE_DIR}/CLI ${header_dir}/CLI SYMBOLIC)
file(CREATE_LINK ${VELLORAN_JSON_INCLUDE_DIR}/nlohmann ${header_dir}/nlohmann SYMBOLIC)

add_library(velloran_header_libraries INTERFACE)
target_include_directories(velloran_header_libraries SYSTEM INTERFACE ${header_dir})
