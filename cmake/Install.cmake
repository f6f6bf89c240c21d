# What `cmake --install` (and `make install PREFIX=...`) puts in place: the
# two libraries with versioned names, the public headers, qxsql and its
# man page, a pkg-config file (qx.pc) and a CMake package (find_package(QX)).
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(QX_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/QX)

# The engine looks for the file engine among the loaded libraries by its
# unversioned name, which the loader resolves through the engine's own
# search path: the file engine's directory in the build tree, the engine's
# directory once installed.
set_target_properties(obsqleng PROPERTIES BUILD_RPATH ${PROJECT_BINARY_DIR}/host INSTALL_RPATH "$ORIGIN")
target_include_directories(obsqleng INTERFACE $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
target_include_directories(obhost32 INTERFACE $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)

file(RELATIVE_PATH qx_bin_to_lib ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_LIBDIR})
set_target_properties(qxsql PROPERTIES INSTALL_RPATH "$ORIGIN/${qx_bin_to_lib}")

install(TARGETS obsqleng obhost32 EXPORT QXTargets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} NAMELINK_COMPONENT Development)
install(TARGETS qxsql RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/include/obsqleng.h ${PROJECT_SOURCE_DIR}/include/obhost.h
              ${PROJECT_SOURCE_DIR}/include/qxhost.h
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(FILES ${PROJECT_SOURCE_DIR}/shell/qxsql.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# The pkg-config file finds its prefix from its own place, so that the
# tree may be installed with --prefix anywhere.
file(RELATIVE_PATH QX_PC_PREFIX ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
string(REGEX REPLACE "/$" "" QX_PC_PREFIX "${QX_PC_PREFIX}")
configure_file(${CMAKE_CURRENT_LIST_DIR}/qx.pc.in ${PROJECT_BINARY_DIR}/qx.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/qx.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

install(EXPORT QXTargets NAMESPACE QX:: DESTINATION ${QX_CMAKE_DIR})
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/QXConfig.cmake.in ${PROJECT_BINARY_DIR}/QXConfig.cmake
                              INSTALL_DESTINATION ${QX_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/QXConfigVersion.cmake COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/QXConfig.cmake ${PROJECT_BINARY_DIR}/QXConfigVersion.cmake
        DESTINATION ${QX_CMAKE_DIR})

# What `make install` builds before installing: the shell (and with it the
# two libraries) and, when it is built here, the ODBC driver.
add_custom_target(qx_installed)
add_dependencies(qx_installed qxsql)
if(TARGET qxodbc)
  add_dependencies(qx_installed qxodbc)
endif()
