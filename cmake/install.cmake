# Installs what a program built on Kestravon needs: the library, the
# backends, the entry function, the public headers (under
# include/kestravon/, with their own layout), the CMake package
# (lib/cmake/Kestravon/) and the program. Also the Debian package
# (cpack -G DEB, `make package`).
include(CMakePackageConfigHelpers)

set(kestravon_targets kestravon kestravon_entry)
if(NOT WIN32)
  list(APPEND kestravon_targets kestravon_win32_model kestravon_platform_headless_code kestravon_platform_headless
       kestravon_offscreen kestravon_headless)
endif()
foreach(target kestravon_platform_sdl2 kestravon_sdl2 kestravon_platform_win32 kestravon_win32)
  if(TARGET ${target})
    list(APPEND kestravon_targets ${target})
  endif()
endforeach()
install(TARGETS ${kestravon_targets} EXPORT KestravonTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
        INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
if(TARGET stimulus)
  install(TARGETS stimulus RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

# The headers keep the tree's layout below include/kestravon/, so that
# their relative includes hold; <kestravon/kestravon.h> and
# <kestravon/offscreen.h> forward into it.
set(kestravon_include ${CMAKE_INSTALL_INCLUDEDIR}/kestravon)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/library/ DESTINATION ${kestravon_include}/library FILES_MATCHING PATTERN "*.h")
install(FILES ${PROJECT_SOURCE_DIR}/platform/platform.h DESTINATION ${kestravon_include}/platform)
install(FILES ${PROJECT_BINARY_DIR}/install-include/kestravon.h DESTINATION ${kestravon_include})
if(NOT WIN32)
  install(FILES ${PROJECT_SOURCE_DIR}/platform/headless/headless.h DESTINATION ${kestravon_include}/platform/headless)
  install(FILES ${PROJECT_SOURCE_DIR}/offscreen/offscreen.h DESTINATION ${kestravon_include}/offscreen)
  install(FILES ${PROJECT_BINARY_DIR}/install-include/offscreen.h DESTINATION ${kestravon_include})
endif()

set(kestravon_cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/Kestravon)
install(EXPORT KestravonTargets NAMESPACE Kestravon:: DESTINATION ${kestravon_cmake_dir})
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/KestravonConfig.cmake.in
                              ${PROJECT_BINARY_DIR}/KestravonConfig.cmake INSTALL_DESTINATION ${kestravon_cmake_dir})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/KestravonConfigVersion.cmake COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/KestravonConfig.cmake ${PROJECT_BINARY_DIR}/KestravonConfigVersion.cmake
        DESTINATION ${kestravon_cmake_dir})

set(CPACK_PACKAGE_NAME kestravon)
set(CPACK_PACKAGE_VENDOR "Kestravon")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Visual-psychophysics stimulus library and the moving-bar program")
set(CPACK_PACKAGE_CONTACT "Kestravon developers <kestravon@localhost>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
# The program's libraries, and what a program built on the package needs.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libsdl2-dev, libgl-dev, libopengl-dev, libegl-dev, libpng-dev, libx11-dev, libxrandr-dev")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
