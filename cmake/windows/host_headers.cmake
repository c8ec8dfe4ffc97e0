# The header-only packages of the build machine, seen by the cross compiler
# through a folder that holds links to them alone.
set(KORVEX_HOST_HEADERS ${CMAKE_BINARY_DIR}/host-headers)
if(NOT EXISTS ${KORVEX_HOST_HEADERS})
  file(MAKE_DIRECTORY ${KORVEX_HOST_HEADERS})
  foreach(entry nlohmann CLI asio asio.hpp)
    if(EXISTS /usr/include/${entry})
      file(CREATE_LINK /usr/include/${entry} ${KORVEX_HOST_HEADERS}/${entry} SYMBOLIC)
    endif()
  endforeach()
endif()
