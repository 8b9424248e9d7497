# What `cmake --install` puts where (GNUInstallDirs):
#   include/tolvaris/*.h                  the public C headers
#   lib/libtolvaris.so.1.0.0 (+ links)     the core library
#   lib/quenmod-<tag>.so                   the add-ons, next to the core
#   bin/tolvaris-run                       the host program
#   share/java/tolvaris-java.jar           the Java classes (natives: lib/)
#   lib/pkgconfig/tolvaris.pc, lib/cmake/tolvaris/  pkg-config and CMake package
# Installed binaries find the installed core through a RUNPATH relative to
# their own place; no build folder is named in them.
#
# Every installed binary is linked with the RUNPATH it keeps: none is
# rewritten at install time. CMake's rewrite makes room for the new text by
# ending the build tree's RUNPATH with ':' (and more of them up to the
# installed text's length), and the loader reads such an empty entry as the
# working directory, so a library dropped where a program is started would
# be loaded in place of the system's. The core and the add-ons sit side by
# side in both trees, so "$ORIGIN" serves them there and here; the host
# program moves from the output folder to bin/, so the installed one is a
# second link of the same objects, kept in install-bin/ of the build tree.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/tolvaris DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
        FILES_MATCHING PATTERN "*.h")
set_target_properties(tolvaris PROPERTIES BUILD_WITH_INSTALL_RPATH ON)
install(TARGETS tolvaris LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})

file(RELATIVE_PATH TV_BIN_TO_LIB ${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}
     ${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR})
add_executable(tolvaris-run-installed $<TARGET_OBJECTS:tolvaris-run_objects>)
target_link_libraries(tolvaris-run-installed PRIVATE tolvaris)
set_target_properties(tolvaris-run-installed PROPERTIES
  OUTPUT_NAME tolvaris-run
  RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/install-bin
  BUILD_WITH_INSTALL_RPATH ON
  INSTALL_RPATH "$ORIGIN/${TV_BIN_TO_LIB}")
install(TARGETS tolvaris-run-installed RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

foreach(tag btc eth atom amo sample)
  if(TARGET quenmod_${tag})
    set_target_properties(quenmod_${tag} PROPERTIES BUILD_WITH_INSTALL_RPATH ON)
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
