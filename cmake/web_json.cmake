# nlohmann/json for the browser build. Emscripten's toolchain looks for
# packages only in its own sysroot, and the system's include directory must
# not join a wasm build (its C library headers are the host's). The library
# is one header tree: a copy of it in the build tree, behind the same target
# name the native build finds, serves every find_package of it.
find_path(ORLIX_JSON_HEADER_DIR nlohmann/json.hpp PATHS /usr/include /usr/local/include
          NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
if(NOT ORLIX_JSON_HEADER_DIR)
  message(FATAL_ERROR "nlohmann/json.hpp not found: apt-get install nlohmann-json3-dev")
endif()
set(_orlix_json_copy ${CMAKE_BINARY_DIR}/web-json)
file(COPY ${ORLIX_JSON_HEADER_DIR}/nlohmann DESTINATION ${_orlix_json_copy}/include)
file(WRITE ${_orlix_json_copy}/nlohmann_jsonConfig.cmake "
if(NOT TARGET nlohmann_json::nlohmann_json)
  add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
  set_target_properties(nlohmann_json::nlohmann_json PROPERTIES
                        INTERFACE_INCLUDE_DIRECTORIES ${_orlix_json_copy}/include)
endif()
")
file(WRITE ${_orlix_json_copy}/nlohmann_jsonConfigVersion.cmake "
set(PACKAGE_VERSION 3)
if(NOT PACKAGE_FIND_VERSION OR PACKAGE_FIND_VERSION_MAJOR EQUAL 3)
  set(PACKAGE_VERSION_COMPATIBLE TRUE)
endif()
")
set(nlohmann_json_DIR ${_orlix_json_copy} CACHE PATH "" FORCE)
