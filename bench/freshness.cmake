# Age of the telemetry a dashboard gets, with the substitute and the program
# running as separate processes (a plain program printing figures).
if(NOT WIN32 AND TARGET pitlink-sim AND TARGET pitlink)
    add_executable(bench_freshness ${CMAKE_CURRENT_SOURCE_DIR}/bench_freshness.cpp)
    target_link_libraries(bench_freshness PRIVATE pitlink_core)
    target_compile_definitions(bench_freshness PRIVATE
        PITLINK_SIM_PATH="$<TARGET_FILE:pitlink-sim>" PITLINK_PATH="$<TARGET_FILE:pitlink>")
    add_dependencies(bench_freshness pitlink-sim pitlink)
    pitlink_target_warnings(bench_freshness)
endif()
