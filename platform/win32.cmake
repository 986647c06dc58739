# The Windows side of the platform layer: the system provides the Win32 API;
# what Velloran adds on top of it lives in platform/windows/.
file(GLOB VELLORAN_PLATFORM_WINDOWS_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/windows/*.cpp)
add_library(velloran_platform_windows STATIC ${VELLORAN_PLATFORM_WINDOWS_SOURCES})
target_include_directories(velloran_platform_windows PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(velloran_platform INTERFACE velloran_platform_windows)
