# Shipping Velloran.
#
# Windows: `cmake --build <dir> --target dist` zips Velloran.exe,
# velloran-cli.exe and Corvalink.dll side by side; the dialog loads the
# library from its own folder. With makensis installed, the target
# `installer` makes a setup program of the same three files
# (packaging/windows/velloran.nsi).
#
# Linux: the install rules below put each file in a component, one Debian
# package each; scripts/build-packages.sh builds the packages from a full
# build with dpkg-deb:
#   velloran-cli       the command-line tool, its bash completion and the
#                      udev rule that opens the supported USB printers to the
#                      user at the seat
#   velloran           the dialog, its menu entry and icon
#   velloran-sim       the simulated printer and the sample image
#   libcorvalink1      the transport library libcorvalink.so.1
#   libcorvalink-dev   its header, pkg-config file and libcorvalink.so
# The man pages are made by help2man from the programs' own --help.

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

  # The setup program, from the files that dist staged.
  find_program(VELLORAN_MAKENSIS makensis)
  if(VELLORAN_MAKENSIS)
    string(REGEX MATCH "win(32|64)$" arch ${dist_name})
    add_custom_target(installer
      COMMAND ${VELLORAN_MAKENSIS} -V2 -DVERSION=${PROJECT_VERSION} -DARCH=${arch}
              -DFILES=${stage}/${dist_name} -DICON=${PROJECT_SOURCE_DIR}/app/win32/velloran.ico
              -DOUTFILE=${CMAKE_BINARY_DIR}/${dist_name}-setup.exe
              ${PROJECT_SOURCE_DIR}/packaging/windows/velloran.nsi
      COMMAND ${CMAKE_COMMAND} -E echo "installer: ${CMAKE_BINARY_DIR}/${dist_name}-setup.exe"
      VERBATIM)
    add_dependencies(installer dist)
  else()
    message(STATUS "installer: makensis (Debian package nsis) is missing")
  endif()
  return()
endif()

# Linux: what `cmake --install` puts where, by package.
set(packaging ${PROJECT_SOURCE_DIR}/packaging/linux)
if(CMAKE_LIBRARY_ARCHITECTURE)
  set(CORVALINK_LIBDIR lib/${CMAKE_LIBRARY_ARCHITECTURE})
else()
  set(CORVALINK_LIBDIR lib)
endif()

set(component_velloran-cli cli)
set(component_velloran dialog)
set(component_velloran-sim sim)
foreach(program velloran-cli velloran velloran-sim)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION bin COMPONENT ${component_${program}})
  endif()
endforeach()
if(TARGET ${VELLORAN_SHIPPED_LIBRARY})
  # Shared libraries are not executable on Debian.
  install(TARGETS ${VELLORAN_SHIPPED_LIBRARY}
          LIBRARY DESTINATION ${CORVALINK_LIBDIR}
                  PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ
                  COMPONENT library NAMELINK_COMPONENT development)
  # The header and the two platform headers whose types it uses.
  install(FILES ${PROJECT_SOURCE_DIR}/transport/corvalink.h
                ${PROJECT_SOURCE_DIR}/platform/win32_winsock.h
                ${PROJECT_SOURCE_DIR}/platform/win32_base.h
          DESTINATION include/corvalink COMPONENT development)
  configure_file(${packaging}/corvalink.pc.in ${CMAKE_BINARY_DIR}/packaging/corvalink.pc @ONLY)
  install(FILES ${CMAKE_BINARY_DIR}/packaging/corvalink.pc
          DESTINATION ${CORVALINK_LIBDIR}/pkgconfig COMPONENT development)
endif()

install(FILES ${packaging}/velloran-cli.bash-completion RENAME velloran-cli
        DESTINATION share/bash-completion/completions COMPONENT cli)
