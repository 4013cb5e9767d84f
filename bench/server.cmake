# The network server under load against a plain-sockets baseline (a plain
# program printing figures) and the cost of one telemetry reply (Google
# Benchmark).
add_executable(bench_server_load bench_server_load.cpp)
target_link_libraries(bench_server_load PRIVATE pitlink_core)
target_compile_definitions(bench_server_load PRIVATE
    PITLINK_PATH="$<TARGET_FILE:pitlink>" PITLINK_SIM_PATH="$<TARGET_FILE:pitlink-sim>")
add_dependencies(bench_server_load pitlink pitlink-sim)
pitlink_target_warnings(bench_server_load)

add_executable(bench_server_reply bench_server_reply.cpp)
target_link_libraries(bench_server_reply PRIVATE pitlink_core benchmark::benchmark)
pitlink_target_warnings(bench_server_reply)
