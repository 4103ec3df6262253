# What an install holds besides the tools and the library: the CMake package
# (find_package(boards) gives boards::board and boards::board_static), the
# pkg-config file, the manual pages and the bash completion. The Debian packages are made by
# debian/ (dpkg-buildpackage).
include(CMakePackageConfigHelpers)

set(BOARDS_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/boards)
install(EXPORT boardsTargets NAMESPACE boards::
        DESTINATION ${BOARDS_CMAKE_DIR})
configure_package_config_file(
  ${PROJECT_SOURCE_DIR}/cmake/boardsConfig.cmake.in
  ${PROJECT_BINARY_DIR}/boardsConfig.cmake
  INSTALL_DESTINATION ${BOARDS_CMAKE_DIR})
write_basic_package_version_file(
  ${PROJECT_BINARY_DIR}/boardsConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/boardsConfig.cmake
              ${PROJECT_BINARY_DIR}/boardsConfigVersion.cmake
        DESTINATION ${BOARDS_CMAKE_DIR})

# The pkg-config file names the prefix the install goes to (cmake --install
# --prefix, or CMAKE_INSTALL_PREFIX under DESTDIR) as it is, so that the
# paths pkg-config gives are plain ones (-I/usr/include).
install(CODE "
  set(BOARDS_PC_PREFIX \${CMAKE_INSTALL_PREFIX})
  set(BOARDS_PC_LIBDIR ${CMAKE_INSTALL_LIBDIR})
  set(BOARDS_PC_INCLUDEDIR ${CMAKE_INSTALL_INCLUDEDIR})
  set(BOARDS_PC_VERSION ${PROJECT_VERSION})
  configure_file(${PROJECT_SOURCE_DIR}/cmake/boards.pc.in
                 ${PROJECT_BINARY_DIR}/boards.pc @ONLY)")
install(FILES ${PROJECT_BINARY_DIR}/boards.pc
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

foreach(page trackgen.1 trackcopy.1 trackcheck.1 trackdump.1 trackbuild.1
             trackedit.1 board.5 libboard.3)
  string(REGEX REPLACE ".*\\." "" section ${page})
  install(FILES ${PROJECT_SOURCE_DIR}/man/${page}
          DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section})
endforeach()

# Bash completion, under each tool's name, where bash-completion looks.
foreach(tool trackgen trackcopy trackcheck trackdump trackbuild trackedit)
  install(FILES ${PROJECT_SOURCE_DIR}/completion/boards.bash
          DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
          RENAME ${tool})
endforeach()