# Debian 12's udev reads the packaged rules from /lib/udev/rules.d.
install(FILES ${packaging}/70-velloran.rules DESTINATION /lib/udev/rules.d COMPONENT cli)
install(FILES ${packaging}/velloran-cli.metainfo.xml DESTINATION share/metainfo COMPONENT cli)
install(FILES ${packaging}/README.Debian DESTINATION share/doc/velloran-cli COMPONENT cli)
install(FILES ${packaging}/velloran.desktop DESTINATION share/applications COMPONENT dialog)
install(FILES ${PROJECT_SOURCE_DIR}/sim/sample/demo.upd DESTINATION share/velloran-sim COMPONENT sim)
# The Ansible collection, where ansible-core looks without configuration.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/ansible/ansible_collections/velloran/printer/
        DESTINATION share/ansible/collections/ansible_collections/velloran/printer COMPONENT ansible
        PATTERN __pycache__ EXCLUDE)

# The menu icon: the sizes of the Windows program's icon, as PNG files.
find_program(VELLORAN_CONVERT convert)
if(TARGET velloran AND VELLORAN_CONVERT)
  set(icon_files)
  set(frame 0)
  foreach(size 16 32 48)
    set(png ${CMAKE_BINARY_DIR}/packaging/icons/${size}x${size}/velloran.png)
    add_custom_command(OUTPUT ${png}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging/icons/${size}x${size}
      COMMAND ${VELLORAN_CONVERT} "${PROJECT_SOURCE_DIR}/app/win32/velloran.ico[${frame}]"
              -strip -define png:exclude-chunks=date,time ${png}
      DEPENDS ${PROJECT_SOURCE_DIR}/app/win32/velloran.ico VERBATIM)
    install(FILES ${png} DESTINATION share/icons/hicolor/${size}x${size}/apps COMPONENT dialog)
    list(APPEND icon_files ${png})
    math(EXPR frame "${frame} + 1")
  endforeach()
  add_custom_target(velloran-icons ALL DEPENDS ${icon_files})
elseif(TARGET velloran)
  message(STATUS "packaging: no menu icon (ImageMagick's convert is missing)")
endif()

# Man pages from each program's --help, so that they say what the program says.
find_program(VELLORAN_HELP2MAN help2man)
if(VELLORAN_HELP2MAN)
  set(man_velloran-cli "replace a printer's firmware through its boot loader, from a terminal")
  set(man_velloran "dialog that replaces a printer's firmware through its boot loader")
  set(man_velloran-sim "simulated printer boot loader on a pseudo-terminal")
  set(man_commands_velloran-cli upgrade ports info)
  set(man_pages)
  foreach(program velloran-cli velloran velloran-sim)
    if(NOT TARGET ${program})
      continue()
    endif()
    set(page ${CMAKE_BINARY_DIR}/packaging/man/${program}.1)
    set(includes --include=${packaging}/see-also.h2m)
    set(include_commands)
    if(man_commands_${program})
      # Each command's own --help, in a COMMANDS section.
      set(commands_h2m ${CMAKE_BINARY_DIR}/packaging/man/${program}-commands.h2m)
      list(APPEND includes --include=${commands_h2m})
      string(REPLACE ";" "," commands "${man_commands_${program}}")
      set(include_commands COMMAND ${CMAKE_COMMAND} -E env LC_ALL=C.UTF-8 ${CMAKE_COMMAND} -DPROGRAM=$<TARGET_FILE:${program}>
          -DCOMMANDS=${commands} -DOUTPUT=${commands_h2m} -P ${PROJECT_SOURCE_DIR}/cmake/ManPageCommands.cmake)
    endif()
    add_custom_command(OUTPUT ${page}.gz
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging/man
      ${include_commands}
      # The help speaks the locale's language; the man pages are English.
      COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen LC_ALL=C.UTF-8
              ${VELLORAN_HELP2MAN} --no-info --version-string=${PROJECT_VERSION}
              --name=${man_${program}} ${includes}
              --output=${page} $<TARGET_FILE:${program}>
      COMMAND gzip -9nf ${page}
      DEPENDS ${program} ${packaging}/see-also.h2m ${PROJECT_SOURCE_DIR}/cmake/ManPageCommands.cmake VERBATIM)
    install(FILES ${page}.gz DESTINATION share/man/man1 COMPONENT ${component_${program}})
    list(APPEND man_pages ${page}.gz)
  endforeach()
  add_custom_target(velloran-man-pages ALL DEPENDS ${man_pages})
else()
  message(STATUS "packaging: no man pages (help2man is missing)")
endif()
