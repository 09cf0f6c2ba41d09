# What is installed, in two components that `make package` (cpack -G DEB)
# makes into two Debian packages:
#
#   program      kestravon-stimulus: the program as bin/kestravon-stimulus,
#                its manual page, and the copyright file
#   development  libkestravon-dev: the archives, the public headers (under
#                include/kestravon/, in their own layout), the CMake package
#                (Kestravon::kestravon, ::sdl2, ::win32, ::headless), the
#                pkg-config files kestravon.pc and kestravon-headless.pc
#
# Paths are GNUInstallDirs' (the library directory is the multiarch one on
# Debian, CMakeLists.txt). `cmake --install BUILD --prefix DIR` installs
# both components.
include(CMakePackageConfigHelpers)

# kestravon_gzip(FILE): FILE.gz beside it, as Debian keeps manuals and
# changelogs (-n: the same bytes at every build).
function(kestravon_gzip file)
  execute_process(COMMAND gzip -9nkf ${file} COMMAND_ERROR_IS_FATAL ANY)
endfunction()

# The maintainer named in the packages; the project's address, to be
# changed where the packages are built by someone else.
set(KESTRAVON_MAINTAINER "Kestravon Developers <developers@kestravon.org>"
    CACHE STRING "Maintainer field of the Debian packages")
set(kestravon_program_package kestravon-stimulus)
set(kestravon_dev_package libkestravon-dev)

# The exported targets, and the archives behind them (installed, but no
# targets of the package: the exported ones name them by file).
set(kestravon_exported kestravon)
set(kestravon_archives kestravon_entry)
if(NOT WIN32)
  list(APPEND kestravon_exported kestravon_headless)
  list(APPEND kestravon_archives kestravon_win32_model kestravon_platform_headless_code kestravon_offscreen)
endif()
foreach(backend sdl2 win32)
  if(TARGET kestravon_${backend})
    list(APPEND kestravon_exported kestravon_${backend})
    list(APPEND kestravon_archives kestravon_platform_${backend})
  endif()
endforeach()

# Before anything is written: every file to install is built. A build of
# the program alone (make run) lacks the archives; installing it would stop
# halfway and leave half a prefix behind, so it stops here, saying what to do.
set(kestravon_built)
foreach(target stimulus ${kestravon_exported} ${kestravon_archives})
  if(TARGET ${target})
    get_target_property(type ${target} TYPE)
    if(NOT type STREQUAL "INTERFACE_LIBRARY")
      list(APPEND kestravon_built "$<TARGET_FILE:${target}>")
    endif()
  endif()
