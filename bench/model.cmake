# One whole session poll through the snapshot's readers (a plain program).
add_executable(bench_model_poll bench_model_poll.cpp)
target_link_libraries(bench_model_poll PRIVATE pitlink_core pitlink_simwriter pitlink_testsupport)
pitlink_target_warnings(bench_model_poll)
