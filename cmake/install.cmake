# `cmake --install`: public headers, the libraries, a CMake package
# (find_package(marklet)) and a pkg-config file.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

foreach(dir host control control/about markup render input platform/bag platform/files platform/pixbuf platform/raster platform/trace)
  install(DIRECTORY src/${dir}/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/marklet/${dir}
          FILES_MATCHING PATTERN "*.h")
endforeach()

install(TARGETS marklet_host marklet_markup marklet_render marklet_input marklet marklet_files marklet_pixbuf marklet_bag marklet_raster marklet_trace EXPORT markletTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(TARGETS marklet_tool RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(EXPORT markletTargets NAMESPACE marklet:: DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/marklet)

configure_package_config_file(cmake/markletConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/markletConfig.cmake
  INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/marklet)
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/markletConfigVersion.cmake
  COMPATIBILITY SameMinorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/markletConfig.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/markletConfigVersion.cmake
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/marklet)

# The pkg-config file finds the prefix from where it lies, so a staged or moved
# install works without overriding `prefix` (which would move every other
# package pkg-config reads in the same call too).
file(RELATIVE_PATH MARKLET_PC_TO_PREFIX
  ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
string(REGEX REPLACE "/$" "" MARKLET_PC_TO_PREFIX "${MARKLET_PC_TO_PREFIX}")
configure_file(cmake/marklet.pc.in ${CMAKE_CURRENT_BINARY_DIR}/marklet.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/marklet.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
