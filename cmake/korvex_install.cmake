# Installation as any library is installed: headers, the shared library with
# its soname, the tools, a CMake package (find_package(Korvex) gives
# Korvex::korvex), a pkg-config file, and a .deb built by CPack.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(KORVEX_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Korvex)

install(DIRECTORY include/korvex DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
  FILES_MATCHING PATTERN "*.h")
install(TARGETS korvex EXPORT KorvexTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

# The tools find the library in the lib folder beside their own, wherever the
# tree is installed. The Windows build has no router.
set(KORVEX_TOOLS korvex_cli korvex-pinpad)
if(TARGET korvex-router)
  list(APPEND KORVEX_TOOLS korvex-router)
endif()
set_target_properties(${KORVEX_TOOLS} PROPERTIES
  INSTALL_RPATH "$ORIGIN/../${CMAKE_INSTALL_LIBDIR}")
install(TARGETS ${KORVEX_TOOLS} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# The Python module and its example, for programs that load the library
# with ctypes.
install(FILES python/korvex.py python/example_demo.py
  DESTINATION ${CMAKE_INSTALL_DATADIR}/korvex/python)

# The sample download folder the demo sends to its pad; the demo looks for it
# at ../share/korvex/download from its own folder.
install(DIRECTORY ${CMAKE_BINARY_DIR}/download/Constant
  DESTINATION ${CMAKE_INSTALL_DATADIR}/korvex/download)

install(EXPORT KorvexTargets NAMESPACE Korvex:: DESTINATION ${KORVEX_CMAKE_DIR})
configure_package_config_file(cmake/KorvexConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/KorvexConfig.cmake INSTALL_DESTINATION ${KORVEX_CMAKE_DIR})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/KorvexConfigVersion.cmake
  COMPATIBILITY SameMinorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/KorvexConfig.cmake
  ${CMAKE_CURRENT_BINARY_DIR}/KorvexConfigVersion.cmake DESTINATION ${KORVEX_CMAKE_DIR})

# The prefix is taken from where the file lies, so that an installation moved
# elsewhere (cmake --install --prefix, a staging folder) still compiles.
file(RELATIVE_PATH KORVEX_PC_TO_PREFIX ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig
  ${CMAKE_INSTALL_PREFIX})
string(REGEX REPLACE "/$" "" KORVEX_PC_TO_PREFIX "${KORVEX_PC_TO_PREFIX}")
set(KORVEX_PC_DL_LIBS "")
foreach(lib ${CMAKE_DL_LIBS})
  string(APPEND KORVEX_PC_DL_LIBS " -l${lib}")
endforeach()
configure_file(cmake/korvex.pc.in ${CMAKE_CURRENT_BINARY_DIR}/korvex.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/korvex.pc
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME korvex)
set(CPACK_PACKAGE_VENDOR "Korvex developers")
set(CPACK_PACKAGE_CONTACT "Korvex developers <korvex@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "PIN pad control library for point-of-sale programs, with its tools")
set(CPACK_PACKAGE_INSTALL_DIRECTORY korvex)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION libs)
# The library's and tools' own needs come from their links; the public
# AsioHost header needs the Asio headers to compile against.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libasio-dev")
include(CPack)
