# Velloran.exe: the dialog logic shown as a plain Win32 dialog built from
# template 102 of app/win32/velloran.rc.

# windres reads the resource script in code page 936, like the program's
# texts; the script is kept in UTF-8 and converted on the way.
find_program(VELLORAN_ICONV iconv REQUIRED)
set(rc_source ${CMAKE_CURRENT_SOURCE_DIR}/win32/velloran.rc)
set(rc_cp936 ${CMAKE_CURRENT_BINARY_DIR}/velloran.cp936.rc)
set(rc_object ${CMAKE_CURRENT_BINARY_DIR}/velloran_rc.obj)
add_custom_command(OUTPUT ${rc_cp936}
  COMMAND ${VELLORAN_ICONV} -f UTF-8 -t CP936 -o ${rc_cp936} ${rc_source}
  DEPENDS ${rc_source}
  VERBATIM)
add_custom_command(OUTPUT ${rc_object}
  COMMAND ${CMAKE_RC_COMPILER} --codepage=936 -I ${CMAKE_CURRENT_SOURCE_DIR}
          -I ${CMAKE_CURRENT_SOURCE_DIR}/win32 --input=${rc_cp936} --input-format=rc
          --output=${rc_object} --output-format=coff
  WORKING_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/win32
  DEPENDS ${rc_cp936} ${CMAKE_CURRENT_SOURCE_DIR}/resource.h
          ${CMAKE_CURRENT_SOURCE_DIR}/win32/velloran.ico
          ${CMAKE_CURRENT_SOURCE_DIR}/win32/velloran.manifest
  COMMENT "Resources of Velloran.exe (code page 936)"
  VERBATIM)
add_custom_target(velloran_resources DEPENDS ${rc_object})
# Resources reach a program only as an object of its own (an archive member
# nobody refers to is dropped), so tests link this object too.
set(VELLORAN_DIALOG_RESOURCES ${rc_object} CACHE INTERNAL "Compiled resources of Velloran.exe")

add_library(velloran_win32_dialog STATIC
  win32/open_file_dialog.cpp
  win32/program_name.cpp
  win32/velloran_dialog_win32.cpp)
target_include_directories(velloran_win32_dialog PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/win32)
target_link_libraries(velloran_win32_dialog PUBLIC velloran_app_logic comctl32 comdlg32 gdi32 user32)
add_dependencies(velloran_win32_dialog velloran_resources)

add_executable(velloran WIN32 win32/velloran_main.cpp win32/velloran_app_win32.cpp ${rc_object})
set_target_properties(velloran PROPERTIES OUTPUT_NAME Velloran)
target_link_libraries(velloran PRIVATE velloran_win32_dialog velloran_app_services)
