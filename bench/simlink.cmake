# Simulator link: sample copy, session-info query, one whole poll's queries.
add_executable(bench_simlink ${CMAKE_CURRENT_SOURCE_DIR}/bench_simlink.cpp)
target_link_libraries(bench_simlink PRIVATE pitlink_simwriter pitlink_simlink pitlink_testsupport benchmark::benchmark)
pitlink_target_warnings(bench_simlink)
