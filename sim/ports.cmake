# The boot-loader model on real ports: pseudo-terminals standing in for a
# serial, USB or parallel-port printer, and the velloran-sim program.
find_package(Threads REQUIRED)

add_library(velloran_sim_ports STATIC
  lpt_printer.cpp
  pty.cpp
  pty_printer.cpp
  serial_printer.cpp
  usb_printer.cpp
  usb_tree_owner.cpp
  wire_line.cpp)
target_include_directories(velloran_sim_ports PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(velloran_sim_ports PUBLIC velloran_sim_model Threads::Threads)

include(HeaderLibraries)
add_library(velloran_sim_cli STATIC sim_options.cpp)
target_link_libraries(velloran_sim_cli PUBLIC velloran_sim_ports PRIVATE velloran_header_libraries velloran_version)

add_executable(velloran-sim velloran_sim_main.cpp)
target_link_libraries(velloran-sim PRIVATE velloran_sim_cli)
