# The upgrade procedures over USB, serial port and parallel port.
#
# velloran_upgrade_steps: what the procedures share and what a front end
# needs without a link: status reporting, the process-wide values, reply
# judging with its status lines, the packet phase, the prescribed timing,
# the stop request.
add_library(velloran_upgrade_steps STATIC
  ${CMAKE_CURRENT_LIST_DIR}/app_values.cpp
  ${CMAKE_CURRENT_LIST_DIR}/status_report.cpp
  ${CMAKE_CURRENT_LIST_DIR}/upgrade_schedule.cpp
  ${CMAKE_CURRENT_LIST_DIR}/upgrade_steps.cpp
  ${CMAKE_CURRENT_LIST_DIR}/upgrade_stop.cpp)
target_include_directories(velloran_upgrade_steps PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(velloran_upgrade_steps PUBLIC velloran_protocol velloran_platform)

# velloran_upgrade: the three procedures on their links.
add_library(velloran_upgrade STATIC
  ${CMAKE_CURRENT_LIST_DIR}/usb_upgrade.cpp
  ${CMAKE_CURRENT_LIST_DIR}/usb_printer_pin.cpp
  ${CMAKE_CURRENT_LIST_DIR}/baud_detection.cpp
  ${CMAKE_CURRENT_LIST_DIR}/serial_upgrade.cpp
  ${CMAKE_CURRENT_LIST_DIR}/lpt_upgrade.cpp)
target_link_libraries(velloran_upgrade PUBLIC velloran_upgrade_steps velloran_serial corvalink PRIVATE corvalink_core)
