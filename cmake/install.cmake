# `cmake --install`: public headers, the libraries, a CMake package
# (find_package(marklet COMPONENTS raster x11)), pkg-config files (marklet,
# marklet-x11), the `marklet` tool and its assets.
#
# Components of the install (cmake --install --component): `raster` is the
# engine with the raster host, `x11` the live window host, `tool` the program.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

foreach(dir host control control/about markup render input platform/bag platform/files platform/pixbuf platform/raster platform/trace)
  # The script runner's command groups and the About dialog's embedded bytes
  # are the libraries' own business.
  install(DIRECTORY src/${dir}/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/marklet/${dir}
          COMPONENT raster FILES_MATCHING PATTERN "*.h"
          PATTERN "script_arguments.h" EXCLUDE PATTERN "script_commands.h" EXCLUDE PATTERN "emblem.h" EXCLUDE)
endforeach()

install(TARGETS marklet_host marklet_markup marklet_render marklet_input marklet marklet_files marklet_pixbuf marklet_bag marklet_raster marklet_trace EXPORT markletTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT raster
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT raster)
install(EXPORT markletTargets NAMESPACE marklet:: DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/marklet
        COMPONENT raster)

# The live window host: only the headers a program embedding it includes (the
# forms' drawing and window-manager helpers stay inside the library).
install(FILES src/platform/x11/x11_host.h src/platform/x11/x11_form_host.h src/platform/x11/x11_form.h
              src/platform/x11/tooltip.h src/platform/x11/desktop_open.h
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/marklet/platform/x11 COMPONENT x11)
install(TARGETS marklet_x11 EXPORT markletX11Targets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT x11)
install(EXPORT markletX11Targets NAMESPACE marklet:: DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/marklet
        COMPONENT x11)

# The tool finds its assets relative to its own location, so it runs from a
# moved install or an unpacked package too.
install(TARGETS marklet_tool RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tool)
install(DIRECTORY assets/ DESTINATION ${CMAKE_INSTALL_DATADIR}/marklet COMPONENT tool)

configure_package_config_file(cmake/markletConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/markletConfig.cmake
  INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/marklet)
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/markletConfigVersion.cmake
  COMPATIBILITY SameMinorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/markletConfig.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/markletConfigVersion.cmake
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/marklet COMPONENT raster)

# The pkg-config file finds the prefix from where it lies, so a staged or moved
# install works without overriding `prefix` (which would move every other
# package pkg-config reads in the same call too).
file(RELATIVE_PATH MARKLET_PC_TO_PREFIX
  ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
string(REGEX REPLACE "/$" "" MARKLET_PC_TO_PREFIX "${MARKLET_PC_TO_PREFIX}")
configure_file(cmake/marklet.pc.in ${CMAKE_CURRENT_BINARY_DIR}/marklet.pc @ONLY)
configure_file(cmake/marklet-x11.pc.in ${CMAKE_CURRENT_BINARY_DIR}/marklet-x11.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/marklet.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig
        COMPONENT raster)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/marklet-x11.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig
        COMPONENT x11)
