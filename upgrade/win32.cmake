# On Windows the procedures import Corvalink.dll by ordinal only (see
# transport/win32.cmake); everything that links them inherits that.
if(NOT TARGET velloran_upgrade)
  return()
endif()
foreach(property LINK_LIBRARIES INTERFACE_LINK_LIBRARIES)
  get_target_property(links velloran_upgrade ${property})
  if(links)
    list(TRANSFORM links REPLACE "^corvalink$" corvalink_by_ordinal)
    set_target_properties(velloran_upgrade PROPERTIES ${property} "${links}")
  endif()
endforeach()
