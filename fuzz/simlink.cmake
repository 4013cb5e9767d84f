# Session-info query (against its index) and hostile telemetry memory images.
# No gtest here: the fuzzers bring their own main.
foreach(name fuzz_session_query fuzz_telemetry_image)
    add_executable(${name} ${CMAKE_CURRENT_SOURCE_DIR}/${name}.cpp)
    target_compile_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
    target_link_libraries(${name} PRIVATE pitlink_simwriter pitlink_simlink)
    set_target_properties(${name} PROPERTIES AUTOMOC OFF)
    pitlink_target_warnings(${name})
endforeach()
