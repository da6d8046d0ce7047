# The serial-port procedures, a library of their own so that the rest of qvx/ircode can link
# them from its own CMakeLists.txt.
add_library(qvx_ircode_port STATIC ${CMAKE_CURRENT_LIST_DIR}/serialport.cpp)
target_include_directories(qvx_ircode_port PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(qvx_ircode_port PUBLIC qvx_platform)
