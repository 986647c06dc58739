# Reporting and the step tables shared by the procedures (the procedures on
# their links are tested end to end in tests/e2e).
velloran_add_test(upgrade_status_report_test LABEL unit
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/status_report_test.cpp LIBS velloran_upgrade_steps)
velloran_add_test(upgrade_steps_test LABEL unit
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/upgrade_steps_test.cpp LIBS velloran_upgrade_steps)
