# Shipping Velloran.
#
# Windows: `cmake --build <dir> --target dist` zips Velloran.exe,
# velloran-cli.exe and Corvalink.dll side by side; the dialog loads the
# library from its own folder.
#
# Linux: `cpack -G DEB` (from the build folder) makes a .deb with the dialog,
# velloran-cli, the simulator and libcorvalink.so. Printer ports belong to the
# groups dialout (serial) and lp (parallel, USB printers); the package says so
# in /usr/share/doc/velloran/README.Debian instead of changing permissions.

set(VELLORAN_SHIPPED_PROGRAMS velloran velloran-cli)
set(VELLORAN_SHIPPED_LIBRARY corvalink)

if(WIN32)
  if(CMAKE_SYSTEM_PROCESSOR MATCHES "64")
    set(dist_name Velloran-${PROJECT_VERSION}-win64)
  else()
    set(dist_name Velloran-${PROJECT_VERSION}-win32)
  endif()
  set(dist_files)
  set(dist_staged)
  foreach(target ${VELLORAN_SHIPPED_PROGRAMS} ${VELLORAN_SHIPPED_LIBRARY})
    if(TARGET ${target})
      list(APPEND dist_files $<TARGET_FILE:${target}>)
      list(APPEND dist_staged ${CMAKE_BINARY_DIR}/dist/${dist_name}/$<TARGET_FILE_NAME:${target}>)
    else()
      message(STATUS "dist: target ${target} is not part of this build yet")
    endif()
  endforeach()
  set(stage ${CMAKE_BINARY_DIR}/dist)
  add_custom_target(dist
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${stage}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${stage}/${dist_name}
    COMMAND ${CMAKE_COMMAND} -E copy ${dist_files} ${stage}/${dist_name}/
    # The shipped files carry no debugging information.
    COMMAND ${CMAKE_STRIP} --strip-debug ${dist_staged}
    COMMAND ${CMAKE_COMMAND} -E chdir ${stage}
            ${CMAKE_COMMAND} -E tar cf ${CMAKE_BINARY_DIR}/${dist_name}.zip --format=zip ${dist_name}
    COMMAND ${CMAKE_COMMAND} -E echo "dist: ${CMAKE_BINARY_DIR}/${dist_name}.zip"
    VERBATIM)
  foreach(target ${VELLORAN_SHIPPED_PROGRAMS} ${VELLORAN_SHIPPED_LIBRARY})
    if(TARGET ${target})
      add_dependencies(dist ${target})
    endif()
  endforeach()
  return()
endif()

# Linux: what `make install` and the .deb put where.
foreach(target ${VELLORAN_SHIPPED_PROGRAMS} velloran-sim)
  if(TARGET ${target})
    install(TARGETS ${target} RUNTIME DESTINATION bin COMPONENT velloran)
  endif()
endforeach()
if(TARGET ${VELLORAN_SHIPPED_LIBRARY})
  install(TARGETS ${VELLORAN_SHIPPED_LIBRARY} LIBRARY DESTINATION lib COMPONENT velloran)
endif()

set(readme_debian ${CMAKE_BINARY_DIR}/packaging/README.Debian)
file(WRITE ${readme_debian}
"Velloran on Debian
==================

Velloran opens the printer's port directly. The device nodes belong to
groups, and a user who is not in them gets \"access denied\":

  serial ports (/dev/ttyS*, /dev/ttyUSB*, /dev/ttyACM*)   group dialout
  USB printers (/dev/usb/lp*) and parallel ports (/dev/lp*) group lp

Add yourself once and log in again:

  sudo usermod -aG dialout,lp $USER

The Windows names the tools use map to these nodes: COM1-COM32 to
/dev/ttyS0-31, COM33-COM64 to /dev/ttyUSB0-31, COM65-COM96 to /dev/ttyACM0-31,
LPT1 to /dev/lp0. VELLORAN_DEVICE_MAP overrides single names, for example
VELLORAN_DEVICE_MAP=COM5=/dev/serial/by-id/usb-Printer-if00.
")
install(FILES ${readme_debian} DESTINATION share/doc/velloran COMPONENT velloran)

set(CPACK_PACKAGE_NAME velloran)
set(CPACK_PACKAGE_VENDOR "Velloran")
set(CPACK_PACKAGE_CONTACT "Velloran maintainers <velloran@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Printer firmware upgrade through the boot loader (USB, serial, LPT)")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
string(CONCAT CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Replaces the firmware of receipt and label printers through their boot loader.\n"
    "Ships the dialog (velloran), the command-line tool (velloran-cli), the\n"
    "printer simulator (velloran-sim) and the Corvalink transport library.")
find_program(DPKG_SHLIBDEPS dpkg-shlibdeps)
if(DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # libcorvalink.so ships in the same package.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR}/bin)
endif()
include(CPack)
