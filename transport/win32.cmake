# Programs of this project import Corvalink.dll by ordinal only, so that no
# export name is looked up at load time. corvalink_by_ordinal stands for the
# library with an import library, made by dlltool from a definition file that
# lists each function the programs use with its ordinal and NONAME.

# name, ordinal, number of 32-bit arguments (for the stdcall decoration of
# the i686 symbol names: name@bytes).
set(corvalink_ordinal_imports
  "OpenUsb 1 0" "WriteUsb 2 4" "ReadUsb 3 4" "CloseUsb 4 1"
  "OpenLptA 6 1" "WriteLpt 7 4" "CloseLpt 8 1")

set(def_text "LIBRARY Corvalink.dll\nEXPORTS\n")
foreach(entry ${corvalink_ordinal_imports})
  separate_arguments(fields UNIX_COMMAND "${entry}")
  list(GET fields 0 name)
  list(GET fields 1 ordinal)
  list(GET fields 2 arguments)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    math(EXPR bytes "${arguments} * 4")
    string(APPEND name "@${bytes}")
  endif()
  string(APPEND def_text "    ${name} @${ordinal} NONAME\n")
endforeach()
set(ordinal_def ${CMAKE_CURRENT_BINARY_DIR}/corvalink_by_ordinal.def)
set(ordinal_lib ${CMAKE_CURRENT_BINARY_DIR}/libcorvalink_by_ordinal.a)
file(CONFIGURE OUTPUT ${ordinal_def} CONTENT "${def_text}")

if(NOT CMAKE_DLLTOOL)
  message(FATAL_ERROR "dlltool of the mingw-w64 binutils not found (CMAKE_DLLTOOL)")
endif()
add_custom_command(OUTPUT ${ordinal_lib}
  COMMAND ${CMAKE_DLLTOOL} --input-def ${ordinal_def} --dllname Corvalink.dll
          --output-lib ${ordinal_lib}
  DEPENDS ${ordinal_def}
  COMMENT "Import library of Corvalink.dll by ordinal"
  VERBATIM)
add_custom_target(corvalink_by_ordinal_implib DEPENDS ${ordinal_lib})

add_library(corvalink_by_ordinal INTERFACE)
target_link_libraries(corvalink_by_ordinal INTERFACE ${ordinal_lib})
target_include_directories(corvalink_by_ordinal INTERFACE
  $<TARGET_PROPERTY:corvalink,INTERFACE_INCLUDE_DIRECTORIES>)
# The DLL is built whenever a program that imports it is.
add_dependencies(corvalink_by_ordinal corvalink_by_ordinal_implib corvalink)
