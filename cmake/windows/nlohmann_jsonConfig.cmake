include(${CMAKE_CURRENT_LIST_DIR}/host_headers.cmake)
if(NOT TARGET nlohmann_json::nlohmann_json)
  add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED GLOBAL)
  set_target_properties(nlohmann_json::nlohmann_json PROPERTIES
    INTERFACE_INCLUDE_DIRECTORIES ${KORVEX_HOST_HEADERS})
endif()
set(nlohmann_json_VERSION 3.11.2)
