# What `cmake --install` puts where (GNUInstallDirs):
#   include/tolvaris/*.h                  the public C headers
#   lib/libtolvaris.so.1.0.0 (+ links)     the core library
#   lib/quenmod-<tag>.so                   the add-ons, next to the core
#   bin/tolvaris-run                       the host program
#   share/java/tolvaris-java.jar           the Java classes (natives: lib/)
#   lib/pkgconfig/tolvaris.pc, lib/cmake/tolvaris/  pkg-config and CMake package
# Installed binaries find the installed core through a RUNPATH relative to
# their own place; no build folder is named in them.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/tolvaris DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
        FILES_MATCHING PATTERN "*.h")
install(TARGETS tolvaris LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})

file(RELATIVE_PATH TV_BIN_TO_LIB ${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}
     ${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR})
set_target_properties(tolvaris-run PROPERTIES INSTALL_RPATH "$ORIGIN/${TV_BIN_TO_LIB}")
install(TARGETS tolvaris-run RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

foreach(tag btc eth atom amo sample)
  if(TARGET quenmod_${tag})
    install(TARGETS quenmod_${tag} LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
  endif()
endforeach()

if(TARGET tolvaris_java)
  install_jar(tolvaris_java DESTINATION ${CMAKE_INSTALL_DATADIR}/java)
endif()

# Both files locate the prefix from their own place, so an install under
# another --prefix (or a copied tree) still finds its library.
file(RELATIVE_PATH TV_PC_TO_PREFIX ${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
string(REGEX REPLACE "/$" "" TV_PC_TO_PREFIX "${TV_PC_TO_PREFIX}")
configure_file(${PROJECT_SOURCE_DIR}/cmake/tolvaris.pc.in ${CMAKE_BINARY_DIR}/tolvaris.pc @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/tolvaris.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

set(TV_CONFIG_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/tolvaris)
file(RELATIVE_PATH TV_CONFIG_TO_PREFIX ${CMAKE_INSTALL_PREFIX}/${TV_CONFIG_DIR} ${CMAKE_INSTALL_PREFIX})
string(REGEX REPLACE "/$" "" TV_CONFIG_TO_PREFIX "${TV_CONFIG_TO_PREFIX}")
set(TV_LIBRARY_FILE libtolvaris.so.${PROJECT_VERSION})
set(TV_LIBRARY_SONAME libtolvaris.so.${PROJECT_VERSION_MAJOR})
configure_file(${PROJECT_SOURCE_DIR}/cmake/tolvarisConfig.cmake.in ${CMAKE_BINARY_DIR}/tolvarisConfig.cmake @ONLY)
write_basic_package_version_file(${CMAKE_BINARY_DIR}/tolvarisConfigVersion.cmake COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/tolvarisConfig.cmake ${CMAKE_BINARY_DIR}/tolvarisConfigVersion.cmake
        DESTINATION ${TV_CONFIG_DIR})
