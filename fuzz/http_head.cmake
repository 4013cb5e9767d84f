# The dashboard's request head parser and access checks fed random bytes.
find_package(Qt5 5.12 REQUIRED COMPONENTS Core Network)
add_executable(fuzz_http_head
    ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_http_head.cpp
    ${CMAKE_SOURCE_DIR}/web/HttpRequestHead.cpp
    ${CMAKE_SOURCE_DIR}/web/DashboardAccess.cpp)
target_compile_options(fuzz_http_head PRIVATE -fsanitize=fuzzer,address,undefined)
target_link_options(fuzz_http_head PRIVATE -fsanitize=fuzzer,address,undefined)
target_link_libraries(fuzz_http_head PRIVATE Qt5::Core Qt5::Network)
set_target_properties(fuzz_http_head PROPERTIES AUTOMOC OFF)
pitlink_target_warnings(fuzz_http_head)
