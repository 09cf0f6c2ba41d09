# The Windows program for labs, from the cross-built one (the `windows`
# external project): an installer, kestravon-stimulus-VERSION-x64.msi
# (msitools' wixl, from kestravon-stimulus.wxs beside this file), and a zip
# of the same files for computers where nothing may be installed. Both in
# the build folder, beside the Debian packages of `make package`.
#
# The program ships as one executable: mingw's runtime is linked statically
# (mingw-w64.cmake), and the package stops if it imports any DLL that is not
# part of Windows itself.
find_program(KESTRAVON_WIXL wixl)
set(windows_stage ${CMAKE_BINARY_DIR}/windows-package/kestravon-stimulus-${PROJECT_VERSION})
set(windows_msi ${CMAKE_BINARY_DIR}/kestravon-stimulus-${PROJECT_VERSION}-x64.msi)
set(windows_zip ${CMAKE_BINARY_DIR}/kestravon-stimulus-${PROJECT_VERSION}-windows-x64.zip)
# The version an installer carries has three numbers.
string(REGEX MATCHALL "[0-9]+" version_numbers "${PROJECT_VERSION}.0.0")
list(SUBLIST version_numbers 0 3 version_numbers)
list(JOIN version_numbers "." windows_msi_version)

find_program(KESTRAVON_MINGW_OBJDUMP NAMES x86_64-w64-mingw32-objdump objdump)
find_program(KESTRAVON_MINGW_STRIP NAMES x86_64-w64-mingw32-strip)

set(windows_exe ${CMAKE_BINARY_DIR}/windows/stimulus/stimulus.exe)
add_custom_command(
  OUTPUT ${windows_stage}/kestravon-stimulus.exe ${windows_stage}/README.md ${windows_stage}/LICENSE.txt
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${windows_stage}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${windows_stage}
  COMMAND ${KESTRAVON_MINGW_STRIP} -o ${windows_stage}/kestravon-stimulus.exe ${windows_exe}
  COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/README.md ${windows_stage}/README.md
  COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/LICENSE ${windows_stage}/LICENSE.txt
  COMMAND ${PROJECT_SOURCE_DIR}/scripts/windows_imports.sh ${KESTRAVON_MINGW_OBJDUMP}
          ${windows_stage}/kestravon-stimulus.exe
  DEPENDS windows ${windows_exe} ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/LICENSE
          ${PROJECT_SOURCE_DIR}/scripts/windows_imports.sh
  COMMENT "Staging the Windows program with its README and licence"
  VERBATIM)

add_custom_command(
  OUTPUT ${windows_zip}
  COMMAND ${CMAKE_COMMAND} -E rm -f ${windows_zip}
  COMMAND ${CMAKE_COMMAND} -E tar cf ${windows_zip} --format=zip kestravon-stimulus-${PROJECT_VERSION}
  WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/windows-package
  DEPENDS ${windows_stage}/kestravon-stimulus.exe ${windows_stage}/README.md ${windows_stage}/LICENSE.txt
  COMMENT "Zipping the Windows program"
  VERBATIM)

if(KESTRAVON_WIXL)
  add_custom_command(
    OUTPUT ${windows_msi}
    COMMAND ${KESTRAVON_WIXL} -a x64 -D Version=${windows_msi_version} -o ${windows_msi}
            ${PROJECT_SOURCE_DIR}/cmake/kestravon-stimulus.wxs
    WORKING_DIRECTORY ${windows_stage}
    DEPENDS ${PROJECT_SOURCE_DIR}/cmake/kestravon-stimulus.wxs ${windows_stage}/kestravon-stimulus.exe
            ${windows_stage}/README.md ${windows_stage}/LICENSE.txt
    COMMENT "Building the Windows installer"
    VERBATIM)
  # Built with everything else: the installer's test under Wine runs it.
  add_custom_target(windows_package ALL DEPENDS ${windows_msi} ${windows_zip})
  set(KESTRAVON_WINDOWS_MSI ${windows_msi})
  set(KESTRAVON_WINDOWS_ZIP ${windows_zip})
else()
  add_custom_target(windows_package
    COMMAND ${CMAKE_COMMAND} -E echo "The Windows installer needs wixl: install msitools (scripts/setup.sh does)."
    COMMAND ${CMAKE_COMMAND} -E false
    DEPENDS ${windows_zip}
    VERBATIM)
endif()