endforeach()
install(CODE "foreach(file ${kestravon_built})
  if(NOT EXISTS \"\${file}\")
    get_filename_component(name \"\${file}\" NAME)
    message(FATAL_ERROR \"Kestravon: \${name} is not built, so nothing was installed; build everything first: cmake --build ${PROJECT_BINARY_DIR}\")
  endif()
endforeach()" ALL_COMPONENTS)

# The program's own name on a system is kestravon-stimulus (a bare
# `stimulus` in /usr/bin would say nothing of what it is).
if(TARGET stimulus)
  install(PROGRAMS $<TARGET_FILE:stimulus> DESTINATION ${CMAKE_INSTALL_BINDIR} RENAME kestravon-stimulus
          COMPONENT program)
  if(NOT WIN32)
    file(READ ${PROJECT_SOURCE_DIR}/stimulus/kestravon-stimulus.1 manual)
    file(WRITE ${PROJECT_BINARY_DIR}/package/kestravon-stimulus.1 "${manual}")
    kestravon_gzip(${PROJECT_BINARY_DIR}/package/kestravon-stimulus.1)
    install(FILES ${PROJECT_BINARY_DIR}/package/kestravon-stimulus.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1
            COMPONENT program)
  endif()
endif()

install(TARGETS ${kestravon_exported} EXPORT KestravonTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development
        INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(TARGETS ${kestravon_archives} ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development)

# Stripped when installed stripped (cmake --install --strip, the packages)
# as Debian strips: the program of what it does not need to run, the
# archives of their debugging sections.
function(kestravon_install_strip component options)
  set(files)
  foreach(file ${ARGN})
    list(APPEND files "\"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${file}\"")
  endforeach()
  list(JOIN files " " files)
  install(CODE "if(CMAKE_INSTALL_DO_STRIP)
  execute_process(COMMAND \"${CMAKE_STRIP}\" ${options} --remove-section=.comment --remove-section=.note ${files}
                  COMMAND_ERROR_IS_FATAL ANY)
endif()" COMPONENT ${component})
endfunction()
if(NOT WIN32 AND CMAKE_STRIP)
  if(TARGET stimulus)
    kestravon_install_strip(program --strip-unneeded ${CMAKE_INSTALL_BINDIR}/kestravon-stimulus)
  endif()
  set(archive_files)
  foreach(archive ${kestravon_exported} ${kestravon_archives})
    get_target_property(type ${archive} TYPE)
    if(type STREQUAL "STATIC_LIBRARY")
      list(APPEND archive_files ${CMAKE_INSTALL_LIBDIR}/$<TARGET_FILE_NAME:${archive}>)
    endif()
  endforeach()
  kestravon_install_strip(development "--strip-debug --enable-deterministic-archives" ${archive_files})
endif()

# The public headers: the two a program includes, <kestravon/kestravon.h>
# and <kestravon/offscreen.h>, and whatever they include, in the tree's
# layout below include/kestravon/ so that their relative includes hold.
# Start-up, the options and the session record are the entry function's,
# and stay out.
set(kestravon_include ${CMAKE_INSTALL_INCLUDEDIR}/kestravon)
set(public_headers)
set(pending library/kestravon.h)
if(NOT WIN32)
  list(APPEND pending offscreen/offscreen.h)
endif()
while(pending)
  list(POP_FRONT pending header)
  if(header IN_LIST public_headers)
    continue()
  endif()
  list(APPEND public_headers ${header})
  file(STRINGS ${PROJECT_SOURCE_DIR}/${header} includes REGEX "^#include \"")
  get_filename_component(folder ${header} DIRECTORY)
  foreach(line ${includes})
    string(REGEX REPLACE "^#include \"([^\"]+)\".*" "\\1" included "${line}")
    cmake_path(SET path NORMALIZE "${folder}/${included}")
    list(APPEND pending ${path})
  endforeach()
endwhile()
foreach(header ${public_headers})
  get_filename_component(folder ${header} DIRECTORY)
  install(FILES ${PROJECT_SOURCE_DIR}/${header} DESTINATION ${kestravon_include}/${folder} COMPONENT development)
endforeach()
install(FILES ${PROJECT_BINARY_DIR}/install-include/kestravon.h DESTINATION ${kestravon_include}
        COMPONENT development)
if(NOT WIN32)
  install(FILES ${PROJECT_BINARY_DIR}/install-include/offscreen.h DESTINATION ${kestravon_include}
          COMPONENT development)
endif()

# The CMake package.
set(kestravon_cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/Kestravon)
install(EXPORT KestravonTargets NAMESPACE Kestravon:: DESTINATION ${kestravon_cmake_dir} COMPONENT development)
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/KestravonConfig.cmake.in
                              ${PROJECT_BINARY_DIR}/KestravonConfig.cmake INSTALL_DESTINATION ${kestravon_cmake_dir})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/KestravonConfigVersion.cmake COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/KestravonConfig.cmake ${PROJECT_BINARY_DIR}/KestravonConfigVersion.cmake
        DESTINATION ${kestravon_cmake_dir} COMPONENT development)

# The pkg-config files, for builds without CMake: kestravon.pc (a program
# on SDL2, as Kestravon::sdl2) and kestravon-headless.pc (a routine
# offscreen, as Kestravon::headless). Relocatable: the prefix is found from
# where the file lies.
if(TARGET kestravon_sdl2 AND TARGET kestravon_headless)
  set(pkgconfig_dir ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
  file(RELATIVE_PATH pc_prefix /root/${pkgconfig_dir} /root)
  string(REGEX REPLACE "/$" "" pc_prefix "\${pcfiledir}/${pc_prefix}")
  set(pc_requires "sdl2, opengl")
  if(KESTRAVON_SDL2_USES_X11)
    string(APPEND pc_requires ", x11, xrandr")
  endif()
  set(pc_name kestravon)
  set(pc_description "Visual-psychophysics stimuli: the library, its SDL2 backend and the entry function")
  set(pc_libs "-lkestravon_entry -lkestravon -lkestravon_platform_sdl2 -lkestravon_win32_model")
  configure_file(${PROJECT_SOURCE_DIR}/cmake/kestravon.pc.in ${PROJECT_BINARY_DIR}/package/kestravon.pc @ONLY)
  set(pc_requires "opengl, egl, libpng")
  set(pc_name kestravon-headless)
  set(pc_description "Visual-psychophysics stimuli: a routine run offscreen on Mesa, for tests")
  set(pc_libs "-lkestravon_offscreen -lkestravon -Wl,--whole-archive -lkestravon_platform_headless_code \
-Wl,--no-whole-archive -lkestravon_win32_model")
  configure_file(${PROJECT_SOURCE_DIR}/cmake/kestravon.pc.in ${PROJECT_BINARY_DIR}/package/kestravon-headless.pc @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/package/kestravon.pc ${PROJECT_BINARY_DIR}/package/kestravon-headless.pc
          DESTINATION ${pkgconfig_dir} COMPONENT development)
endif()

# Each package's copyright file (the machine-readable format, with the
# licence from LICENSE) and changelog, in its /usr/share/doc folder.
file(READ ${PROJECT_SOURCE_DIR}/LICENSE license)
string(FIND "${license}" "Permission" start)
string(SUBSTRING "${license}" ${start} -1 license)
string(STRIP "${license}" license)
string(REPLACE "\n\n" "\n.\n" license "${license}")
string(REPLACE "\n" "\n " license "${license}")
set(copyright "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: Kestravon
Upstream-Contact: ${KESTRAVON_MAINTAINER}

Files: *
Copyright: 2026 The Kestravon developers
License: Expat
 ${license}
")
file(WRITE ${PROJECT_BINARY_DIR}/package/copyright "${copyright}")
file(WRITE ${PROJECT_BINARY_DIR}/package/changelog "kestravon (${PROJECT_VERSION}) unstable; urgency=medium

  * First release: the moving-bar program, and the library with its SDL2,
    Win32 and offscreen backends.

 -- ${KESTRAVON_MAINTAINER}  Wed, 09 Dec 2026 00:00:00 +0000
")
kestravon_gzip(${PROJECT_BINARY_DIR}/package/changelog)
foreach(component program development)
  if(component STREQUAL "program")
    set(doc_dir ${CMAKE_INSTALL_DATAROOTDIR}/doc/${kestravon_program_package})
  else()
    set(doc_dir ${CMAKE_INSTALL_DATAROOTDIR}/doc/${kestravon_dev_package})
  endif()
  install(FILES ${PROJECT_BINARY_DIR}/package/copyright ${PROJECT_BINARY_DIR}/package/changelog.gz
          DESTINATION ${doc_dir} COMPONENT ${component})
endforeach()

# The Debian packages.
set(CPACK_PACKAGE_NAME kestravon)
set(CPACK_PACKAGE_VENDOR "The Kestravon developers")
set(CPACK_PACKAGE_CONTACT "${KESTRAVON_MAINTAINER}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL program development)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_PROGRAM_PACKAGE_NAME ${kestravon_program_package})
set(CPACK_DEBIAN_PROGRAM_PACKAGE_SECTION science)
# What the program runs on, found from the program itself (dpkg-shlibdeps).
set(CPACK_DEBIAN_PROGRAM_PACKAGE_SHLIBDEPS ON)
# And what SDL opens itself: GLX (libGL and a driver). The box that reports
# a failure needs X fonts (without them the text goes to standard error).
set(CPACK_DEBIAN_PROGRAM_PACKAGE_DEPENDS "libgl1, libglx-mesa0 | libglx-vendor")
set(CPACK_DEBIAN_PROGRAM_PACKAGE_RECOMMENDS "xfonts-base")
set(CPACK_COMPONENT_PROGRAM_DESCRIPTION "moving-bar visual-psychophysics stimulus
Switches the display to 1024x768 at 60 Hz and shows two rows of red and
green bars flashing along their path around a fixation mark, with an
on-screen console to adjust them. It can record the session's settings and
the timing of every frame as CSV. Whatever ends it, the display gets its
own mode back first.")

set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME ${kestravon_dev_package})
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
# What a program built on the package links, beyond the package itself.
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS
    "libsdl2-dev, libgl-dev, libopengl-dev, libegl-dev, libpng-dev, libx11-dev, libxrandr-dev")
# The offscreen backend renders with Mesa.
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_RECOMMENDS "libegl-mesa0, libgl1-mesa-dri, cmake | pkgconf")
set(CPACK_COMPONENT_DEVELOPMENT_DESCRIPTION "visual-psychophysics stimulus library (development files)
Kestravon is a C++17 library for visual-psychophysics stimuli: a
full-screen canvas switched to the experiment's display mode, frame
presentation with timing accounting, rectangles and text, and variables
adjusted on an on-screen console. A program is one routine linked with
a backend (SDL2 here); its tests run the same routine offscreen on Mesa.
.
This package holds the static libraries, the headers, the CMake package
(Kestravon::sdl2, Kestravon::headless) and the pkg-config files.")
include(CPack)
